//! Every solution of a closed-form arm at once, one branch per lane of an
//! eight-lane vector, from the closed form through the check:
//! - a spherical wrist behind parallel shoulder axes: lane 4 i + 2 j + k
//!   takes root i of q0, elbow branch j and wrist solution k;
//! - three parallel axes: root i of q0, root j of q4 and elbow branch k.
//! Each lane runs the operations of the one-branch-at-a-time path
//! (sphericalCandidates or parallelCandidates, then quickCheck) in the same
//! order, so its candidate, residuals and determinant are that path's to
//! the bit, and so are the solutions and their order. A pose where a live
//! lane meets an edge (a tangent root, a turn without a direction, a
//! singular wrist) is left to that path whole; a candidate the quick check
//! does not settle goes to the full check (finishCandidate) as it would
//! there.
//!
//! Eight doubles fill one AVX-512 register, so each lane operation is one
//! instruction there; with AVX2 the lanes go as two halves of four. Split
//! over SSE registers, compilers take comparisons and permutations lane by
//! lane, which costs more than the one-branch path: without AVX2, and in
//! builds other than GCC on x86-64 Linux (which picks the version for the
//! processor when the program starts), every pose takes that path. The
//! library's flags keep multiplies and adds apart, so every version gives
//! the one-branch path's bits.

#include <array>
#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"
#include "solver/lane_chain.hpp"
#include "solver/wrist_root.hpp"

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define ARMKIN_LANES_ON(isa) __attribute__((target(isa), flatten))
#define ARMKIN_HAS(isa) __builtin_cpu_supports(isa)
#else
#define ARMKIN_LANES_ON(isa)
#define ARMKIN_HAS(isa) false
#endif

namespace kin::solver {

namespace {

//! Lanes of a whole pose.
constexpr int kWidth = kLanes<Wide>;

//! Per lane: the candidate, its turns and what its check measured.
struct LaneResults {
    std::array<std::array<double, kWidth>, 6> q, c, s;
    std::array<double, kWidth> position2, frobenius2, det;
    //! Bit k set when lane k's branch exists.
    unsigned live = 0;
    //! False when a live lane meets an edge: the pose goes the usual way.
    bool usual = true;
};

//! Where the lanes of vector type W stand while the branches are formed:
//! the lanes whose branch exists so far, and those that met an edge while
//! they did.
template <class W>
struct LaneMasks {
    BitsOf<W> live = ~BitsOf<W>{};
    BitsOf<W> edge = BitsOf<W>{};
};

//! The lanes of W from lane `base` of the pose on: lane k takes the second
//! root (the minus sign) where bit `level` of base + k is set.
template <class W>
W rootSign(int level, int base) {
    W r;
    for (int k = 0; k < kLanes<W>; ++k) r[k] = ((base + k) >> level & 1) != 0 ? -1.0 : 1.0;
    return r;
}

//! solveCosSin for equation e with right side c in each lane, lane k taking
//! the root of sign sign[k]: writes the root and its turn; lanes without
//! two roots leave live, those with one (tangent) are edges.
template <class W>
void cosSinRoots(const CosSinEquation& e, const W& c, const W& sign, W& root, W& cr, W& sr, LaneMasks<W>& m) {
    const W k = c / e.r;
    const W d = arcCos(k);
    const W sd = laneSqrt((1.0 - k) * (1.0 + k)) * sign;
    root = e.phi + d * sign;
    cr = e.cp * k - e.sp * sd;
    sr = e.sp * k + e.cp * sd;
    // Two roots where |k| <= 1 and d is neither 0 nor pi, that is where
    // |k| < 1 (d is 0 and pi exactly at k = 1 and -1 only).
    const W a = laneAbs(k);
    const BitsOf<W> two = a < 1.0;
    m.edge |= m.live & inZeroTo(a - 1.0, kTangentSlack);
    m.live &= two;
}

//! v into lanes base.. of row (all of v's lanes written; the caller reads
//! the live ones).
template <class W>
void storeLanes(std::array<double, kWidth>& row, int base, const W& v) {
    __builtin_memcpy(row.data() + base, &v, sizeof v);
}

//! The branches' joints, turns and checks into lanes base.. of out; their
//! live bits into out.live, and out.usual cleared if one met an edge.
template <class W>
void store(LaneResults& out, int base, const LaneMasks<W>& m, unsigned regular, const std::array<const W*, 6>& q,
           const std::array<const W*, 6>& c, const std::array<const W*, 6>& s, const Measured<W>& check) {
    for (int j = 0; j < 6; ++j) {
        storeLanes(out.q[j], base, *q[j]);
        storeLanes(out.c[j], base, *c[j]);
        storeLanes(out.s[j], base, *s[j]);
    }
    storeLanes(out.position2, base, check.position2);
    storeLanes(out.frobenius2, base, check.frobenius2);
    storeLanes(out.det, base, check.det);
    const unsigned live = laneBits(m.live);
    out.live |= live << base;
    out.usual = out.usual && !anyLane(m.edge) && (regular & live) == live;
}

//! Joint 0 in the lanes of W from lane base of the pose on (lane base + k
//! takes root (base + k) / 4 of q0): the root, its turn, joint frame 0 and
//! joint frame 1 before q1 turns.
template <class W>
struct FirstJoint {
    W q, c, s;
    F3<W> J0, J1;
};
template <class W>
FirstJoint<W> firstJoint(const SolverModel& m, const std::array<double, 2>& q0s, const std::array<JointTrig, 2>& t0s,
                         int base) {
    FirstJoint<W> f;
    for (int k = 0; k < kLanes<W>; ++k) {
        const int i = (base + k) >> 2;
        f.q[k] = q0s[i];
        f.c[k] = t0s[i].c;
        f.s[k] = t0s[i].s;
    }
    f.J0 = spread<W>(m.base0);
    turn(f.J0, f.c, f.s);
    f.J1 = mul(f.J0, m.model.linkFrames[1]);
    return f;
}

//! The turn (q, c, s) that carries the xy-part of u onto that of v
//! (planarTurn); a live lane where either has no direction (below tiny) is
//! an edge.
template <class W, class U, class V>
void planarTurns(const U& u, const V& v, double tiny, W& q, W& c, W& s, LaneMasks<W>& m) {
    const W nu2 = u.x * u.x + u.y * u.y;
    const W nv2 = v.x * v.x + v.y * v.y;
    const W cross = u.x * v.y - u.y * v.x;
    const W dot = u.x * v.x + u.y * v.y;
    q = arcTan2(cross, dot);
    const W inv = 1.0 / laneSqrt(dot * dot + cross * cross);
    c = dot * inv;
    s = cross * inv;
    // Either length at most tiny: the smaller as integers (both are sums
    // of squares, and finite in a live lane) within [+0, tiny^2].
    using Words = WordsOf<W>;
    const Words bu = __builtin_bit_cast(Words, nu2), bv = __builtin_bit_cast(Words, nv2);
    m.edge |= m.live & inZeroTo(__builtin_bit_cast(W, bu < bv ? bu : bv), tiny * tiny);
}

//! Two links in a plane reaching P (xy-parts): the second turns by phi
//! (c, s), the root of `reach` of the lanes' sign, from the first's end A to
//! its own end B; the first turns by q (cq, sq), carrying A + B turned onto P.
template <class W, class P>
void twoLinkLanes(const CosSinEquation& reach, const P& p, const Vec3& A, const Vec3& B, const W& sign, W& phi, W& c,
                  W& s, W& q, W& cq, W& sq, LaneMasks<W>& lanes) {
    cosSinRoots(reach, p.x * p.x + p.y * p.y - (A.x * A.x + A.y * A.y) - (B.x * B.x + B.y * B.y), sign, phi, c, s,
                lanes);
    const V3<W> r{A.x + c * B.x - s * B.y, A.y + s * B.x + c * B.y, W{}};
    planarTurns(r, p, kNoDirection, q, cq, sq, lanes);
}

//! wrapTurn in each lane (a lane beyond 9 in magnitude, which wrapTurn
//! hands to std::remainder, is an edge).
template <class W>
W wrapTurns(const W& x, LaneMasks<W>& m) {
    const W a = laneAbs(x);
    const W r = x - laneCopySign(splat<W>(kFullTurn), x);
    const W wrapped = laneAbs(r) > 0.0 ? r : laneCopySign(W{}, x);
    m.edge |= m.live & (a >= 9.0);
    return a <= M_PI ? x : wrapped;
}

//! The lane work of a spherical wrist behind parallel shoulder axes
//! (shoulderTurns gave q0s, t0s; the wrist centre is at cw, the last joint
//! frame's axes R5): every branch's candidate and its check.
template <class W>
void sphericalLanes(const SolverModel& m, const Vec3& cw, const Axes& R5, const Frame& target,
                    const std::array<double, 2>& q0s, const std::array<JointTrig, 2>& t0s, int base, LaneResults& out) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    const auto [q0, c0, s0, J0, J1before] = firstJoint<W>(m, q0s, t0s, base);
    LaneMasks<W> lanes;
    // The wrist centre seen from joint frame 1 before q1 turns
    // (elbowBranches).
    const V3<W> V = invApplyPoint(J1before, cw);
    // The elbow's root, then q1 turning the wrist centre's direction in the
    // plane onto V's.
    W phi, c, s, q1, c1, s1;
    twoLinkLanes(m.closed.shoulderReach, V, L[2].O, m.wristCentreArm, rootSign<W>(1, base), phi, c, s, q1, c1, s1,
                 lanes);
    const JointTrig& tb = m.closed.turn2Trig;
    const W c2 = c * tb.c + s * tb.s, s2 = s * tb.c - c * tb.s;
    const W q2 = wrapTurns(phi - m.closed.turn2, lanes);
    // The branch's frames on to joint frame 3 before q3 turns (appendWrist).
    F3<W> J1 = J1before;
    turn(J1, c1, s1);
    F3<W> J2 = mul(J1, L[2]);
    turn(J2, c2, s2);
    const F3<W> next = mul(J2, L[3]);
    const V3<W> v = invApply(next, R5.Z);
    const V3<W> x = invApply(next, R5.X);
    W q4, c4, s4;
    cosSinRoots(m.closed.wristTilt, v.z - m.closed.tiltOffset, rootSign<W>(0, base), q4, c4, s4, lanes);
    // A singular wrist (or the last X axis along axis 5) is an edge: the
    // usual path takes the seed's q3 there.
    WristRoot<W> wr;
    const unsigned regular = wristRoot(L[4], L[5], v, x, c4, s4, wr);
    // The check (quickCheck).
    const W armFactor = sphericalArmFactor(m, J0, J1, J2);
    const W cw3[3] = {wr.c3, c4, wr.c5};
    const W sw3[3] = {wr.s3, s4, wr.s5};
    const Measured<W> check = measureSpherical(m, next, armFactor, target, cw3, sw3);
    store(out, base, lanes, regular, {&q0, &q1, &q2, &wr.q3, &q4, &wr.q5}, {&c0, &c1, &c2, &wr.c3, &c4, &wr.c5},
          {&s0, &s1, &s2, &wr.s3, &s4, &wr.s5}, check);
}

//! The lane work of three parallel axes (meetTurns gave q0s, t0s; F5 is
//! the last joint frame that puts the tool on target): every branch's
//! candidate and its check.
template <class W>
void parallelLanes(const SolverModel& m, const Frame& F5, const Frame& target, const std::array<double, 2>& q0s,
                   const std::array<JointTrig, 2>& t0s, int base, LaneResults& out) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    const auto [q0, c0, s0, J0, J1] = firstJoint<W>(m, q0s, t0s, base);  // J1 before q1: its Z is n
    LaneMasks<W> lanes;
    const V3<W>& nw = J1.Z;
    // q4 from n . axis 5; n in the last frame; the last frame seen from J1.
    W q4, c4, s4;
    cosSinRoots(m.closed.wristTilt, dot(nw, spread<W>(F5.Z)) - m.closed.tiltOffset, rootSign<W>(1, base), q4, c4, s4, lanes);
    const V3<W> n5{F5.X.x * nw.x + F5.X.y * nw.y + F5.X.z * nw.z, F5.Y.x * nw.x + F5.Y.y * nw.y + F5.Y.z * nw.z,
                   F5.Z.x * nw.x + F5.Z.y * nw.y + F5.Z.z * nw.z};
    const F3<W> H = mul(inverse(J1), spread<W>(F5));
    // q5 turns n5 onto n seen from joint frame 5 before q5.
    F3<W> T4 = spread<W>(L[4]);
    turn(T4, c4, s4);
    const V3<W> n4{T4.X.z, T4.Y.z, T4.Z.z};
    const V3<W> target5{L[5].X.x * n4.x + L[5].X.y * n4.y + L[5].X.z * n4.z,
                        L[5].Y.x * n4.x + L[5].Y.y * n4.y + L[5].Y.z * n4.z,
                        L[5].Z.x * n4.x + L[5].Z.y * n4.y + L[5].Z.z * n4.z};
    W q5, c5, s5;
    planarTurns(n5, target5, kAlignedAxes, q5, c5, s5, lanes);
    // G = Rz(q1) L2 Rz(q2) L3 Rz(q3) = H tail^-1: its X axis and origin.
    F3<W> T5 = spread<W>(L[5]);
    turn(T5, c5, s5);
    const F3<W> tail = mul(T4, T5);
    const V3<W> back{-dot(tail.X, tail.O), -dot(tail.Y, tail.O), -dot(tail.Z, tail.O)};
    const V3<W> GX = apply(H, V3<W>{tail.X.x, tail.Y.x, tail.Z.x});
    const V3<W> GO = applyPoint(H, back);
    const W total = arcTan2(GX.y, GX.x);
    const W h = laneSqrt(GX.x * GX.x + GX.y * GX.y);
    const W ct = GX.x / h, st = GX.y / h;
    W phi, c, s, q1, c1, s1;
    twoLinkLanes(m.closed.elbowReach, GO, L[2].O, L[3].O, rootSign<W>(0, base), phi, c, s, q1, c1, s1, lanes);
    const W q2 = phi - m.parallelTurn2;
    // The turn a less b, as parallelCandidates forms it.
    const auto less = [](const W& ac, const W& as, double bc, double bs, W& rc, W& rs) {
        rc = ac * bc + as * bs;
        rs = as * bc - ac * bs;
    };
    const JointTrig& turn2 = m.closed.turn2Trig;
    const JointTrig& turn3 = m.closed.turn3Trig;
    W c2, s2;
    less(c, s, turn2.c, turn2.s, c2, s2);
    const W q3 = wrapTurns(total - q1 - q2 - (m.parallelTurn2 + m.parallelTurn3), lanes);
    // ((total less q1) less q2) less (turn2 less -turn3).
    const double fc = turn2.c * turn3.c + turn2.s * -turn3.s, fs = turn2.s * turn3.c - turn2.c * -turn3.s;
    const W a1c = ct * c1 + st * s1, a1s = st * c1 - ct * s1;
    const W a2c = a1c * c2 + a1s * s2, a2s = a1s * c2 - a1c * s2;
    W c3, s3;
    less(a2c, a2s, fc, fs, c3, s3);
    const W cj[5] = {c1, c2, c3, c4, c5};
    const W sj[5] = {s1, s2, s3, s4, s5};
    const Measured<W> check = measureParallel(m, J0, J1, target, cj, sj);
    store(out, base, lanes, ~0u, {&q0, &q1, &q2, &q3, &q4, &q5}, {&c0, &c1, &c2, &c3, &c4, &c5},
          {&s0, &s1, &s2, &s3, &s4, &s5}, check);
}

//! The pose's lanes as one AVX-512 vector, or as two AVX2 halves (the
//! same bits either way), or not at all.
enum class LaneWidth { None, Four, Eight };

//! The widest the processor runs (read from the flags the runtime filled
//! at start-up).
LaneWidth laneWidth() {
    if (ARMKIN_HAS("avx512f")) return LaneWidth::Eight;
    if (ARMKIN_HAS("avx2")) return LaneWidth::Four;
    return LaneWidth::None;
}

ARMKIN_LANES_ON("avx512f")
void sphericalEight(const SolverModel& m, const Vec3& cw, const Axes& R5, const Frame& target,
                    const std::array<double, 2>& q0s, const std::array<JointTrig, 2>& t0s, LaneResults& out) {
    sphericalLanes<Wide>(m, cw, R5, target, q0s, t0s, 0, out);
}
ARMKIN_LANES_ON("avx2")
void sphericalFours(const SolverModel& m, const Vec3& cw, const Axes& R5, const Frame& target,
                    const std::array<double, 2>& q0s, const std::array<JointTrig, 2>& t0s, LaneResults& out) {
    sphericalLanes<Quad>(m, cw, R5, target, q0s, t0s, 0, out);
    sphericalLanes<Quad>(m, cw, R5, target, q0s, t0s, 4, out);
}
ARMKIN_LANES_ON("avx512f")
void parallelEight(const SolverModel& m, const Frame& F5, const Frame& target, const std::array<double, 2>& q0s,
                   const std::array<JointTrig, 2>& t0s, LaneResults& out) {
    parallelLanes<Wide>(m, F5, target, q0s, t0s, 0, out);
}
ARMKIN_LANES_ON("avx2")
void parallelFours(const SolverModel& m, const Frame& F5, const Frame& target, const std::array<double, 2>& q0s,
                   const std::array<JointTrig, 2>& t0s, LaneResults& out) {
    parallelLanes<Quad>(m, F5, target, q0s, t0s, 0, out);
    parallelLanes<Quad>(m, F5, target, q0s, t0s, 4, out);
}

//! Lane k's candidate into s.ws.candidates with the frames of its branch,
//! formed as the usual path forms them (a spherical wrist's up to joint
//! frame 3 before q3, three parallel axes' joint frames 0 and 1 before q1),
//! for the full check. Returns its index, or -1 when the set is full.
int pushLane(Solve& s, const Joints& q, const ChainTrig& t) {
    const std::array<Frame, kMaxJoints>& L = s.model.model.linkFrames;
    CandidateSet& cs = s.ws.candidates;
    Frame F0 = s.model.base0;
    turnFrame(F0, t[0]);
    int p = -1;
    if (s.model.kind == WristKind::ParallelAxes) {
        p = cs.addPrefix(&F0, 1, frameMul(F0, L[1]));
    } else if (CandidateSet::Prefix* f = cs.newPrefix(3, p)) {
        f->joint[0] = F0;
        f->joint[1] = frameMul(F0, L[1]);
        turnFrame(f->joint[1], t[1]);
        f->joint[2] = frameMul(f->joint[1], L[2]);
        turnFrame(f->joint[2], t[2]);
        f->next = frameMul(f->joint[2], L[3]);
    }
    if (p < 0 || !cs.push(q, t, p, false)) return -1;
    return cs.count - 1;
}

//! The lanes' candidates, in lane order, to s.ws.branches: those the quick
//! check settles as they are, the others through the full check; the same
//! duplicates test as polishCandidates. False when none holds.
bool keepLanes(Solve& s, const LaneResults& r) {
    const SolverModel& m = s.model;
    SolverWorkspace& ws = s.ws;
    const SolveOptions& o = s.options;
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

}  // namespace

bool allBranchesInLanes(Solve& s) {
    const SolverModel& m = s.model;
    const LaneWidth width = laneWidth();
    if (width == LaneWidth::None || !(m.closed.wristTilt.r > 1e-14)) return false;
    Axes R5;
    Vec3 O5;
    flangeOf(m, s.target, R5, O5);
    std::array<double, 2> q0s{};
    std::array<JointTrig, 2> t0s{};
    LaneResults r;
    if (m.kind == WristKind::Spherical && m.shoulderParallel && m.closed.shoulderReach.r > 1e-14) {
        const Vec3 wc = applyAxes(R5, m.wristCentreLast);
        const Vec3 cw{O5.x + wc.x, O5.y + wc.y, O5.z + wc.z};
        if (shoulderTurns(m, cw, s.options, q0s, t0s) != 2) return false;
        (width == LaneWidth::Eight ? sphericalEight : sphericalFours)(m, cw, R5, s.target, q0s, t0s, r);
    } else if (m.kind == WristKind::ParallelAxes && m.closed.elbowReach.r > 1e-14) {
        const Frame F5{R5.X, R5.Y, R5.Z, O5};
        if (meetTurns(m, frameApplyPoint(F5, m.axisMeetLast), q0s, t0s) != 2) return false;
        (width == LaneWidth::Eight ? parallelEight : parallelFours)(m, F5, s.target, q0s, t0s, r);
    } else {
        return false;
    }
    return r.usual && r.live != 0 && keepLanes(s, r);
}

}  // namespace kin::solver
