//! Every solution of an arm whose wrist axes meet in a point and whose
//! shoulder axes 1 and 2 are parallel, all branches at once: lane
//! 4 i + 2 j + k of an eight-lane vector carries root i of q0, elbow branch j
//! and wrist solution k, from the closed form through the check. Each lane
//! runs the operations of the one-branch-at-a-time path (shoulderTurns,
//! elbowBranches, appendWrist, quickCheck) in the same order, so its
//! candidate, residuals and determinant are that path's to the bit, and so
//! are the solutions. A pose where a live lane meets an edge (a tangent
//! root, a turn without a direction, a singular wrist) is left to that
//! path whole; a candidate the quick check does not settle goes to the full
//! check (finishCandidate) as it would there.
//!
//! The lane work is compiled for the widest vectors the machine offers,
//! chosen when the program starts (one machine instruction per operation on
//! all eight lanes with AVX-512); every version computes the same bits.

#include <array>
#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"
#include "solver/lane_chain.hpp"
#include "solver/wrist_root.hpp"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define ARMKIN_WIDEST_VECTORS __attribute__((target_clones("avx512f", "avx2", "default"), flatten))
#else
#define ARMKIN_WIDEST_VECTORS
#endif

namespace kin::solver {

namespace {

using W = Wide;
constexpr int kWidth = kLanes<Wide>;

//! Below this length (squared) a planar turn has no direction
//! (elbowBranches' planarTurn).
constexpr double kTiny = 1e-12;

//! Per lane: the candidate, its turns and what its check measured.
struct LaneResults {
    std::array<std::array<double, kWidth>, 6> q, c, s;
    std::array<double, kWidth> position2, frobenius2, det;
    //! Bit k set when lane k's branch exists.
    unsigned live = 0;
    //! False when a live lane meets an edge: the pose goes the usual way.
    bool usual = true;
};

//! The lanes whose second root (the minus sign) a lane takes: bit `level`
//! of its index.
W rootSign(int level) {
    W r;
    for (int k = 0; k < kWidth; ++k) r[k] = (k >> level & 1) != 0 ? -1.0 : 1.0;
    return r;
}

//! solveCosSin for equation e with right side c in each lane, lane k taking
//! the root of sign sign[k]: writes the root and its turn, returns the
//! lanes with two roots. Clears usual where a lane has one (tangent).
unsigned cosSinRoots(const CosSinEquation& e, const W& c, const W& sign, W& root, W& cr, W& sr, bool& usual) {
    const W k = c / e.r;
    const W d = arcCos(k);
    const W sd = laneSqrt((1.0 - k) * (1.0 + k)) * sign;
    root = e.phi + d * sign;
    cr = e.cp * k - e.sp * sd;
    sr = e.sp * k + e.cp * sd;
    unsigned two = 0;
    for (int i = 0; i < kWidth; ++i) {
        const double a = std::fabs(k[i]);
        if (a <= 1.0 && d[i] != 0.0 && d[i] != M_PI) {
            two |= 1u << i;
        } else if (a <= 1.0 + kTangentSlack) {
            usual = false;
        }
    }
    return two;
}

//! The lane work: every branch's candidate and its check.
ARMKIN_WIDEST_VECTORS void branchLanes(const SolverModel& m, const Vec3& cw, const Axes& R5, const Frame& target,
                                       const std::array<double, 2>& q0s, const std::array<JointTrig, 2>& t0s,
                                       LaneResults& out) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    W c0, s0;
    for (int k = 0; k < kWidth; ++k) {
        c0[k] = t0s[k >> 2].c;
        s0[k] = t0s[k >> 2].s;
    }
    // Joint frames 0 and 1 (before q1 turns), and the wrist centre seen
    // from the latter (elbowBranches).
    F3<W> J0 = spread<W>(m.base0);
    turn(J0, c0, s0);
    F3<W> J1 = mul(J0, L[1]);
    const V3<W> V = invApplyPoint(J1, cw);
    const Vec3& A = L[2].O;
    const Vec3& w = m.wristCentreArm;
    W phi, c, s;
    out.live = cosSinRoots(m.closed.shoulderReach,
                           V.x * V.x + V.y * V.y - (A.x * A.x + A.y * A.y) - (w.x * w.x + w.y * w.y), rootSign(1),
                           phi, c, s, out.usual);
    // q1 turns the wrist centre's direction in the plane onto V's.
    const V3<W> r{A.x + c * w.x - s * w.y, A.y + s * w.x + c * w.y, W{}};
    const W ru2 = r.x * r.x + r.y * r.y;
    const W rv2 = V.x * V.x + V.y * V.y;
    const W cross = r.x * V.y - r.y * V.x;
    const W dot = r.x * V.x + r.y * V.y;
    const W q1 = arcTan2(cross, dot);
    const W inv = 1.0 / laneSqrt(dot * dot + cross * cross);
    const W c1 = dot * inv, s1 = cross * inv;
    const JointTrig& tb = m.closed.turn2Trig;
    const W c2 = c * tb.c + s * tb.s, s2 = s * tb.c - c * tb.s;
    const W q2 = phi - m.closed.turn2;
    // The branch's frames on to joint frame 3 before q3 turns (appendWrist).
    turn(J1, c1, s1);
    F3<W> J2 = mul(J1, L[2]);
    turn(J2, c2, s2);
    const F3<W> next = mul(J2, L[3]);
    const V3<W> v = invApply(next, R5.Z);
    const V3<W> x = invApply(next, R5.X);
    W q4, c4, s4;
    out.live &= cosSinRoots(m.closed.wristTilt, v.z - m.closed.tiltOffset, rootSign(0), q4, c4, s4, out.usual);
    WristRoot<W> wr;
    const unsigned regular = wristRoot(L[4], L[5], v, x, c4, s4, wr);
    // The check (quickCheck).
    const W armFactor = sphericalArmFactor(m, J0, J1, J2);
    const W cw3[3] = {wr.c3, c4, wr.c5};
    const W sw3[3] = {wr.s3, s4, wr.s5};
    const Measured<W> check = measureSpherical(m, next, armFactor, target, cw3, sw3);

    for (int k = 0; k < kWidth; ++k) {
        if ((out.live >> k & 1) == 0) continue;
        // A planar turn without a direction, or a singular wrist: the
        // usual path takes the seed's value there.
        if (!(ru2[k] > kTiny * kTiny) || !(rv2[k] > kTiny * kTiny) || (regular >> k & 1) == 0) out.usual = false;
        out.q[0][k] = q0s[k >> 2];
        out.q[1][k] = q1[k];
        out.q[2][k] = wrapTurn(q2[k]);
        out.q[3][k] = wr.q3[k];
        out.q[4][k] = q4[k];
        out.q[5][k] = wr.q5[k];
        const W* turns[6][2] = {{&c0, &s0}, {&c1, &s1}, {&c2, &s2}, {&wr.c3, &wr.s3}, {&c4, &s4}, {&wr.c5, &wr.s5}};
        for (int j = 0; j < 6; ++j) {
            out.c[j][k] = (*turns[j][0])[k];
            out.s[j][k] = (*turns[j][1])[k];
        }
        out.position2[k] = check.position2[k];
        out.frobenius2[k] = check.frobenius2[k];
        out.det[k] = check.det[k];
    }
}

//! Lane k's candidate into s.ws.candidates with the frames of its branch,
//! formed as the usual path forms them, for the full check. Returns its
//! index, or -1 when the set is full.
int pushLane(Solve& s, const Joints& q, const ChainTrig& t) {
    const std::array<Frame, kMaxJoints>& L = s.model.model.linkFrames;
    CandidateSet& cs = s.ws.candidates;
    int p = -1;
    CandidateSet::Prefix* f = cs.newPrefix(3, p);
    if (f == nullptr) return -1;
    f->joint[0] = s.model.base0;
    turnFrame(f->joint[0], t[0]);
    f->joint[1] = frameMul(f->joint[0], L[1]);
    turnFrame(f->joint[1], t[1]);
    f->joint[2] = frameMul(f->joint[1], L[2]);
    turnFrame(f->joint[2], t[2]);
    f->next = frameMul(f->joint[2], L[3]);
    if (!cs.push(q, t, p, false)) return -1;
    return cs.count - 1;
}

}  // namespace

bool sphericalLanes(Solve& s) {
    const SolverModel& m = s.model;
    if (m.kind != WristKind::Spherical || !m.shoulderParallel || !(m.closed.shoulderReach.r > 1e-14) ||
        !(m.closed.wristTilt.r > 1e-14)) {
        return false;
    }
    SolverWorkspace& ws = s.ws;
    const SolveOptions& o = s.options;
    Axes R5;
    Vec3 O5;
    flangeOf(m, s.target, R5, O5);
    const Vec3 wc = applyAxes(R5, m.wristCentreLast);
    const Vec3 cw{O5.x + wc.x, O5.y + wc.y, O5.z + wc.z};
    std::array<double, 2> q0s{};
    std::array<JointTrig, 2> t0s{};
    if (shoulderTurns(m, cw, o, q0s, t0s) != 2) return false;
    LaneResults r;
    branchLanes(m, cw, R5, s.target, q0s, t0s, r);
    if (!r.usual || r.live == 0) return false;

    const double normsBound = columnNormsBound(m, s.target, o);
    BranchSet& b = ws.branches;
    b.count = 0;
    b.truncated = false;
    b.reason = "";
    ws.candidates.clear();
    for (int k = 0; k < kWidth; ++k) {
        if ((r.live >> k & 1) == 0) continue;
        const Joints q{r.q[0][k], r.q[1][k], r.q[2][k], r.q[3][k], r.q[4][k], r.q[5][k]};
        Solution sol;
        if (quickVerdict(m, normsBound, o, r.position2[k], r.frobenius2[k], r.det[k], sol.positionError,
                         sol.rotationError)) {
            sol.joints = q;
            nearestCopies(m, o, sol.joints);
            sol.status = SolutionStatus::Exact;
        } else {
            ChainTrig t;
            for (int j = 0; j < 6; ++j) t[j] = {r.c[j][k], r.s[j][k]};
            const int i = pushLane(s, q, t);
            if (i < 0 || !finishCandidate(m, ws, s.target, o, i, sol, false)) continue;
        }
        if (!keepBranch(m, o, b, sol)) break;
    }
    if (b.count == 0) return false;
    b.status = Status::Ok;
    return true;
}

}  // namespace kin::solver
