//! A study's results as text: the rows as CSV, the placements ranked as
//! CSV, and a short summary for people.

#include <charconv>
#include <cmath>
#include <cstdio>

#include <armkin/reach.hpp>

namespace armkin {

namespace {

//! The shortest text that reads back as the same double.
void number(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void integer(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

constexpr std::string_view kRowsHeader =
    "target,placement,status,spin,spins_reached,branches,q0,q1,q2,q3,q4,q5,"
    "manipulability,limit_distance,seed_distance\n";

}  // namespace

std::string_view reachRowsHeader() noexcept { return kRowsHeader; }

void appendReachRowsCsv(std::span<const ReachRow> rows, std::string& out) {
    for (const ReachRow& r : rows) {
        integer(out, r.target);
        out += ',';
        integer(out, r.placement);
        out += ',';
        out += name(r.status);
        out += ',';
        integer(out, r.spin);
        out += ',';
        integer(out, r.spinsReached);
        out += ',';
        integer(out, r.branches);
        if (!r.reached()) {
            out += ",,,,,,,,,\n";
            continue;
        }
        for (double q : r.joints) {
            out += ',';
            number(out, q);
        }
        for (double v : {r.manipulability, r.limitDistance, r.seedDistance}) {
            out += ',';
            number(out, v);
        }
        out += '\n';
    }
}

std::string placementsCsv(const ReachStudy& study, const ReachTotals& totals) {
    std::string out =
        "rank,placement,x,y,z,turn,pairs,reached,reach_fraction,out_of_reach,outside_limits,"
        "not_converged,invalid_input,manipulability_sum,limit_distance_sum,seed_distance_sum,"
        "manipulability_mean,limit_distance_mean,seed_distance_mean\n";
    const std::vector<std::int32_t> order = totals.ranking(study.options().score);
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        const auto p = static_cast<std::size_t>(order[rank]);
        const PlacementTotals& t = totals.placements()[p];
        const Placement& at = study.placements()[p];
        integer(out, static_cast<std::int64_t>(rank + 1));
        out += ',';
        integer(out, order[rank]);
        for (double v : {at.position.x, at.position.y, at.position.z, at.turn}) {
            out += ',';
            number(out, v);
        }
        for (std::int64_t v : {t.pairs, t.reached}) {
            out += ',';
            integer(out, v);
        }
        out += ',';
        number(out, t.reachFraction());
        for (std::int64_t v : {t.outOfReach, t.outsideLimits, t.notConverged, t.invalidInput}) {
            out += ',';
            integer(out, v);
        }
        for (double v : {t.manipulability, t.limitDistance, t.seedDistance,
                         t.mean(ReachScore::Manipulability), t.mean(ReachScore::LimitDistance),
                         t.mean(ReachScore::SeedDistance)}) {
            out += ',';
            number(out, v);
        }
        out += '\n';
    }
    return out;
}

std::string reachSummary(const ReachStudy& study, const ReachTotals& totals, std::string_view title) {
    const ReachScore score = study.options().score;
    char line[256];
    std::string out;
    std::snprintf(line, sizeof line,
                  "study       %.*s\ntargets     %lld (%d spin%s each)\nplacements  %lld\n"
                  "pairs       %lld\nscore       %s\n",
                  static_cast<int>(title.size()), title.data(),
                  static_cast<long long>(study.targetCount()), study.options().spins,
                  study.options().spins == 1 ? "" : "s", static_cast<long long>(study.placementCount()),
                  static_cast<long long>(totals.pairs()), name(score));
    out += line;
    out += "best placements (rank placement x y z turn reached fraction mean-score):\n";
    const std::vector<std::int32_t> order = totals.ranking(score);
    constexpr std::size_t kShown = 10;
    for (std::size_t rank = 0; rank < order.size() && rank < kShown; ++rank) {
        const auto p = static_cast<std::size_t>(order[rank]);
        const PlacementTotals& t = totals.placements()[p];
        const Placement& at = study.placements()[p];
        std::snprintf(line, sizeof line, "%4zu %6d %9.4g %9.4g %9.4g %8.4g %9lld/%-9lld %6.4f %.6g\n",
                      rank + 1, order[rank], at.position.x, at.position.y, at.position.z, at.turn,
                      static_cast<long long>(t.reached), static_cast<long long>(t.pairs),
                      t.reachFraction(), t.mean(score));
        out += line;
    }
    return out;
}

}  // namespace armkin
