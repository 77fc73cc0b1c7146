//! Joint limits, the copies of turning joints 2 pi apart, and the order of
//! the returned solutions.

#include <algorithm>
#include <cmath>
#include <limits>

#include "numeric/round.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! Room for rounding at a bound.
constexpr double kEdge = 1e-12;
//! Copies listed per joint at most (Copies::All); wider limits set
//! SolveResult::truncated.
constexpr int kMaxCopies = 16;

bool turning(const SolverModel& m, int k) { return m.model.jointTypes[k] == 'R'; }

bool inside(double x, double lo, double hi) { return x >= lo - kEdge && x <= hi + kEdge; }

//! Every value of joint k equivalent to v inside the limits, ascending,
//! written to vals; returns how many (at most kMaxCopies, *cut set when more
//! existed). An unbounded turning joint has the one copy nearest the seed.
int jointValues(const SolverModel& m, const SolveOptions& o, int k, double v,
                std::array<double, kMaxCopies>& vals, bool& cut) {
    const double lo = o.limits.lower[k];
    const double hi = o.limits.upper[k];
    if (turning(m, k) && std::isfinite(lo) && std::isfinite(hi)) {
        const double first = std::ceil((lo - kEdge - v) / kFullTurn);
        const double last = std::floor((hi + kEdge - v) / kFullTurn);
        int n = 0;
        for (double t = first; t <= last; t += 1.0) {
            if (n == kMaxCopies) {
                cut = true;
                break;
            }
            vals[n++] = v + t * kFullTurn;
        }
        return n;
    }
    double x = v;
    if (!nearestCopy(m, o, k, x)) return 0;
    vals[0] = x;
    return 1;
}

}  // namespace

bool nearestCopy(const SolverModel& m, const SolveOptions& o, int k, double& v) {
    const double lo = o.limits.lower[k];
    const double hi = o.limits.upper[k];
    if (!turning(m, k)) return inside(v, lo, hi);
    double x = v + turnsShift(o.seed[k] - v);
    if (lo == -JointLimits::kNone && hi == JointLimits::kNone) {
        // No bounds: the copy nearest the seed (what the tests below keep).
        if (std::isnan(x)) return false;
        v = x;
        return true;
    }
    // The copy nearest the seed may lie outside; the nearest one inside is
    // then the first whole turn back towards the limits.
    if (x < lo - kEdge) x += kFullTurn * std::ceil((lo - kEdge - x) / kFullTurn);
    else if (x > hi + kEdge) x -= kFullTurn * std::ceil((x - hi - kEdge) / kFullTurn);
    if (!inside(x, lo, hi)) return false;
    v = x;
    return true;
}

double seedDistance(const SolveOptions& o, const Joints& a, const Joints& b) {
    double s = 0.0;
    for (int k = 0; k < 6; ++k) {
        const double d = a[k] - b[k];
        s += o.weights[k] * d * d;
    }
    return s;
}

RootOrder nearerRootFirst(const SolverModel& m, const SolveOptions& o, int k, const std::array<double, 2>& roots,
                          int n, double base) {
    RootOrder r;
    for (int i = 0; i < n; ++i) {
        double v = roots[i];
        r.bound[i] = nearestCopyInline(m, o, k, v) ? base + o.weights[k] * (v - o.seed[k]) * (v - o.seed[k])
                                                   : std::numeric_limits<double>::infinity();
    }
    if (n == 2 && r.bound[1] < r.bound[0]) r.order = {1, 0};
    return r;
}

double nearestSoFar(const SolverModel& m, const SolveOptions& o, const CandidateSet& cs, int first, double best) {
    for (int c = first; c < cs.count; ++c) {
        Joints q = cs.q[c];
        if (nearestInside(m, o, q)) best = std::fmin(best, seedDistance(o, q, o.seed));
    }
    return best;
}

namespace {

//! Appends s moved to joints q, its residuals recomputed when it moved.
//! False when out is full.
bool append(const SolverModel& m, SolverWorkspace& ws, const Frame& target, const Solution& s,
            const Joints& q, SolveResult& out) {
    if (out.count == kMaxSolverSolutions) {
        out.truncated = true;
        return false;
    }
    Solution& r = out.solutions[out.count++];
    r = s;
    r.joints = q;
    if (q != s.joints) poseResiduals(m, ws.fk, q, target, r.positionError, r.rotationError);
    return true;
}

//! Sorts out.solutions[begin, end) by ascending seed distance, ties in
//! their present order, without moving a solution more than once per cycle.
void sortBySeed(const SolveOptions& o, SolveResult& out, int begin, int end) {
    std::array<std::pair<double, int>, kMaxSolverSolutions> keys;
    const int n = end - begin;
    for (int i = 0; i < n; ++i) keys[i] = {seedDistance(o, out.solutions[begin + i].joints, o.seed), i};
    std::sort(keys.begin(), keys.begin() + n);
    // keys[i].second: the present index of the solution that goes to i.
    for (int i = 0; i < n; ++i) {
        if (keys[i].second < 0) continue;
        const Solution first = out.solutions[begin + i];
        int at = i;
        while (keys[at].second != i) {
            const int from = keys[at].second;
            out.solutions[begin + at] = out.solutions[begin + from];
            keys[at].second = -1;
            at = from;
        }
        out.solutions[begin + at] = first;
        keys[at].second = -1;
    }
}

}  // namespace

void applyLimits(Solve& solve, SolveResult& out) {
    const SolverModel& m = solve.model;
    SolverWorkspace& ws = solve.ws;
    const SolveOptions& o = solve.options;
    const BranchSet& b = ws.branches;
    out.count = 0;
    out.truncated = b.truncated;
    out.reason = "";
    // Each branch once, at its copy nearest the seed: no copy can crowd a
    // branch out. Without bounds an exact or singular branch already sits
    // there (finishCandidate moved each joint to its copy nearest the seed
    // after the last change); a polished one may have crossed half a turn.
    bool bounded = false;
    for (int k = 0; k < 6; ++k) {
        bounded = bounded || o.limits.lower[k] != -JointLimits::kNone || o.limits.upper[k] != JointLimits::kNone;
    }
    for (int i = 0; i < b.count; ++i) {
        Joints q = b.solutions[i].joints;
        if (!bounded && b.solutions[i].status != SolutionStatus::Converged &&
            out.count < kMaxSolverSolutions) {
            out.solutions[out.count++] = b.solutions[i];
        } else if (nearestInside(m, o, q)) {
            append(m, ws, solve.target, b.solutions[i], q, out);
        }
    }
    out.branches = out.count;
    if (o.order == SolutionOrder::SeedDistance) sortBySeed(o, out, 0, out.count);
    if (o.copies == Copies::All) {
        for (int i = 0; i < b.count && !out.truncated; ++i) {
            const Solution& s = b.solutions[i];
            std::array<std::array<double, kMaxCopies>, 6> vals{};
            std::array<int, 6> counts{};
            bool empty = false;
            for (int k = 0; k < 6; ++k) {
                counts[k] = jointValues(m, o, k, s.joints[k], vals[k], out.truncated);
                empty = empty || counts[k] == 0;
            }
            if (empty) continue;
            Joints listed = s.joints;
            nearestInside(m, o, listed);
            // Every other combination of the copies, the last joint fastest.
            std::array<int, 6> pick{};
            for (;;) {
                Joints q;
                for (int k = 0; k < 6; ++k) q[k] = vals[k][pick[k]];
                if (q != listed && !append(m, ws, solve.target, s, q, out)) break;
                int k = 5;
                while (k >= 0 && ++pick[k] == counts[k]) pick[k--] = 0;
                if (k < 0) break;
            }
        }
        if (o.order == SolutionOrder::SeedDistance) sortBySeed(o, out, out.branches, out.count);
    }
    if (out.count > 0) {
        out.status = Status::Ok;
    } else {
        out.status = b.count > 0 ? Status::OutsideLimits : b.status;
        out.reason = b.reason;
    }
}

}  // namespace kin::solver
