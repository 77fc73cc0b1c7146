//! The check of a closed-form candidate in the usual case: the chain
//! continued from its arm branch's recorded frames to the tool, compared
//! with the target, and the singular test settled from the Jacobian
//! determinant's two factors against a bound on its column norms that is
//! fixed per pose. Nothing is stored per joint; a candidate that misses, or
//! whose determinant lies near the tolerance, is left to the full path
//! (finishCandidate), which decides it by the same rules.

#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! Room between the rotation angle and the twist's rotation part.
constexpr double kTwistRoom = 1e-13;

Frame turned(Frame F, const JointTrig& t) {
    turnFrame(F, t);
    return F;
}

//! The frame after the next joint: prev times its link frame, turned.
Frame advance(const Frame& prev, const Frame& L, const JointTrig& t) {
    Frame F = frameMul(prev, L);
    turnFrame(F, t);
    return F;
}

double det3(const Vec3& a, const Vec3& b, const Vec3& c) { return dot3(a, cross3(b, c)); }

//! The linear part of a turning joint's Jacobian column, taken about x.
Vec3 about(const Frame& F, const Vec3& x) { return cross3(F.Z, sub3(x, F.O)); }

//! The product over the columns of (bound on |linear part|)^2 + 1, the
//! linear parts taken about a tool point within the position tolerance of
//! target (ClosedFormConstants::columnReach), with room for rounding.
double columnNormsBound(const SolverModel& m, const Frame& target, const SolveOptions& o) {
    const double d = vecNorm(sub3(target.O, m.base0.O)) + o.positionTolerance;
    double bound = 1.0 + 1e-12;
    for (const ColumnReach& r : m.closed.columnReach) {
        const double b = r.fromTarget * d + r.extra;
        bound *= b * b + 1.0;
    }
    return bound;
}

}  // namespace

bool quickCheck(const SolverModel& m, CandidateSet& cs, int i, const Frame& target,
                const SolveOptions& o, double& positionError, double& rotationError) {
    CandidateSet::Prefix& p = cs.prefixes[cs.prefix[i]];
    const ChainTrig& t = cs.turns[i];
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    double det = 0.0;
    Frame F5;
    if (m.kind == WristKind::Spherical && p.depth == 3) {
        const Frame F3 = turned(p.next, t[3]);
        const Frame F4 = advance(F3, L[4], t[4]);
        F5 = advance(F4, L[5], t[5]);
        if (!p.hasArmFactor) {
            // Joints 0..2's linear parts about the wrist centre: the same
            // for both wrist solutions of the branch.
            const Vec3 w = frameApplyPoint(p.joint[2], m.wristCentreArm);
            p.armFactor = det3(about(p.joint[0], w), about(p.joint[1], w), about(p.joint[2], w));
            p.hasArmFactor = true;
        }
        det = p.armFactor * det3(F3.Z, F4.Z, F5.Z);
    } else if (m.kind == WristKind::ParallelAxes && p.depth == 1) {
        const Frame F1 = turned(p.next, t[1]);
        const Frame F2 = advance(F1, L[2], t[2]);
        const Frame F3 = advance(F2, L[3], t[3]);
        const Frame F4 = advance(F3, L[4], t[4]);
        F5 = advance(F4, L[5], t[5]);
        const Vec3 x = frameApplyPoint(F5, m.axisMeetLast);
        const Vec3 v3 = about(F3, x);
        det = det3(sub3(about(F1, x), v3), sub3(about(F2, x), v3), about(p.joint[0], x)) *
              det3(F1.Z, F4.Z, F5.Z);
    } else {
        return false;
    }

    // The residuals and the polish's own test at its start, as the full
    // check forms them.
    const Vec3 pos = frameApplyPoint(F5, m.toolPoint);
    const Vec3 X = frameApplyVector(F5, m.toolRot.X);
    const Vec3 Y = frameApplyVector(F5, m.toolRot.Y);
    const Vec3 Z = frameApplyVector(F5, m.toolRot.Z);
    positionError = vecNorm(sub3(pos, target.O));
    const Vec3 dX = sub3(X, target.X);
    const Vec3 dY = sub3(Y, target.Y);
    const Vec3 dZ = sub3(Z, target.Z);
    rotationError = angleFromFrobenius(std::sqrt(dot3(dX, dX) + dot3(dY, dY) + dot3(dZ, dZ)));
    // The twist's rotation part (half the sum of the axes' cross products)
    // is the sine of that angle times the axis, to rounding and to the
    // target's own deviation from a rotation (below 1e-14 when solved as
    // given): an angle below half the tolerance by more than that passes
    // the twist's test too. Nearer the edge the full check decides.
    if (!(positionError <= 0.5 * o.positionTolerance) ||
        !(rotationError <= 0.5 * o.rotationTolerance - kTwistRoom)) {
        return false;
    }

    // Clear of the singular tolerance by the margin singularAt allows the
    // factors, against the column norms' bound: regular.
    if (!(cs.normsBound > 0.0)) cs.normsBound = columnNormsBound(m, target, o);
    const double clear = 2.0 * o.singularTolerance + 1e-8 * m.scale;
    return det * det >= clear * clear * cs.normsBound;
}

}  // namespace kin::solver
