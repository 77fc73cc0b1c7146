#pragma once
//! The complete inverse-kinematics solver: every branch of a pose, each
//! polished to the requested tolerances and carrying its residuals and
//! status. It sits beside the engine's own inverseKinematics, which it does
//! not change.
//!
//! A SolverModel is built once per arm and only read afterwards: any number
//! of threads may share one. A SolverWorkspace holds everything a solve
//! writes: one per thread. No call throws, allocates (apart from solveBatch,
//! which makes one workspace per thread it starts) or prints.

#include <span>
#include <utility>

#include "arm/arm_model.hpp"
#include "cases/arm_constants.hpp"
#include "ik/kinematics.hpp"
#include "solver/elimination_model.hpp"
#include "solver/value_types.hpp"

namespace kin {

//! How the solver takes the arm apart.
enum class WristKind : unsigned char {
    Spherical,      //!< axes 3, 4, 5 turn and meet in one point
    ParallelAxes,   //!< six turning joints, axes 1, 2, 3 parallel, axes 4 and 5 meet
    SlidingArm,     //!< joints 0..2 slide: the wrist alone turns the tool
    Elimination,    //!< no closed form: every branch from the loop equations' elimination
    General,        //!< no cut of the loop recovers the arm's poses: numeric starts and polish
};

//! Cosine and sine of one joint's turn; a sliding joint keeps (1, 0).
struct JointTrig {
    double c = 1.0;
    double s = 0.0;
};
using ChainTrig = std::array<JointTrig, 6>;

//! a cos t + b sin t = c for coefficients a, b fixed by the arm: the parts
//! of its solution that do not depend on c (solver::solveCosSin).
struct CosSinEquation {
    double a = 0.0;
    double b = 0.0;
    double r = 0.0;    //!< sqrt(a^2 + b^2)
    double phi = 0.0;  //!< atan2(b, a)
    double cp = 1.0;   //!< a / r
    double sp = 0.0;   //!< b / r
};

//! A bound on the distance from the tool point to one joint's axis, for
//! the closed forms' singular test: fromTarget times (the target's distance
//! from joint 0's origin, plus the position tolerance) plus extra. Infinite
//! where no bound is known (a sliding joint up to this one).
struct ColumnReach {
    double fromTarget = 1.0;
    double extra = 0.0;
};

//! What the closed forms' equations keep of the arm: formed once, the same
//! for every pose (solver_constants.cpp).
struct ClosedFormConstants {
    //! Wrist: z of L4 Rz(q4) L5.Z = a cos q4 + b sin q4 + tiltOffset.
    CosSinEquation wristTilt;
    double tiltOffset = 0.0;
    //! Parallel shoulder: |A + Rz(phi) w| in the plane of joint 1, A = L2's
    //! origin, w the wrist centre (joint frame 2).
    CosSinEquation shoulderReach;
    //! Three parallel axes: the same with w = L3's origin.
    CosSinEquation elbowReach;
    //! Height of the wrist centre (parallel shoulder) and of the point
    //! where axes 4 and 5 meet (three parallel axes) along axis 1, joint
    //! frame 0.
    double shoulderHeight = 0.0;
    double meetHeight = 0.0;
    //! The turns about Z of link frames 2 and 3 (their angle and its
    //! cosine and sine).
    double turn2 = 0.0;
    JointTrig turn2Trig{};
    JointTrig turn3Trig{};
    std::array<ColumnReach, 6> columnReach{};
};

//! What the solver knows about one arm; written by buildSolverModel only.
struct SolverModel {
    ArmModel model{};
    ArmConstants arm{};
    bool valid = false;
    WristKind kind = WristKind::General;
    double scale = 1.0;  //!< arm size: the reach of the zero pose plus one
    Axes toolRot{};      //!< tool axes in the last joint frame (Z = X x Y)
    Frame base0{};       //!< the base frame times link frame 0: joint frame 0 before it moves
    Vec3 toolPoint{};    //!< tool point in the last joint frame

    // Spherical wrist.
    Vec3 wristCentreArm{};    //!< wrist centre in joint frame 2 (after joint 2 moves)
    Vec3 wristCentreLast{};   //!< the same point in the last joint frame
    bool shoulderParallel = false;  //!< joints 0..2 turn, axes 1 and 2 parallel
    //! The wrist axes have a nearest common point (General arms: the
    //! spherical closed form there gives starting points).
    bool nearlySpherical = false;

    // Three parallel axes: frames after each joint, rotation parts of L2, L3
    // reduced to turns about Z.
    double parallelTurn2 = 0.0;  //!< L2 rotation = Rz(parallelTurn2)
    double parallelTurn3 = 0.0;  //!< L3 rotation = Rz(parallelTurn3)
    Vec3 axisMeetLast{};         //!< where axes 4 and 5 meet, last joint frame

    ClosedFormConstants closed{};

    // Elimination: where the loop is cut and its constant side.
    solver::LoopCut cut{};

    // Public forward kinematics: the tool point, X axis and Y axis (entries
    // 0, 1, 2) in joint frame 4 after joint 5 turns by q are
    // cos q * toolCos + sin q * toolSin + toolRest, the parts of link frame
    // 5 formed once.
    std::array<Vec3, 3> toolCos{}, toolSin{}, toolRest{};
};

//! Whether the arm's kind reduces the pose to one point (wrist centre, or
//! where axes 4 and 5 meet): the reach test applies, and when the closed
//! form finds nothing the numeric starts may still try.
inline bool hasClosedForm(WristKind kind) {
    return kind == WristKind::Spherical || kind == WristKind::ParallelAxes;
}

//! Candidate joint vectors of one pose, before polish and selection. A
//! closed form also records the turns it found (the cosine and sine of each
//! joint angle, to rounding those of the angle) and the world frames of the
//! first joints, formed from those turns by the solver's chain and shared
//! by the candidates of one arm branch: the check of such a candidate
//! continues the chain from there.
struct CandidateSet {
    static constexpr int kCapacity = 48;
    static constexpr int kPrefixes = 12;
    std::array<Joints, kCapacity> q{};
    std::array<bool, kCapacity> wristFree{};  //!< built at a singular wrist
    std::array<bool, kCapacity> hasTurns{};
    std::array<ChainTrig, kCapacity> turns{};
    //! Index into prefixes, or -1.
    std::array<signed char, kCapacity> prefix{};
    //! World frames after joints 0 .. depth-1, and joint frame depth
    //! before its joint moves (the last one times the next link frame).
    struct Prefix {
        std::array<Frame, 3> joint{};
        Frame next{};
        int depth = 0;
        //! The arm's factor of the Jacobian determinant, once formed
        //! (spherical wrist: the same for every candidate of the branch).
        bool hasArmFactor = false;
        double armFactor = 0.0;
    };
    std::array<Prefix, kPrefixes> prefixes{};
    int count = 0;
    int prefixCount = 0;
    //! The pose's bound on the Jacobian's squared column norms, once formed
    //! (not positive until then).
    double normsBound = 0.0;

    void clear() {
        count = 0;
        prefixCount = 0;
        normsBound = 0.0;
    }
    bool push(const Joints& j, bool free = false) {
        if (count >= kCapacity) return false;
        wristFree[count] = free;
        hasTurns[count] = false;
        prefix[count] = -1;
        q[count++] = j;
        return true;
    }
    //! A candidate with its turns t and the frames of prefix p (or -1).
    bool push(const Joints& j, const ChainTrig& t, int p, bool free) {
        if (count >= kCapacity) return false;
        wristFree[count] = free;
        hasTurns[count] = true;
        turns[count] = t;
        prefix[count] = static_cast<signed char>(p);
        q[count++] = j;
        return true;
    }
    //! A new prefix of the given depth whose frames the caller writes;
    //! null when full.
    Prefix* newPrefix(int depth, int& index) {
        index = -1;
        if (prefixCount >= kPrefixes) return nullptr;
        Prefix& p = prefixes[prefixCount];
        p.depth = depth;
        p.hasArmFactor = false;
        index = prefixCount++;
        return &p;
    }
    //! Records the frames of one more prefix (joint[0 .. depth-1] and
    //! next); returns its index, or -1 when full.
    int addPrefix(const Frame* joint, int depth, const Frame& next) {
        if (prefixCount >= kPrefixes) return -1;
        Prefix& p = prefixes[prefixCount];
        for (int k = 0; k < depth; ++k) p.joint[k] = joint[k];
        p.next = next;
        p.depth = depth;
        p.hasArmFactor = false;
        return prefixCount++;
    }
};

//! The polished, deduplicated branches of one pose, before limits.
struct BranchSet {
    static constexpr int kCapacity = CandidateSet::kCapacity;
    std::array<Solution, kCapacity> solutions{};
    int count = 0;
    Status status = Status::OutOfReach;  //!< why count is 0
    bool truncated = false;
    const char* reason = "";  //!< static text, for InvalidInput
};

//! Everything one solve writes. Make one per thread; reuse it across poses.
//! On cache lines of its own, so that the workspaces of two threads, made
//! one after the other, never share one.
struct alignas(64) SolverWorkspace {
    Kinematics engine;  //!< the engine whose case solvers and written PTP the solver calls
    CandidateSet candidates;
    BranchSet branches;
    FkData fk;
};

//! Builds the solver's record of the arm held by engine (after
//! Kinematics::armSetup) into out. Returns 1; returns 0 and marks out invalid
//! when the arm has other than six joints. Reads engine only.
int buildSolverModel(const Kinematics& engine, SolverModel& out);

//! The joint ranges the arm model carries (ArmModel::jointRange, which an
//! arm file fills) as solver limits. Pure function.
JointLimits modelLimits(const SolverModel& model);

//! Prepares a workspace for model: copies the arm into its engine. Call
//! once before the first solve with a workspace (and again if the
//! workspace is moved to another model).
void prepareWorkspace(const SolverModel& model, SolverWorkspace& ws);

//! Every solution for the tool pose target (axes X, Y, Z and origin O in
//! world coordinates), within the options' limits, in the options' order.
//! Writes out (count, status, solutions); returns out.count. On failure
//! out.count is 0 and out.status says why. Writes ws; reads model.
int solveAll(const SolverModel& model, SolverWorkspace& ws, const Frame& target,
             const SolveOptions& options, SolveResult& out);

//! The solution nearest seed (weighted distance of the options) among all
//! branches and their copies within the limits. Writes out and returns 1;
//! returns 0 and leaves out untouched when there is none (why is in
//! ws.branches.status).
int solveNearest(const SolverModel& model, SolverWorkspace& ws, const Frame& target,
                 const Joints& seed, const SolveOptions& options, Solution& out);

//! Small steps along a path: the engine's own CP iteration from seed,
//! polished to the tolerances; when that does not reach, leaves the limits
//! or moves a joint by more than 0.5 from the seed, solveNearest.
//! Same contract as solveNearest.
int solveTrack(const SolverModel& model, SolverWorkspace& ws, const Frame& target,
               const Joints& seed, const SolveOptions& options, Solution& out);

//! solveAll for every target, out[i] for targets[i], on up to `threads`
//! threads (at least one), each with its own workspace. The results do not
//! depend on the thread count. Returns the number of targets solved (at
//! least one solution); returns -1 and writes nothing when out is shorter
//! than targets or the model is invalid. Allocates the workspaces.
int solveBatch(const SolverModel& model, std::span<const Frame> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads);
//! The same for targets given as public poses.
int solveBatch(const SolverModel& model, std::span<const armkin::Pose> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads);

}  // namespace kin
