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
#include "numeric/lanes.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! Room between the rotation angle and the twist's rotation part.
constexpr double kTwistRoom = 1e-13;

template <class T>
struct V3 {
    T x, y, z;
};
template <class T>
struct F3 {
    V3<T> X, Y, Z, O;
};

//! v in every lane.
template <class T>
V3<T> spread(const Vec3& v) {
    return {splat<T>(v.x), splat<T>(v.y), splat<T>(v.z)};
}

template <class T, class U>
V3<T> sub(const V3<T>& a, const U& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <class T>
T dot(const V3<T>& a, const V3<T>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <class T>
V3<T> cross(const V3<T>& a, const V3<T>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
template <class T>
T det3(const V3<T>& a, const V3<T>& b, const V3<T>& c) {
    return dot(a, cross(b, c));
}
//! F's rotation applied to a fixed direction, and to a fixed point.
template <class T>
V3<T> apply(const F3<T>& F, const Vec3& v) {
    return {F.X.x * v.x + F.Y.x * v.y + F.Z.x * v.z, F.X.y * v.x + F.Y.y * v.y + F.Z.y * v.z,
            F.X.z * v.x + F.Y.z * v.y + F.Z.z * v.z};
}
template <class T>
V3<T> applyPoint(const F3<T>& F, const Vec3& p) {
    return {F.X.x * p.x + F.Y.x * p.y + F.Z.x * p.z + F.O.x,
            F.X.y * p.x + F.Y.y * p.y + F.Z.y * p.z + F.O.y,
            F.X.z * p.x + F.Y.z * p.y + F.Z.z * p.z + F.O.z};
}
//! F turned about its Z axis by the angle whose cosine and sine are c, s.
template <class T>
void turn(F3<T>& F, const T& c, const T& s) {
    const V3<T> X = F.X;
    F.X = {c * X.x + s * F.Y.x, c * X.y + s * F.Y.y, c * X.z + s * F.Y.z};
    F.Y = {c * F.Y.x - s * X.x, c * F.Y.y - s * X.y, c * F.Y.z - s * X.z};
}
//! The frame after the next joint: prev times its link frame L, turned.
template <class T>
F3<T> advance(const F3<T>& prev, const Frame& L, const T& c, const T& s) {
    F3<T> F{apply(prev, L.X), apply(prev, L.Y), apply(prev, L.Z), applyPoint(prev, L.O)};
    turn(F, c, s);
    return F;
}
//! The linear part of a turning joint's Jacobian column, taken about x.
template <class T>
V3<T> about(const F3<T>& F, const V3<T>& x) {
    return cross(F.Z, sub(x, F.O));
}

//! What the check leaves per lane: the tool's distance and the squared
//! Frobenius distance of its axes from the target, and the determinant.
template <class T>
struct Measured {
    T position2, frobenius2, det;
};

//! The chain from the prefix p to the tool for turns c[k], s[k] (joints
//! p.depth..5), measured against target.
template <class T>
Measured<T> measure(const SolverModel& m, const CandidateSet::Prefix& p, const Frame& target,
                    const std::array<T, 6>& c, const std::array<T, 6>& s) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    const F3<T> next{spread<T>(p.next.X), spread<T>(p.next.Y), spread<T>(p.next.Z), spread<T>(p.next.O)};
    Measured<T> r;
    F3<T> J5;
    if (p.depth == 3) {
        // Spherical wrist: the arm's factor is the branch's (p.armFactor).
        F3<T> J3 = next;
        turn(J3, c[3], s[3]);
        const F3<T> J4 = advance(J3, L[4], c[4], s[4]);
        J5 = advance(J4, L[5], c[5], s[5]);
        r.det = p.armFactor * det3(J3.Z, J4.Z, J5.Z);
    } else {
        // Three parallel axes, about the point where axes 4 and 5 meet.
        F3<T> J1 = next;
        turn(J1, c[1], s[1]);
        const F3<T> J2 = advance(J1, L[2], c[2], s[2]);
        const F3<T> J3 = advance(J2, L[3], c[3], s[3]);
        const F3<T> J4 = advance(J3, L[4], c[4], s[4]);
        J5 = advance(J4, L[5], c[5], s[5]);
        const V3<T> x = applyPoint(J5, m.axisMeetLast);
        const F3<T> J0{spread<T>(p.joint[0].X), spread<T>(p.joint[0].Y), spread<T>(p.joint[0].Z),
                       spread<T>(p.joint[0].O)};
        const V3<T> v3 = about(J3, x);
        r.det = det3(sub(about(J1, x), v3), sub(about(J2, x), v3), about(J0, x)) *
                det3(J1.Z, J4.Z, J5.Z);
    }
    const V3<T> d = sub(applyPoint(J5, m.toolPoint), target.O);
    r.position2 = d.x * d.x + d.y * d.y + d.z * d.z;
    const V3<T> dX = sub(apply(J5, m.toolRot.X), target.X);
    const V3<T> dY = sub(apply(J5, m.toolRot.Y), target.Y);
    const V3<T> dZ = sub(apply(J5, m.toolRot.Z), target.Z);
    r.frobenius2 = dot(dX, dX) + dot(dY, dY) + dot(dZ, dZ);
    return r;
}

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
            const Vec3 w = frameApplyPoint(p.joint[2], m.wristCentreArm);
            const auto aboutW = [&w](const Frame& F) { return cross3(F.Z, sub3(w, F.O)); };
            p.armFactor = dot3(aboutW(p.joint[0]), cross3(aboutW(p.joint[1]), aboutW(p.joint[2])));
            p.hasArmFactor = true;
        }
        return true;
    }
    return m.kind == WristKind::ParallelAxes && p.depth == 1;
}

//! Lane k's verdict: writes the residuals; true when the check passes with
//! room and the determinant is clear of the singular tolerance.
template <class T>
bool verdict(const SolverModel& m, const CandidateSet& cs, const SolveOptions& o, const Measured<T>& r,
             int k, double& positionError, double& rotationError) {
    positionError = std::sqrt(lane(r.position2, k));
    rotationError = angleFromFrobenius(std::sqrt(lane(r.frobenius2, k)));
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
    const double det = lane(r.det, k);
    return det * det >= clear * clear * cs.normsBound;
}

}  // namespace

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
