//! The check of a closed-form candidate in the usual case: the chain
//! continued from its arm branch's recorded frames to the tool, compared
//! with the target, and the singular test settled from the Jacobian
//! determinant's two factors against a bound on its column norms that is
//! fixed per pose. Nothing is stored per joint; a candidate that misses, or
//! whose determinant lies near the tolerance, is left to the full path
//! (finishCandidate), which decides it by the same rules.
//!
//! Two candidates of one branch are checked side by side, one in each lane
//! of a pair of doubles: the same operations in the same order as one at a
//! time, so each lane's result is the one the single check gives, to the
//! bit.

#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"
#include "solver/lane_chain.hpp"

namespace kin::solver {

namespace {

//! Room between the rotation angle and the twist's rotation part.
constexpr double kTwistRoom = 1e-13;

//! The chain from the prefix p to the tool for turns c[k], s[k] (joints
//! p.depth..5), measured against target.
template <class T>
Measured<T> measure(const SolverModel& m, const CandidateSet::Prefix& p, const Frame& target,
                    const std::array<T, 6>& c, const std::array<T, 6>& s) {
    const F3<T> next = spread<T>(p.next);
    if (p.depth == 3) {
        // Spherical wrist: the arm's factor is the branch's (p.armFactor).
        return measureSpherical(m, next, splat<T>(p.armFactor), target, &c[3], &s[3]);
    }
    // Three parallel axes, about the point where axes 4 and 5 meet.
    return measureParallel(m, spread<T>(p.joint[0]), next, target, &c[1], &s[1]);
}

}  // namespace

//! The product over the columns of (bound on |linear part|)^2 + 1, the
//! linear parts taken about a tool point within the position tolerance of
//! target (ClosedFormConstants::columnReach), with room for rounding and
//! for link frames accepted up to 1e-9 from orthonormal (each length and
//! axis off by that much at most).
double columnNormsBound(const SolverModel& m, const Frame& target, const SolveOptions& o) {
    const double d = vecNorm(sub3(target.O, m.base0.O)) + o.positionTolerance;
    double bound = 1.0 + 1e-6;
    for (const ColumnReach& r : m.closed.columnReach) {
        const double b = r.fromTarget * d + r.extra;
        bound *= b * b + 1.0;
    }
    return bound;
}

namespace {

//! Whether candidate i can take the quick check: a closed-form candidate
//! with turns and its branch's frames, not built at a singular wrist.
bool quickFit(const CandidateSet& cs, int i) {
    return cs.hasTurns[i] && !cs.wristFree[i] && cs.prefix[i] >= 0;
}

//! Makes prefix p ready for the check (the spherical arm factor formed once
//! per branch); false when the arm's kind or p's depth has no quick check.
bool prepare(const SolverModel& m, CandidateSet::Prefix& p) {
    if (m.kind == WristKind::Spherical && p.depth == 3) {
        if (!p.hasArmFactor) {
            // Joints 0..2's linear parts about the wrist centre: the same
            // for both wrist solutions of the branch.
            p.armFactor = sphericalArmFactor(m, spread<double>(p.joint[0]), spread<double>(p.joint[1]),
                                             spread<double>(p.joint[2]));
            p.hasArmFactor = true;
        }
        return true;
    }
    return m.kind == WristKind::ParallelAxes && p.depth == 1;
}

//! Lane k's verdict (quickVerdict).
template <class T>
bool verdict(const SolverModel& m, const CandidateSet& cs, const SolveOptions& o, const Measured<T>& r,
             int k, double& positionError, double& rotationError) {
    return quickVerdict(m, cs.normsBound, o, lane(r.position2, k), lane(r.frobenius2, k), lane(r.det, k),
                        positionError, rotationError);
}

}  // namespace

bool quickVerdict(const SolverModel& m, double normsBound, const SolveOptions& o, double position2,
                  double frobenius2, double det, double& positionError, double& rotationError) {
    positionError = std::sqrt(position2);
    rotationError = angleFromFrobenius(std::sqrt(frobenius2));
    // The twist's rotation part (half the sum of the axes' cross products)
    // is the sine of that angle times the axis, to rounding and to the
    // deviation of the target (below 1e-14 when solved as given) and of the
    // arm's frames from rotations: an angle below half the tolerance by
    // more than that passes the twist's test too. Nearer the edge the full
    // check decides. Either way the residuals are the ones measured here.
    if (!(positionError <= 0.5 * o.positionTolerance) ||
        !(rotationError <= 0.5 * o.rotationTolerance - kTwistRoom)) {
        return false;
    }
    // Clear of the singular tolerance by the margin singularAt allows the
    // factors, against the column norms' bound: regular.
    const double clear = 2.0 * o.singularTolerance + 1e-8 * m.scale;
    return det * det >= clear * clear * normsBound;
}

bool quickCheck(const SolverModel& m, CandidateSet& cs, int i, const Frame& target,
                const SolveOptions& o, double& positionError, double& rotationError) {
    if (!quickFit(cs, i) || !prepare(m, cs.prefixes[cs.prefix[i]])) return false;
    if (!(cs.normsBound > 0.0)) cs.normsBound = columnNormsBound(m, target, o);
    std::array<double, 6> c{}, s{};
    for (int k = 0; k < 6; ++k) {
        c[k] = cs.turns[i][k].c;
        s[k] = cs.turns[i][k].s;
    }
    const Measured<double> r = measure(m, cs.prefixes[cs.prefix[i]], target, c, s);
    return verdict(m, cs, o, r, 0, positionError, rotationError);
}

bool quickCheckPair(const SolverModel& m, CandidateSet& cs, int i, const Frame& target,
                    const SolveOptions& o, std::array<QuickResult, 2>& out) {
    if (!quickFit(cs, i) || !quickFit(cs, i + 1) || cs.prefix[i] != cs.prefix[i + 1] ||
        !prepare(m, cs.prefixes[cs.prefix[i]])) {
        return false;
    }
    if (!(cs.normsBound > 0.0)) cs.normsBound = columnNormsBound(m, target, o);
    std::array<Pair, 6> c{}, s{};
    for (int k = 0; k < 6; ++k) {
        c[k] = Pair{cs.turns[i][k].c, cs.turns[i + 1][k].c};
        s[k] = Pair{cs.turns[i][k].s, cs.turns[i + 1][k].s};
    }
    const Measured<Pair> r = measure(m, cs.prefixes[cs.prefix[i]], target, c, s);
    for (int k = 0; k < 2; ++k) {
        out[k].passed = verdict(m, cs, o, r, k, out[k].positionError, out[k].rotationError);
    }
    return true;
}

}  // namespace kin::solver
