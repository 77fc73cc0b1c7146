//! The entry points: every solution, the nearest one, and tracking.

#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin {

namespace {

//! The iteration's answer counts as the next point of the path only when no
//! joint moved farther than this from the seed; beyond it the answer may
//! have jumped to another branch.
constexpr double kTrackStep = 0.5;

void fail(SolveResult& out, Status why, const char* reason = "") {
    out.count = 0;
    out.branches = 0;
    out.truncated = false;
    out.status = why;
    out.reason = reason;
}

void fail(BranchSet& out, Status why, const char* reason = "") {
    out.count = 0;
    out.truncated = false;
    out.status = why;
    out.reason = reason;
}

//! Checks model, target and options. On success writes the frame to solve
//! for (the nearest rotation when the given one was repaired) and returns
//! true; otherwise fails ws.branches and *out (when given) with the reason.
bool admit(const SolverModel& model, SolverWorkspace& ws, const Frame& given,
           const SolveOptions& options, SolveResult* out, Frame& solveFor, bool& repaired) {
    if (!model.valid) {
        if (out != nullptr) fail(*out, Status::NoArm);
        fail(ws.branches, Status::NoArm);
        return false;
    }
    armkin::Rotation r;
    if (const char* why = solver::targetFault(poseOf(given), options, r, repaired)) {
        if (out != nullptr) fail(*out, Status::InvalidInput, why);
        fail(ws.branches, Status::InvalidInput, why);
        return false;
    }
    solveFor = given;
    if (repaired) {
        solveFor.X = {r[0][0], r[1][0], r[2][0]};
        solveFor.Y = {r[0][1], r[1][1], r[2][1]};
        solveFor.Z = {r[0][2], r[1][2], r[2][2]};
    }
    return true;
}

}  // namespace

namespace solver {

CandidateFamily candidateFamily(WristKind kind) {
    switch (kind) {
    case WristKind::Spherical: return sphericalCandidates;
    case WristKind::ParallelAxes: return parallelCandidates;
    case WristKind::SlidingArm: return slidingArmCandidates;
    case WristKind::Elimination: return eliminationCandidates;
    case WristKind::General: return generalCandidates;
    }
    return generalCandidates;
}

}  // namespace solver

int solveAll(const SolverModel& model, SolverWorkspace& ws, const Frame& given,
             const SolveOptions& options, SolveResult& out) {
    Frame target;
    bool repaired = false;
    if (!admit(model, ws, given, options, &out, target, repaired)) return 0;
    solver::Solve solve{model, ws, target, options};
    bool any = true;
    if (!solver::allBranchesInLanes(solve)) {
        ws.candidates.clear();
        any = solver::candidateFamily(model.kind)(solve);
        solver::polishCandidates(solve, any);
    }
    if (ws.branches.count == 0 && hasClosedForm(model.kind) &&
        solver::mayReach(model, target, options)) {
        // The closed form found nothing that polishes: a singular pose it
        // cannot split, a reach limit, or an arm whose every pose is
        // singular. Numeric starts, unless the pose lies beyond reach (the
        // closed form's status then stands: no start could do better).
        ws.candidates.clear();
        solver::generalCandidates(solve);
        solver::polishCandidates(solve, any);
        if (ws.branches.count == 0 && !any) ws.branches.status = Status::OutOfReach;
    }
    solver::applyLimits(solve, out);
    if (repaired) {
        // Residuals against the rotation as given, not the one solved for.
        for (int i = 0; i < out.count; ++i) {
            Solution& s = out.solutions[i];
            solver::poseResiduals(model, ws.fk, s.joints, given, s.positionError, s.rotationError);
        }
    }
    return out.count;
}

int solveNearest(const SolverModel& model, SolverWorkspace& ws, const Frame& given,
                 const Joints& seed, const SolveOptions& options, Solution& out) {
    SolveOptions o = options;
    o.seed = seed;
    o.order = SolutionOrder::SeedDistance;
    o.copies = armkin::Copies::Nearest;
    Frame target;
    bool repaired = false;
    if (!admit(model, ws, given, o, nullptr, target, repaired)) return 0;
    // The closed-form candidates already sit on their branches to rounding:
    // order them by their distance to the seed and polish only until the
    // first one holds. The first pass lets the family leave out arm
    // branches that cannot hold the nearest candidate; should that one not
    // hold, the second pass takes every candidate.
    for (const bool nearestOnly : {true, false}) {
        if (model.kind == WristKind::General) break;
        solver::Solve solve{model, ws, target, o, nearestOnly};
        ws.candidates.clear();
        if (!solver::candidateFamily(model.kind)(solve)) break;
        CandidateSet& cs = ws.candidates;
        // Written up to n before any is read.
        std::array<double, CandidateSet::kCapacity> dist;
        std::array<int, CandidateSet::kCapacity> order;
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
        for (int j = 0; j < n && (j == 0 || !nearestOnly); ++j) {
            Solution s;
            if (!solver::finishCandidate(model, ws, target, o, order[j], s)) continue;
            const Joints polished = s.joints;
            if (!solver::nearestInside(model, o, s.joints)) continue;
            if (s.joints != polished || repaired) {
                solver::poseResiduals(model, ws.fk, s.joints, given, s.positionError, s.rotationError);
            }
            out = s;
            ws.branches.status = Status::Ok;
            return 1;
        }
    }
    // Every branch, its copy nearest the seed first; on the stack, as only
    // this path needs a whole result.
    SolveResult listed;
    if (solveAll(model, ws, given, o, listed) == 0) {
        ws.branches.status = listed.status;
        return 0;
    }
    out = listed.solutions[0];
    return 1;
}

int solveTrack(const SolverModel& model, SolverWorkspace& ws, const Frame& given,
               const Joints& seed, const SolveOptions& options, Solution& out) {
    Frame target;
    bool repaired = false;
    if (!admit(model, ws, given, options, nullptr, target, repaired)) return 0;
    {
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
                    solver::chainPose(model, q, c);
                    out.joints = q;
                    solver::poseResiduals(model, ws.fk, q, given, out.positionError, out.rotationError);
                    out.status = solver::singularAt(model, c, options.singularTolerance)
                                     ? SolutionStatus::Singular
                                     : (iterations == 0 ? SolutionStatus::Exact : SolutionStatus::Converged);
                    return 1;
                }
            }
        }
    }
    return solveNearest(model, ws, given, seed, options, out);
}

}  // namespace kin
