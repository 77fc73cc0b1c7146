//! Joints 3..5 of a wrist of three turning joints for a required rotation
//! of the last joint frame, once joints 0..2 are known.

#include <cmath>

#include "numeric/arctan.hpp"
#include "numeric/lanes.hpp"
#include "numeric/frame.hpp"
#include "numeric/sincos.hpp"
#include "solver/internal.hpp"
#include "solver/wrist_root.hpp"

namespace kin::solver {

namespace {

Axes axesOf(const Frame& F) { return {F.X, F.Y, F.Z}; }

}  // namespace

void appendWrist(const SolverModel& m, SolverWorkspace& ws, const Joints& arm, const Axes& R2,
                 const Axes& R5, const SolveOptions& o) {
    const Frame& L3 = m.model.linkFrames[3];
    const Frame& L4 = m.model.linkFrames[4];
    const Frame& L5 = m.model.linkFrames[5];
    const Axes A3 = axesOf(L3), A4 = axesOf(L4), A5 = axesOf(L5);
    // Rw = L3 Rz(q3) L4 Rz(q4) L5 Rz(q5): the wrist's rotation in joint frame 2.
    const Axes Rw = mulAxes(transposeAxes(R2), R5);
    // Axis 5 seen from joint frame 3 before q3 turns: v; in joint frame 4: u.
    const Vec3 u = L5.Z;
    const Vec3 v = applyAxes(transposeAxes(A3), Rw.Z);
    // z of L4 Rz(q4) u must equal v.z.
    const double a = L4.X.z * u.x + L4.Y.z * u.y;
    const double b = L4.Y.z * u.x - L4.X.z * u.y;
    const double k = L4.Z.z * u.z;
    std::array<double, 2> q4s{};
    int n = solveCosSin(a, b, v.z - k, kTangentSlack, q4s);
    if (n < 0) {
        // Axis 5's tilt from axis 3 does not depend on q4: q4 is free.
        q4s[0] = arm[4];
        n = std::fabs(v.z - k) <= kTangentSlack * (1.0 + std::fabs(k)) ? 1 : 0;
    }
    for (int i = 0; i < n; ++i) {
        const double q4 = q4s[i];
        const Axes R4 = mulAxes(A4, rotZAxes(q4));
        const Vec3 w = applyAxes(R4, u);
        double q3 = o.seed[3];
        const bool free = !planarTurn(w, v, kAlignedAxes, q3);
        if (free) q3 = o.seed[3];
        const Axes before5 = mulAxes(mulAxes(mulAxes(A3, rotZAxes(q3)), R4), A5);
        const Axes N = mulAxes(transposeAxes(before5), Rw);
        const double q5 = std::atan2(N.X.y, N.X.x);
        ws.candidates.push({arm[0], arm[1], arm[2], q3, q4, q5}, free);
    }
}

void appendWrist(const SolverModel& m, SolverWorkspace& ws, const ArmRoot& arm, const Axes& R5,
                 const SolveOptions& o) {
    const Frame& L4 = m.model.linkFrames[4];
    const Frame& L5 = m.model.linkFrames[5];
    const int prefix = arm.prefix;
    // Joint frame 3 before q3 turns, world coordinates (kept with the
    // branch's frames).
    Frame next;
    if (prefix >= 0) {
        // The branch's joint frame 1 before q1 turns, then its frames on.
        CandidateSet::Prefix& f = ws.candidates.prefixes[prefix];
        turnFrame(f.joint[1], arm.t[1]);
        f.joint[2] = frameMul(f.joint[1], m.model.linkFrames[2]);
        turnFrame(f.joint[2], arm.t[2]);
        f.next = frameMul(f.joint[2], m.model.linkFrames[3]);
        next = f.next;
    } else {
        next = frameMul(armFrame(m, arm.q[0], arm.q[1], arm.q[2]), m.model.linkFrames[3]);
    }
    // Axis 5 (v) and the last frame's X axis (x) seen from there.
    const Vec3 v = frameInvApplyVector(next, R5.Z);
    const Vec3 x = frameInvApplyVector(next, R5.X);
    // z of L4 Rz(q4) L5.Z (axis 5) must equal v.z.
    const double k = m.closed.tiltOffset;
    std::array<double, 2> q4s{};
    std::array<JointTrig, 2> t4s{};
    int n = solveCosSin(m.closed.wristTilt, v.z - k, kTangentSlack, q4s, t4s);
    if (n < 0) {
        // Axis 5's tilt from axis 3 does not depend on q4: q4 is free.
        q4s[0] = o.seed[4];
        sinCos(q4s[0], t4s[0].s, t4s[0].c);
        n = std::fabs(v.z - k) <= kTangentSlack * (1.0 + std::fabs(k)) ? 1 : 0;
    }
    ChainTrig t{arm.t[0], arm.t[1], arm.t[2], JointTrig{}, JointTrig{}, JointTrig{}};
    const auto push = [&](int i, double q3, const JointTrig& t3, double q5, const JointTrig& t5, bool free) {
        t[3] = t3;
        t[4] = t4s[i];
        t[5] = t5;
        ws.candidates.push({arm.q[0], arm.q[1], arm.q[2], q3, q4s[i], q5}, t, prefix, free);
    };
    if (n == 2) {
        // Both roots side by side; a lane at a singular wrist (or with x
        // along axis 5) sends both to the one-at-a-time loop below.
        WristRoot<Pair> r;
        if (wristRoot(L4, L5, spread<Pair>(v), spread<Pair>(x), Pair{t4s[0].c, t4s[1].c}, Pair{t4s[0].s, t4s[1].s},
                      r) == 3u) {
            for (int i = 0; i < 2; ++i) {
                push(i, r.q3[i], {r.c3[i], r.s3[i]}, r.q5[i], {r.c5[i], r.s5[i]}, false);
            }
            return;
        }
    }
    for (int i = 0; i < n; ++i) {
        WristRoot<double> r;
        if (wristRoot(L4, L5, spread<double>(v), spread<double>(x), t4s[i].c, t4s[i].s, r) == 1u) {
            push(i, r.q3, {r.c3, r.s3}, r.q5, {r.c5, r.s5}, false);
            continue;
        }
        // Axis 5 along axis 3 (q3 free: the seed's value), or the last X
        // axis along axis 5.
        Frame R4 = L4;
        turnFrame(R4, t4s[i]);
        const Vec3 w = frameApplyVector(R4, L5.Z);
        double q3 = o.seed[3];
        JointTrig t3;
        const bool free = !planarTurn(w, v, kAlignedAxes, q3, t3);
        if (free) {
            q3 = o.seed[3];
            sinCos(q3, t3.s, t3.c);
        }
        const Vec3 x3{t3.c * x.x + t3.s * x.y, t3.c * x.y - t3.s * x.x, x.z};
        const Vec3 x5 = frameInvApplyVector(L5, frameInvApplyVector(R4, x3));
        const double q5 = arcTan2(x5.y, x5.x);
        const double h5 = std::sqrt(x5.x * x5.x + x5.y * x5.y);
        JointTrig t5;
        if (h5 > 0.0) {
            t5 = {x5.x / h5, x5.y / h5};
        } else {
            sinCos(q5, t5.s, t5.c);
        }
        push(i, q3, t3, q5, t5, free);
    }
}

}  // namespace kin::solver
