//! Per-placement sums of a study's rows, and the placements ranked by them.

#include <algorithm>
#include <numeric>
#include <string_view>

#include <armkin/reach.hpp>

namespace armkin {

const char* name(ReachScore score) noexcept {
    switch (score) {
    case ReachScore::Manipulability: return "manipulability";
    case ReachScore::LimitDistance: return "limit_distance";
    case ReachScore::SeedDistance: return "seed_distance";
    }
    return "manipulability";
}

bool parseReachScore(std::string_view text, ReachScore& out) noexcept {
    for (ReachScore s : {ReachScore::Manipulability, ReachScore::LimitDistance, ReachScore::SeedDistance}) {
        if (text == name(s)) {
            out = s;
            return true;
        }
    }
    return false;
}

double PlacementTotals::reachFraction() const noexcept {
    return pairs > 0 ? static_cast<double>(reached) / static_cast<double>(pairs) : 0.0;
}

double PlacementTotals::mean(ReachScore score) const noexcept {
    if (reached == 0) return 0.0;
    const double sum = score == ReachScore::Manipulability ? manipulability
                       : score == ReachScore::LimitDistance ? limitDistance
                                                             : seedDistance;
    return sum / static_cast<double>(reached);
}

ReachTotals::ReachTotals(std::int64_t placementCount)
    : totals_(static_cast<std::size_t>(std::max<std::int64_t>(placementCount, 0))) {}

void ReachTotals::add(std::span<const ReachRow> rows) noexcept {
    for (const ReachRow& r : rows) {
        if (r.placement < 0 || static_cast<std::size_t>(r.placement) >= totals_.size()) continue;
        PlacementTotals& t = totals_[static_cast<std::size_t>(r.placement)];
        ++t.pairs;
        ++pairs_;
        switch (r.status) {
        case Status::Ok:
            ++t.reached;
            t.manipulability += r.manipulability;
            t.limitDistance += r.limitDistance;
            t.seedDistance += r.seedDistance;
            break;
        case Status::OutsideLimits: ++t.outsideLimits; break;
        case Status::NotConverged: ++t.notConverged; break;
        case Status::InvalidInput: ++t.invalidInput; break;
        default: ++t.outOfReach; break;
        }
    }
}

std::vector<std::int32_t> ReachTotals::ranking(ReachScore score) const {
    std::vector<std::int32_t> order(totals_.size());
    std::iota(order.begin(), order.end(), 0);
    // Seed distance is better small; the other scores better large.
    const double sign = score == ReachScore::SeedDistance ? -1.0 : 1.0;
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        const PlacementTotals& A = totals_[static_cast<std::size_t>(a)];
        const PlacementTotals& B = totals_[static_cast<std::size_t>(b)];
        // reached/pairs compared by cross-multiplication: exact.
        const auto ra = static_cast<__int128>(A.reached) * B.pairs;
        const auto rb = static_cast<__int128>(B.reached) * A.pairs;
        if (ra != rb) return ra > rb;
        return sign * A.mean(score) > sign * B.mean(score);
    });
    return order;
}

}  // namespace armkin
