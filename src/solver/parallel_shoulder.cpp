//! Joints 0..2 for one point, when all three turn and axes 1 and 2 are
//! parallel: the point's height along their common direction n does not
//! depend on q1, q2, which fixes q0 (two roots); what remains is a planar
//! two-link problem (two roots each).

#include <algorithm>
#include <cmath>

#include "numeric/frame.hpp"
#include "numeric/sincos.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! An angle taken from the seed, with its turn.
JointTrig turnOf(double q) {
    JointTrig t;
    sinCos(q, t.s, t.c);
    return t;
}

}  // namespace

int shoulderTurns(const SolverModel& m, const Vec3& p, const SolveOptions& o, std::array<double, 2>& q0s,
                  std::array<JointTrig, 2>& t0s) {
    const Vec3& n = m.model.linkFrames[1].Z;
    // Height of w along n in joint frame 0, the same for every q1, q2.
    const double h = m.closed.shoulderHeight;
    const Vec3 P = frameInvApplyPoint(m.base0, p);
    const double ca = n.x * P.x + n.y * P.y;
    const double cb = n.x * P.y - n.y * P.x;
    const double cc = h - n.z * P.z;
    if (std::sqrt(ca * ca + cb * cb) <= 1e-12 * m.scale) {
        // The point lies on joint 0's axis: q0 is free, the seed's value
        // stands for the family.
        if (!(std::fabs(cc) <= kTangentSlack * m.scale)) return 0;
        q0s[0] = o.seed[0];
        t0s[0] = turnOf(o.seed[0]);
        return 1;
    }
    return std::max(0, solveCosSin(ca, cb, cc, kTangentSlack, q0s, t0s));
}

int elbowBranches(const SolverModel& m, const Vec3& p, const Vec3& w, const SolveOptions& o, double q0,
                  const JointTrig& t0, CandidateSet& cs, ArmBranches& out, int count) {
    const ArmModel& a = m.model;
    const Vec3& A = a.linkFrames[2].O;
    const double beta = m.closed.turn2;
    const JointTrig& tb = m.closed.turn2Trig;
    Frame F0 = m.base0;
    turnFrame(F0, t0);
    const Frame F1 = frameMul(F0, a.linkFrames[1]);  // joint frame 1 before q1 turns
    const Vec3 V = frameInvApplyPoint(F1, p);
    // |A + Rz(phi) w|^2 = |V|^2 in the plane of joint 1, phi = beta + q2.
    std::array<double, 2> phis{};
    std::array<JointTrig, 2> tphis{};
    const int n2 = solveCosSin(m.closed.shoulderReach,
                               V.x * V.x + V.y * V.y - (A.x * A.x + A.y * A.y) - (w.x * w.x + w.y * w.y),
                               kTangentSlack, phis, tphis);
    for (int j = 0; j < n2; ++j) {
        const double c = tphis[j].c, s = tphis[j].s;
        const Vec3 r{A.x + c * w.x - s * w.y, A.y + s * w.x + c * w.y, 0.0};
        ArmRoot& root = out[count++];
        double q1 = o.seed[1];
        JointTrig t1;
        if (!planarTurn(r, V, kNoDirection, q1, t1)) {
            q1 = o.seed[1];
            t1 = turnOf(q1);
        }
        root.q = {q0, q1, wrapTurn(phis[j] - beta)};
        root.t = {t0, t1, JointTrig{c * tb.c + s * tb.s, s * tb.c - c * tb.s}};
        // Joint frames 1 and 2 are formed by appendWrist, for the branches
        // it takes.
        if (CandidateSet::Prefix* f = cs.newPrefix(3, root.prefix)) {
            f->joint[0] = F0;
            f->joint[1] = F1;
        }
    }
    return count;
}

}  // namespace kin::solver
