//! Joint limits, the copies of turning joints 2 pi apart, and the order of
//! the returned solutions.

#include <cmath>

#include "solver/internal.hpp"

namespace kin::solver {

namespace {

constexpr double kFullTurn = 2.0 * M_PI;  //!< a whole turn, to full precision
//! Bounds beyond this magnitude count as no bound.
constexpr double kNoBound = 1e299;
//! Room for rounding at a bound.
constexpr double kEdge = 1e-12;
//! Copies kept per joint at most (limits wider than this many turns are cut).
constexpr int kMaxCopies = 8;

bool bounded(double v) { return std::fabs(v) < kNoBound; }

//! Every value of joint k equivalent to v that the limits admit, written to
//! vals; returns how many.
int jointValues(const SolverModel& m, const SolveOptions& o, int k, double v,
                std::array<double, kMaxCopies>& vals) {
    const double lo = o.limits.lower[k];
    const double hi = o.limits.upper[k];
    int n = 0;
    if (m.model.jointTypes[k] == 'R' && bounded(lo) && bounded(hi)) {
        const double first = std::ceil((lo - kEdge - v) / kFullTurn);
        const double last = std::floor((hi + kEdge - v) / kFullTurn);
        for (double t = first; t <= last && n < kMaxCopies; t += 1.0) vals[n++] = v + t * kFullTurn;
        return n;
    }
    double x = v;
    if (m.model.jointTypes[k] == 'R') x = v + kFullTurn * std::nearbyint((o.seed[k] - v) / kFullTurn);
    if (x < lo - kEdge || x > hi + kEdge) {
        // The copy nearest the seed is out; a turn the other way may fit.
        if (m.model.jointTypes[k] != 'R') return 0;
        if (x < lo - kEdge) x += kFullTurn;
        else x -= kFullTurn;
        if (x < lo - kEdge || x > hi + kEdge) return 0;
    }
    vals[n++] = x;
    return n;
}

}  // namespace

bool nearestInside(const SolverModel& m, const SolveOptions& o, Joints& q) {
    for (int k = 0; k < 6; ++k) {
        std::array<double, kMaxCopies> vals{};
        const int n = jointValues(m, o, k, q[k], vals);
        if (n == 0) return false;
        double best = vals[0];
        for (int i = 1; i < n; ++i) {
            if (std::fabs(vals[i] - o.seed[k]) < std::fabs(best - o.seed[k])) best = vals[i];
        }
        q[k] = best;
    }
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

void applyLimits(const SolverModel& m, SolverWorkspace& ws, const SolveOptions& o,
                 SolveResult& out) {
    const SolveResult& b = ws.branches;
    out.count = 0;
    out.truncated = b.truncated;
    for (int i = 0; i < b.count; ++i) {
        const Solution& s = b.solutions[i];
        std::array<std::array<double, kMaxCopies>, 6> vals{};
        std::array<int, 6> counts{};
        bool empty = false;
        for (int k = 0; k < 6; ++k) {
            counts[k] = jointValues(m, o, k, s.joints[k], vals[k]);
            empty = empty || counts[k] == 0;
        }
        if (empty) continue;
        // Every combination of the copies, the last joint fastest.
        std::array<int, 6> pick{};
        for (;;) {
            if (out.count == kMaxSolverSolutions) {
                out.truncated = true;
                break;
            }
            Solution& r = out.solutions[out.count++];
            r = s;
            bool moved = false;
            for (int k = 0; k < 6; ++k) {
                r.joints[k] = vals[k][pick[k]];
                moved = moved || r.joints[k] != s.joints[k];
            }
            if (moved) {
                poseResiduals(m, ws.fk, r.joints, ws.target, r.positionError, r.rotationError);
            }
            int k = 5;
            while (k >= 0 && ++pick[k] == counts[k]) pick[k--] = 0;
            if (k < 0) break;
        }
        if (out.truncated) break;
    }
    if (o.order == SolutionOrder::SeedDistance) {
        // Insertion sort: stable, and the list is short.
        for (int i = 1; i < out.count; ++i) {
            const Solution x = out.solutions[i];
            const double dx = seedDistance(o, x.joints, o.seed);
            int j = i - 1;
            while (j >= 0 && seedDistance(o, out.solutions[j].joints, o.seed) > dx) {
                out.solutions[j + 1] = out.solutions[j];
                --j;
            }
            out.solutions[j + 1] = x;
        }
    }
    if (out.count > 0) {
        out.status = SolveStatus::Solved;
    } else {
        out.status = b.count > 0 ? SolveStatus::OutsideLimits : b.status;
    }
}

}  // namespace kin::solver
