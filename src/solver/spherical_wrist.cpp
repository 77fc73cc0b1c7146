//! Arms whose wrist axes meet in one point: joints 0..2 put the wrist
//! centre in place (the engine's closed-form case solvers), joints 3..5 then
//! turn the last frame into the target orientation.

#include <cmath>
#include <limits>
#include <utility>

#include "cases/case_solvers.hpp"
#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

using CaseSolver = void (*)(const CaseProblem&, ArmCandidateList&);
constexpr CaseSolver kCaseSolvers[8] = {solveCaseRRR, solveCaseSRR, solveCaseRSR, solveCaseRRS,
                                        solveCaseSSR, solveCaseSRS, solveCaseRSS, solveCaseSSS};

//! Relative size of the nudges that recover branches the case solvers drop
//! at a reach limit (a stretched or folded elbow, a tangent root).
constexpr double kNudge = 1e-9;
//! A wrist centre this close (relative) to the axis of joint 0 leaves q0 free.
constexpr double kOnAxis = 1e-7;
//! Most candidates each case solver can return.
constexpr int kMostBranches[8] = {4, 4, 4, 4, 2, 2, 2, 1};

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scaled(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }

//! Runs the case solver for the wrist centre cw (world); the candidates are
//! left in ws.engine.ik.arm.
void armCase(const SolverModel& m, SolverWorkspace& ws, const Vec3& cw) {
    Kinematics& e = ws.engine;
    e.ik.arm.armCandCount = 0;
    if (m.arm.armCase < 0 || m.arm.armCase > 7) return;
    e.prepareTarget(cw, EulerZYZ{}, Joints{});
    const CaseProblem P{m.arm, m.model.linkFrames[2], e.ik.s1, m.wristCentreArm};
    kCaseSolvers[m.arm.armCase](P, e.ik.arm);
}

//! The case solver's candidates for wrist centre cw, added to arms.
void collectCase(const SolverModel& m, SolverWorkspace& ws, const Vec3& cw, ArmList& arms) {
    armCase(m, ws, cw);
    const ArmCandidateList& c = ws.engine.ik.arm;
    for (int i = 0; i < c.armCandCount; ++i) arms.add(m, c.armCand[i], 1e-3);
}

//! Joints 1 and 2 turning, the wrist centre on joint 0's axis:
//! q0 takes the seed's value and joints 1, 2 place the centre, keeping its
//! distance from joint frame 1 (turning joint 2) and then its direction.
void onShoulderAxis(const SolverModel& m, SolverWorkspace& ws, const Vec3& cw, const Axes& R5,
                    const SolveOptions& o) {
    const ArmModel& a = m.model;
    if (a.jointTypes[1] != 'R' || a.jointTypes[2] != 'R') return;
    const double q0 = o.seed[0];
    Frame F0 = frameMul(a.baseFrame, a.linkFrames[0]);
    moveJoint(F0, a.jointTypes[0], q0);
    const Frame F1 = frameMul(F0, a.linkFrames[1]);  // joint frame 1 before q1 turns
    const Vec3 V = frameInvApplyPoint(F1, cw);
    const Frame& L2 = a.linkFrames[2];
    const Vec3& w = m.wristCentreArm;
    const Vec3 g = frameInvApplyVector(L2, L2.O);  // L2's origin seen from joint frame 2
    const double A = 2.0 * (g.x * w.x + g.y * w.y);
    const double B = 2.0 * (g.y * w.x - g.x * w.y);
    const double C = dot3(V, V) - dot3(L2.O, L2.O) - dot3(w, w) - 2.0 * g.z * w.z;
    std::array<double, 2> q2s{};
    const int n = solveCosSin(A, B, C, kNudge, q2s);
    for (int i = 0; i < n; ++i) {
        const double q2 = q2s[i];
        const double c = std::cos(q2), s = std::sin(q2);
        const Vec3 wr{c * w.x - s * w.y, s * w.x + c * w.y, w.z};
        const Vec3 u = frameApplyPoint(L2, wr);
        double q1 = o.seed[1];
        if (!planarTurn(u, V, 1e-12, q1)) q1 = o.seed[1];
        const Frame F2 = armFrame(m, q0, q1, q2);
        appendWrist(m, ws, {q0, q1, q2, o.seed[3], o.seed[4], o.seed[5]}, {F2.X, F2.Y, F2.Z}, R5, o);
    }
}

//! The arm branches in ascending order of the seed distance of their
//! joints 0..2 (copies inside the limits nearest the seed; infinite when a
//! joint has none), a lower bound of their candidates' distances.
void nearestFirst(const SolverModel& m, const SolveOptions& o, const ArmBranches& b, int n,
                  std::array<int, 4>& order, std::array<double, 4>& armDistance) {
    for (int i = 0; i < n; ++i) {
        double d = 0.0;
        for (int k = 0; k < 3; ++k) {
            double v = b[i].q[k];
            if (!nearestCopyInline(m, o, k, v)) {
                d = std::numeric_limits<double>::infinity();
                break;
            }
            d += o.weights[k] * (v - o.seed[k]) * (v - o.seed[k]);
        }
        armDistance[i] = d;
    }
    // Insertion sort: stable, and no buffer (std::stable_sort may allocate).
    for (int i = 1; i < n; ++i) {
        for (int j = i; j > 0 && armDistance[order[j - 1]] > armDistance[order[j]]; --j) {
            std::swap(order[j - 1], order[j]);
        }
    }
}

}  // namespace

void flangeOf(const SolverModel& m, const Frame& t, Axes& R5, Vec3& O5) {
    const Axes Rt{t.X, t.Y, t.Z};
    R5 = mulAxes(Rt, transposeAxes(m.toolRot));
    O5 = sub3(t.O, applyAxes(R5, m.toolPoint));
}

bool sphericalCandidates(Solve& s) {
    const SolverModel& m = s.model;
    SolverWorkspace& ws = s.ws;
    const Frame& target = s.target;
    const SolveOptions& o = s.options;
    Axes R5;
    Vec3 O5;
    flangeOf(m, target, R5, O5);
    const Vec3 cw = add(O5, applyAxes(R5, m.wristCentreLast));

    if (m.shoulderParallel) {
        // The branches come with their turns and frames: each candidate's
        // check continues the chain from joint frame 2. For the nearest
        // candidate only, the roots of q0 and then the branches go nearest
        // the seed first, and any whose joints alone lie farther than a
        // candidate already found are left out.
        std::array<double, 2> q0s{};
        std::array<JointTrig, 2> t0s{};
        const int n0 = shoulderTurns(m, cw, o, q0s, t0s);
        const RootOrder first0 = s.nearestOnly ? nearerRootFirst(m, o, 0, q0s, n0, 0.0) : RootOrder{};
        double best = std::numeric_limits<double>::infinity();
        int branches = 0;
        for (int j0 = 0; j0 < n0; ++j0) {
            const int i0 = first0.order[j0];
            if (s.nearestOnly && !(first0.bound[i0] <= best)) break;
            ArmBranches b;
            const int n = elbowBranches(m, cw, m.wristCentreArm, o, q0s[i0], t0s[i0], ws.candidates, b, 0);
            branches += n;
            std::array<int, 4> order{0, 1, 2, 3};
            std::array<double, 4> armDistance{};
            if (s.nearestOnly) nearestFirst(m, o, b, n, order, armDistance);
            for (int j = 0; j < n; ++j) {
                const int i = order[j];
                if (s.nearestOnly && !(armDistance[i] <= best)) break;
                const int first = ws.candidates.count;
                appendWrist(m, ws, b[i], R5, o);
                if (s.nearestOnly) best = nearestSoFar(m, o, ws.candidates, first, best);
            }
        }
        return branches > 0;
    }
    ArmList arms;
    collectCase(m, ws, cw, arms);
    if (arms.count < kMostBranches[m.arm.armCase & 7]) {
        // The case solvers can drop a tangent root at a reach limit or a
        // root of their quartic. Repeat with the wrist centre moved a
        // little towards and away from joint frame 1, then search.
        const Frame F1 =
            frameMul(frameMul(m.model.baseFrame, m.model.linkFrames[0]), m.model.linkFrames[1]);
        Vec3 d = sub3(cw, F1.O);
        double dn = vecNorm(d);
        if (!(dn > 1e-12)) {
            d = F1.X;
            dn = vecNorm(d);
        }
        const double step = kNudge * m.scale / dn;
        for (const double sgn : {-1.0, 1.0}) collectCase(m, ws, add(cw, scaled(d, sgn * step)), arms);
        if (arms.count < kMostBranches[m.arm.armCase & 7]) searchArm(m, cw, m.wristCentreArm, arms);
    }
    for (int i = 0; i < arms.count; ++i) {
        const auto& a = arms.q[i];
        const Frame F2 = armFrame(m, a[0], a[1], a[2]);
        const Joints j{a[0], a[1], a[2], o.seed[3], o.seed[4], o.seed[5]};
        appendWrist(m, ws, j, {F2.X, F2.Y, F2.Z}, R5, o);
    }

    // A wrist centre on joint 0's axis leaves q0 free: one representative.
    if (m.model.jointTypes[0] == 'R') {
        const Frame F0 = frameMul(m.model.baseFrame, m.model.linkFrames[0]);
        const Vec3 r = sub3(cw, F0.O);
        const Vec3 off = sub3(r, scaled(F0.Z, dot3(r, F0.Z)));
        if (vecNorm(off) <= kOnAxis * m.scale) onShoulderAxis(m, ws, cw, R5, o);
    }
    return arms.count > 0 || ws.candidates.count > 0;
}

}  // namespace kin::solver
