//! The entry points: every solution, the nearest one, and tracking.

#include <cmath>

#include "solver/internal.hpp"

namespace kin {

namespace {

bool finiteVec(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool usable(const Frame& t, const SolveOptions& o) {
    if (!finiteVec(t.X) || !finiteVec(t.Y) || !finiteVec(t.Z) || !finiteVec(t.O)) return false;
    if (!(o.positionTolerance > 0.0) || !(o.rotationTolerance > 0.0)) return false;
    if (!(o.duplicateTolerance >= 0.0) || o.polishIterations < 0) return false;
    for (int k = 0; k < 6; ++k) {
        if (!std::isfinite(o.seed[k]) || !(o.weights[k] >= 0.0)) return false;
        if (std::isnan(o.limits.lower[k]) || std::isnan(o.limits.upper[k])) return false;
    }
    return true;
}

//! The iteration's answer counts as the next point of the path only when no
//! joint moved farther than this from the seed; beyond it the answer may
//! have jumped to another branch.
constexpr double kTrackStep = 0.5;

void fail(SolveResult& out, SolveStatus why) {
    out.count = 0;
    out.truncated = false;
    out.status = why;
}

}  // namespace

int solveAll(const SolverModel& model, SolverWorkspace& ws, const Frame& target,
             const SolveOptions& options, SolveResult& out) {
    if (!model.valid) {
        fail(out, SolveStatus::UnsupportedArm);
        fail(ws.branches, SolveStatus::UnsupportedArm);
        return 0;
    }
    if (!usable(target, options)) {
        fail(out, SolveStatus::InvalidInput);
        fail(ws.branches, SolveStatus::InvalidInput);
        return 0;
    }
    ws.target = target;
    bool any = false;
    switch (model.kind) {
        case WristKind::Spherical:
            ws.candidates.count = 0;
            any = solver::sphericalCandidates(model, ws, target, options);
            break;
        case WristKind::ParallelAxes: any = solver::parallelCandidates(model, ws, target, options); break;
        case WristKind::General: any = solver::generalCandidates(model, ws, target, options); break;
    }
    solver::polishCandidates(model, ws, target, options, any);
    if (ws.branches.count == 0 && model.kind != WristKind::General &&
        solver::mayReach(model, target, options)) {
        // The closed form found nothing that polishes: a singular pose it
        // cannot split, a reach limit, or an arm whose every pose is
        // singular. Numeric starts, unless the pose lies beyond reach (the
        // closed form's status then stands: no start could do better).
        solver::generalCandidates(model, ws, target, options);
        solver::polishCandidates(model, ws, target, options, any);
        if (ws.branches.count == 0 && !any) ws.branches.status = SolveStatus::OutOfReach;
    }
    solver::applyLimits(model, ws, options, out);
    return out.count;
}

int solveNearest(const SolverModel& model, SolverWorkspace& ws, const Frame& target,
                 const Joints& seed, const SolveOptions& options, Solution& out) {
    SolveOptions o = options;
    o.seed = seed;
    o.order = SolutionOrder::SeedDistance;
    if (model.valid && usable(target, o) && model.kind != WristKind::General) {
        // The closed-form candidates already sit on their branches to
        // rounding: order them by their distance to the seed and polish
        // only until the first one holds.
        ws.target = target;
        ws.candidates.count = 0;
        const bool any = model.kind == WristKind::Spherical
                             ? solver::sphericalCandidates(model, ws, target, o)
                             : solver::parallelCandidates(model, ws, target, o);
        CandidateSet& cs = ws.candidates;
        if (any) {
            std::array<double, CandidateSet::kCapacity> dist{};
            std::array<int, CandidateSet::kCapacity> order{};
            int n = 0;
            for (int i = 0; i < cs.count; ++i) {
                Joints q = cs.q[i];
                if (!solver::nearestInside(model, o, q)) continue;
                const double d = solver::seedDistance(o, q, seed);
                int j = n++;
                while (j > 0 && dist[j - 1] > d) {
                    dist[j] = dist[j - 1];
                    order[j] = order[j - 1];
                    --j;
                }
                dist[j] = d;
                order[j] = i;
            }
            for (int j = 0; j < n; ++j) {
                Solution s;
                if (!solver::finishCandidate(model, ws, target, o, cs.q[order[j]], cs.wristFree[order[j]], s)) {
                    continue;
                }
                const Joints polished = s.joints;
                if (!solver::nearestInside(model, o, s.joints)) continue;
                if (s.joints != polished) {
                    solver::poseResiduals(model, ws.fk, s.joints, target, s.positionError, s.rotationError);
                }
                out = s;
                ws.branches.status = SolveStatus::Solved;
                return 1;
            }
        }
    }
    if (solveAll(model, ws, target, o, ws.listed) == 0) {
        ws.branches.status = ws.listed.status;
        return 0;
    }
    out = ws.listed.solutions[0];
    return 1;
}

int solveTrack(const SolverModel& model, SolverWorkspace& ws, const Frame& target,
               const Joints& seed, const SolveOptions& options, Solution& out) {
    if (model.valid && usable(target, options)) {
        SolutionList answer{};
        const Axes axes{target.X, target.Y, target.Z};
        const int n = ws.engine.inverseKinematics(6, target.O, axes, seed, answer, kModeCp);
        if (n > 0) {
            Joints q = answer[0];
            int iterations = 0;
            bool inside = true;
            if (solver::polish(model, ws, target, options, q, iterations)) {
                for (int k = 0; k < 6; ++k) {
                    inside = inside && q[k] >= options.limits.lower[k] && q[k] <= options.limits.upper[k] &&
                             std::fabs(q[k] - seed[k]) <= kTrackStep;
                }
                if (inside) {
                    solver::ChainPose c;
                    solver::Jacobian J;
                    solver::chainPose(model, q, c);
                    solver::jacobian(model, c, J);
                    out.joints = q;
                    solver::poseResiduals(model, ws.fk, q, target, out.positionError, out.rotationError);
                    out.status = solver::volumeRatio(J) < options.singularTolerance
                                     ? SolutionStatus::Singular
                                     : (iterations == 0 ? SolutionStatus::Exact : SolutionStatus::Converged);
                    return 1;
                }
            }
        }
    }
    return solveNearest(model, ws, target, seed, options, out);
}

}  // namespace kin
