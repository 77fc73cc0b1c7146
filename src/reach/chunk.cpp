//! One chunk of a reach study: each pair's target moved into the arm's
//! frame, solved at every spin, and the best branch picked by the study's
//! score.

#include <cmath>

#include "reach/study_impl.hpp"

namespace armkin {

namespace {

//! |det J| of the geometric Jacobian at q: per joint, a turning joint's
//! column is (z x (tool - origin), z), a sliding joint's (x, 0), with z and
//! x the axes of its moved frame. Gaussian elimination with partial
//! pivoting, in a fixed order.
double manipulability(const Model& model, const ArmDescription& arm, const Joints& q) {
    std::array<Pose, 8> f;
    model.frames(q, f);
    const Vec3 tool = f[7].position;
    double J[6][6];  // [row][joint]
    for (int j = 0; j < 6; ++j) {
        const Pose& F = f[j + 1];
        const Vec3 z{F.rotation[0][2], F.rotation[1][2], F.rotation[2][2]};
        if (arm.JTYPE[j] == static_cast<char>(JointType::Sliding)) {
            const double col[6] = {F.rotation[0][0], F.rotation[1][0], F.rotation[2][0], 0.0, 0.0, 0.0};
            for (int r = 0; r < 6; ++r) J[r][j] = col[r];
            continue;
        }
        const Vec3 d{tool.x - F.position.x, tool.y - F.position.y, tool.z - F.position.z};
        const double col[6] = {z.y * d.z - z.z * d.y, z.z * d.x - z.x * d.z, z.x * d.y - z.y * d.x,
                               z.x, z.y, z.z};
        for (int r = 0; r < 6; ++r) J[r][j] = col[r];
    }
    double det = 1.0;
    for (int c = 0; c < 6; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 6; ++r)
            if (std::abs(J[r][c]) > std::abs(J[pivot][c])) pivot = r;
        if (J[pivot][c] == 0.0) return 0.0;
        if (pivot != c)
            for (int k = 0; k < 6; ++k) std::swap(J[c][k], J[pivot][k]);
        det *= J[c][c];
        for (int r = c + 1; r < 6; ++r) {
            const double m = J[r][c] / J[c][c];
            for (int k = c; k < 6; ++k) J[r][k] -= m * J[c][k];
        }
    }
    return std::abs(det);
}

//! The smallest distance of a joint to its nearer limit, as a fraction of
//! half its range, over the joints with two finite limits; 1 without any.
double limitDistance(const JointLimits& l, const Joints& q) {
    double least = 1.0;
    for (int k = 0; k < 6; ++k) {
        if (!std::isfinite(l.lower[k]) || !std::isfinite(l.upper[k]) || !(l.upper[k] > l.lower[k]))
            continue;
        const double half = 0.5 * (l.upper[k] - l.lower[k]);
        const double d = std::min(q[k] - l.lower[k], l.upper[k] - q[k]) / half;
        if (d < least) least = d;
    }
    return least;
}

double seedDistance(const ReachOptions& o, const Joints& q) {
    double sum = 0.0;
    for (int k = 0; k < 6; ++k) {
        const double d = q[k] - o.seed[k];
        sum += o.weights[k] * d * d;
    }
    return std::sqrt(sum);
}

//! The study's score of a row, larger is better.
double merit(ReachScore score, const ReachRow& r) {
    switch (score) {
    case ReachScore::Manipulability: return r.manipulability;
    case ReachScore::LimitDistance: return r.limitDistance;
    case ReachScore::SeedDistance: return -r.seedDistance;
    }
    return 0.0;
}

//! How telling a reason for no solution is: the most telling of all spins
//! is the pair's.
int weight(Status s) {
    switch (s) {
    case Status::InvalidInput: return 3;
    case Status::OutsideLimits: return 2;
    case Status::NotConverged: return 1;
    default: return 0;
    }
}

void solvePair(const ReachStudy::Impl& study, ReachWorkspace::Impl& ws, const Pose& target,
               ReachRow& row) {
    const ArmDescription& arm = study.model.arm();
    Status why = Status::OutOfReach;
    double best = 0.0;
    Pose spun = target;
    const int spins = static_cast<int>(study.spinTurns.size());
    for (int k = 0; k < spins; ++k) {
        spun.rotation = spunAboutZ(target.rotation, study.spinTurns[k]);
        const int n = solve(study.model, ws.solver, spun, study.solve, ws.result);
        if (n == 0) {
            if (weight(ws.result.status) > weight(why)) why = ws.result.status;
            continue;
        }
        ++row.spinsReached;
        for (int b = 0; b < n; ++b) {
            ReachRow c;
            c.joints = ws.result.solutions[b].joints;
            c.manipulability = manipulability(study.model, arm, c.joints);
            c.limitDistance = limitDistance(study.options.limits, c.joints);
            c.seedDistance = seedDistance(study.options, c.joints);
            const double m = merit(study.options.score, c);
            if (row.spin >= 0 && !(m > best)) continue;
            best = m;
            row.spin = static_cast<std::int16_t>(k);
            row.branches = static_cast<std::int16_t>(ws.result.branches);
            row.joints = c.joints;
            row.manipulability = c.manipulability;
            row.limitDistance = c.limitDistance;
            row.seedDistance = c.seedDistance;
        }
    }
    row.status = row.spin >= 0 ? Status::Ok : why;
}

}  // namespace

std::int64_t ReachStudy::runChunk(std::int64_t chunk, std::int64_t chunkSize, ReachWorkspace& ws,
                                  std::span<ReachRow> out) const noexcept {
    const Impl& s = *impl_;
    const std::int64_t total = pairCount();
    if (chunkSize < 1 || chunk < 0 || chunk >= chunkCount(chunkSize)) return 0;
    const std::int64_t begin = chunk * chunkSize;
    const std::int64_t n = std::min(chunkSize, total - begin);
    if (static_cast<std::int64_t>(out.size()) < n) return 0;
    const std::int64_t placements = placementCount();
    for (std::int64_t i = 0; i < n; ++i) {
        const std::int64_t pair = begin + i;
        ReachRow& row = out[static_cast<std::size_t>(i)];
        row = ReachRow{};
        row.target = pair / placements;
        row.placement = static_cast<std::int32_t>(pair % placements);
        const auto p = static_cast<std::size_t>(row.placement);
        const Pose target = placedTarget(s.targets[static_cast<std::size_t>(row.target)],
                                         s.placements[p], s.placementTurns[p]);
        solvePair(s, *ws.impl_, target, row);
    }
    return n;
}

}  // namespace armkin
