//! Six turning joints with axes 1, 2, 3 parallel and axes 4, 5 meeting: a
//! closed form with up to eight branches.
//!
//! Every point fixed in joint frame 3 keeps its height along the common
//! direction n of axes 1..3, and so does the point where axes 4 and 5 meet:
//! that fixes q0 (two roots). The tilt of axis 5 against n fixes q4 (two
//! roots), the direction of n in the last frame fixes q5, and what remains
//! is a planar two-link problem for q1, q2 (two roots) and the sum for q3.

#include <cmath>
#include <limits>

#include "numeric/arctan.hpp"
#include "numeric/frame.hpp"
#include "numeric/sincos.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

Frame withAxes(const Axes& A, const Vec3& O) { return {A.X, A.Y, A.Z, O}; }

//! The turn about Z of the xy-part of v.
JointTrig planarDirection(const Vec3& v) {
    const double h = std::sqrt(v.x * v.x + v.y * v.y);
    return {v.x / h, v.y / h};
}

//! The turn a less b.
JointTrig less(const JointTrig& a, const JointTrig& b) {
    return {a.c * b.c + a.s * b.s, a.s * b.c - a.c * b.s};
}

}  // namespace

int meetTurns(const SolverModel& m, const Vec3& meet, std::array<double, 2>& q0s, std::array<JointTrig, 2>& t0s) {
    // Height of the meeting point along n = L1.Z in joint frame 0, which
    // does not depend on q1..q5: its value at zero.
    const Vec3& n = m.model.linkFrames[1].Z;
    const double h = m.closed.meetHeight;
    // n . Rz(-q0) P = h with P the meeting point in joint frame 0 at q0 = 0.
    const Vec3 P = frameInvApplyPoint(m.base0, meet);
    return solveCosSin(n.x * P.x + n.y * P.y, n.x * P.y - n.y * P.x, h - n.z * P.z, kTangentSlack, q0s, t0s);
}

bool parallelCandidates(Solve& s) {
    const SolverModel& m = s.model;
    SolverWorkspace& ws = s.ws;
    const Frame& target = s.target;
    const SolveOptions& o = s.options;
    const ArmModel& a = m.model;
    const Frame& L1 = a.linkFrames[1];
    const Frame& L2 = a.linkFrames[2];
    const Frame& L3 = a.linkFrames[3];
    const Frame& L4 = a.linkFrames[4];
    const Frame& L5 = a.linkFrames[5];
    Axes R5;
    Vec3 O5;
    flangeOf(m, target, R5, O5);
    const Frame F5 = withAxes(R5, O5);
    const Vec3 meet = frameApplyPoint(F5, m.axisMeetLast);

    const Frame& base0 = m.base0;
    std::array<double, 2> q0s{};
    std::array<JointTrig, 2> t0s{};
    const int n0 = meetTurns(m, meet, q0s, t0s);
    if (n0 <= 0) return false;

    const double beta = m.parallelTurn2 + m.parallelTurn3;
    // The turns of joints 2 and 3's fixed offsets about n.
    const JointTrig& turn2 = m.closed.turn2Trig;
    const JointTrig& turn3 = m.closed.turn3Trig;
    // For the nearest candidate only: the roots of q0 nearest the seed
    // first, and a root whose q0 alone lies farther than a candidate
    // already found is left out.
    const RootOrder first0 = s.nearestOnly ? nearerRootFirst(m, o, 0, q0s, n0, 0.0) : RootOrder{};
    double best = std::numeric_limits<double>::infinity();
    ChainTrig t;
    for (int j0 = 0; j0 < n0; ++j0) {
        const int i0 = first0.order[j0];
        if (s.nearestOnly && !(first0.bound[i0] <= best)) break;
        const double q0 = q0s[i0];
        t[0] = t0s[i0];
        Frame F0 = base0;
        turnFrame(F0, t[0]);
        const Frame F1 = frameMul(F0, L1);  // before q1: its Z is n
        const int prefix = ws.candidates.addPrefix(&F0, 1, F1);
        const Vec3 nw = F1.Z;
        // z of L4 Rz(q4) u (in joint frame 3, whose Z is n) = n . axis 5.
        const double vz = dot3(nw, R5.Z);
        std::array<double, 2> q4s{};
        std::array<JointTrig, 2> t4s{};
        const int n4 = solveCosSin(m.closed.wristTilt, vz - m.closed.tiltOffset, kTangentSlack, q4s, t4s);
        // n in the last frame, and the last frame seen from F1.
        const Vec3 n5 = frameInvApplyVector(F5, nw);
        const Frame H = frameMul(frameInverse(F1), F5);
        // The same for the roots of q4, within this root of q0.
        const RootOrder first4 =
            s.nearestOnly ? nearerRootFirst(m, o, 4, q4s, n4, first0.bound[i0]) : RootOrder{};
        for (int j4 = 0; j4 < n4; ++j4) {
            const int i4 = first4.order[j4];
            if (s.nearestOnly && !(first4.bound[i4] <= best)) break;
            const int firstOfRoot = ws.candidates.count;
            const double q4 = q4s[i4];
            t[4] = t4s[i4];
            // Where Rz(q5) must carry n5: n seen from joint frame 5 before q5.
            Frame T4 = L4;
            turnFrame(T4, t[4]);
            const Vec3 target5 = frameInvApplyVector(L5, {T4.X.z, T4.Y.z, T4.Z.z});
            double q5 = o.seed[5];
            const bool free = !planarTurn(n5, target5, kAlignedAxes, q5, t[5]);
            if (free) {
                q5 = o.seed[5];
                sinCos(q5, t[5].s, t[5].c);
            }
            // What joints 1..3 must do: G = Rz(q1) L2 Rz(q2) L3 Rz(q3) = H
            // tail^-1, tail = L4 Rz(q4) L5 Rz(q5) (joint frame 3 to the
            // last). Only G's X axis and origin in the plane are needed.
            Frame T5 = L5;
            turnFrame(T5, t[5]);
            const Frame tail = frameMul(T4, T5);
            const Vec3 back{-dot3(tail.X, tail.O), -dot3(tail.Y, tail.O), -dot3(tail.Z, tail.O)};
            const Vec3 GX = frameApplyVector(H, {tail.X.x, tail.Y.x, tail.Z.x});
            const Vec3 GO = frameApplyPoint(H, back);
            const Vec3& A = L2.O;
            const Vec3 B = L3.O;
            // The common turn of joints 1..3 and the rest of it.
            const double total = arcTan2(GX.y, GX.x);
            const JointTrig ttotal = planarDirection(GX);
            // |A + Rz(phi) B|^2 = |G.O|^2 in the plane, phi = turn2 + q2.
            const double gx = GO.x, gy = GO.y;
            std::array<double, 2> phis{};
            std::array<JointTrig, 2> tphis{};
            const int n2 = solveCosSin(m.closed.elbowReach,
                                       gx * gx + gy * gy - (A.x * A.x + A.y * A.y) -
                                           (B.x * B.x + B.y * B.y),
                                       kTangentSlack, phis, tphis);
            for (int i2 = 0; i2 < n2; ++i2) {
                const double phi = phis[i2];
                const double c = tphis[i2].c, s = tphis[i2].s;
                const Vec3 r{A.x + c * B.x - s * B.y, A.y + s * B.x + c * B.y, 0.0};
                double q1 = o.seed[1];
                if (!planarTurn(r, GO, kNoDirection, q1, t[1])) {
                    q1 = o.seed[1];
                    sinCos(q1, t[1].s, t[1].c);
                }
                const double q2 = phi - m.parallelTurn2;
                t[2] = less(tphis[i2], turn2);
                const double q3 = wrapTurn(total - q1 - q2 - beta);
                t[3] = less(less(less(ttotal, t[1]), t[2]), less(turn2, {turn3.c, -turn3.s}));
                ws.candidates.push({q0, q1, q2, q3, q4, q5}, t, prefix, free);
            }
            if (s.nearestOnly) best = nearestSoFar(m, o, ws.candidates, firstOfRoot, best);
        }
    }
    return ws.candidates.count > 0;
}

}  // namespace kin::solver
