#pragma once
//! The solver's stages, shared between its files. Internal to solver/.

#include "solver/chain.hpp"

namespace kin::solver {

//! A line that misses the circle of a closed form's cosine-sine equation
//! by less than this (relative) touches it: a tangent root, counted once.
inline constexpr double kTangentSlack = 1e-9;
//! Two axes closer than this (sine of the angle) leave a joint between
//! them free.
inline constexpr double kAlignedAxes = 1e-9;
//! A vector whose part in a joint's plane is shorter than this has no
//! direction there: a closed form's planar turn takes the seed's value.
inline constexpr double kNoDirection = 1e-12;

//! Why target and options cannot be solved (static text), or null. On
//! success writes the rotation to solve for: the target's own, or its
//! nearest proper rotation (repaired true) when the target's is off by
//! more than rounding and within kRotationCheckTolerance, or when the
//! options ask to orthonormalize.
const char* targetFault(const armkin::Pose& target, const SolveOptions& options,
                        armkin::Rotation& solveFor, bool& repaired);

//! The last joint frame's rotation R5 and origin O5 (world) that put the
//! tool on target t.
void flangeOf(const SolverModel& m, const Frame& t, Axes& R5, Vec3& O5);

//! One solve: what every stage reads, passed once. target is the frame
//! solved for (its rotation proper); the stages write ws.
struct Solve {
    const SolverModel& model;
    SolverWorkspace& ws;
    const Frame& target;
    const SolveOptions& options;
    //! Only the candidate nearest options.seed (weighted distance of its
    //! copies inside the limits) is wanted: a family may leave out an arm
    //! branch whose joints 0..2 alone lie farther than a candidate it has
    //! already appended.
    bool nearestOnly = false;
};

//! The candidates of one arm family: appends joint vectors for s.target to
//! s.ws.candidates (the caller clears the set). Returns false when the pose
//! lies beyond the arm (no candidate at all), true otherwise, even if some
//! branches were lost.
using CandidateFamily = bool (*)(Solve& s);

//! Every solution of s.target at once, one branch per vector lane, for a
//! spherical wrist behind parallel shoulder axes and for three parallel
//! axes (branch_lanes.cpp): writes s.ws.branches as the family's
//! candidates then polishCandidates would, and returns true. False
//! (ws.branches and ws.candidates then undefined) for other arms, and for
//! poses that meet an edge of the closed form or find no solution: the
//! caller takes the usual path.
bool allBranchesInLanes(Solve& s);

//! Fills m.closed from the arm and what classification found
//! (solver_constants.cpp).
void deriveClosedForms(SolverModel& m);

//! The family that solves arms of this kind: the one place families are
//! listed.
CandidateFamily candidateFamily(WristKind kind);

//! The families: closed forms of a spherical wrist and of three parallel
//! axes, and for arms without a closed form (and as the fallback of the
//! others) the console's PTP answers and a fixed spread of joint vectors.
bool sphericalCandidates(Solve& s);
bool parallelCandidates(Solve& s);
bool generalCandidates(Solve& s);

//! Element index of the van der Corput sequence in the given base, in
//! [0, 1): one coordinate of a Halton point. Pure function.
double halton(int index, int base);
bool eliminationCandidates(Solve& s);
bool slidingArmCandidates(Solve& s);

//! Joint vectors from one cut of the loop, at most one per real root.
using CutAnswers = std::array<Joints, 24>;
//! Every joint vector the cut c gives for target (joint limits not
//! consulted, not polished: each within about 1e-8 of its branch).
//! Returns how many were written. Reads only; no allocation.
//! highTerms, when given, is raised to the largest determinant term above
//! degree 8 (relative to the largest term).
int cutCandidates(const SolverModel& m, const LoopCut& c, const Frame& target, CutAnswers& out,
                  double* highTerms = nullptr);
//! Chooses the cut of the loop that best recovers fixed poses of arm m,
//! and its constant side; best.usable tells whether any recovers them.
void buildElimination(const SolverModel& m, LoopCut& best);

//! Whether some joint vector may put the tool within the tolerances of o on
//! target. False only when the geometry of joints 0..2 (0..3 for three
//! parallel axes) proves that none does: the point the closed form reduces
//! the pose to (wrist centre, or where axes 4 and 5 meet) lies beyond every
//! place those joints carry it (for three parallel axes: with the wrist
//! turned to the target's orientation), by more than the tolerances and
//! rounding allow. Joint limits are not consulted. Always true for General
//! arms.
bool mayReach(const SolverModel& m, const Frame& target, const SolveOptions& o);

//! Three parallel axes: the roots of q0 with their turns (the height along
//! the axes of meet, the point where axes 4 and 5 meet, fixes q0); returns
//! how many (0..2), or -1 when every q0 or none gives that height.
int meetTurns(const SolverModel& m, const Vec3& meet, std::array<double, 2>& q0s, std::array<JointTrig, 2>& t0s);

//! One branch of joints 0..2 from a closed form: the angles, their turns
//! and where the world frames after each joint are kept (the solver's
//! chain; the index of a CandidateSet prefix, or -1 when they are full).
struct ArmRoot {
    std::array<double, 3> q;
    std::array<JointTrig, 3> t;
    int prefix;
};
//! Up to four.
using ArmBranches = std::array<ArmRoot, 4>;

//! The wrist joints 3..5 that give the last joint frame rotation R5 (world)
//! once joints 0..2 have put joint frame 2 at rotation R2 (world), for a
//! spherical or any other wrist of three turning joints. Appends each
//! (q0, q1, q2, q3, q4, q5) to ws.candidates; a wrist whose first and last
//! axes line up takes q3 from the seed.
void appendWrist(const SolverModel& m, SolverWorkspace& ws, const Joints& arm, const Axes& R2,
                 const Axes& R5, const SolveOptions& o);
//! The same for an arm branch found with its turns and frames: appends each
//! candidate with its turns and the branch's prefix.
void appendWrist(const SolverModel& m, SolverWorkspace& ws, const ArmRoot& arm, const Axes& R5,
                 const SolveOptions& o);


//! Arm-joint branches gathered from several solves, near-duplicates dropped.
struct ArmList {
    static constexpr int kCapacity = 12;
    std::array<std::array<double, 3>, kCapacity> q{};
    int count = 0;
    //! Appends q unless an entry lies within tol of it in every joint
    //! (turning joints modulo 2 pi). Returns whether it was appended.
    bool add(const SolverModel& m, const std::array<double, 3>& q, double tol);
};

//! Joints 0..2 that put point w (fixed in joint frame 2) at world point p,
//! for three turning joints with axes 1 and 2 parallel (SolverModel::
//! shoulderParallel), in two steps. shoulderTurns: the roots of q0 with
//! their turns (w's height along the axes fixes q0; a point on joint 0's
//! axis takes q0 from the seed); returns how many (0..2).
int shoulderTurns(const SolverModel& m, const Vec3& p, const SolveOptions& o, std::array<double, 2>& q0s,
                  std::array<JointTrig, 2>& t0s);
//! elbowBranches: the branches of one root of q0 (a planar two-link
//! problem), written to out from index count with their turns; each gets a
//! new prefix of cs holding joint frame 0 and joint frame 1 before q1 turns
//! (appendWrist forms the rest, for the branches it takes). Returns the
//! new count.
int elbowBranches(const SolverModel& m, const Vec3& p, const Vec3& w, const SolveOptions& o, double q0,
                  const JointTrig& t0, CandidateSet& cs, ArmBranches& out, int count);

//! Joints 0..2 that put point w (fixed in joint frame 2) at world point p,
//! searched by a three-joint Newton iteration from a fixed spread of
//! starts; appends the distinct ones to found. For arms whose case solver
//! may lose roots.
void searchArm(const SolverModel& m, const Vec3& p, const Vec3& w, ArmList& found);

//! Levenberg-Marquardt on all six joints from q, to the tolerances of o.
//! Writes the final q and the number of iterations taken; returns whether
//! the tolerances were met (checked by the library's forward kinematics).
bool polish(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
            const SolveOptions& o, Joints& q, int& iterations);

//! What a polish leaves beside the joints: the chain at the final joints,
//! the residuals by the library's forward kinematics, the iterations taken.
struct Polished {
    ChainPose pose{};
    double positionError = 0.0;
    double rotationError = 0.0;
    int iterations = 0;
};
bool polish(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
            const SolveOptions& o, Joints& q, Polished& out);

//! Moves every turning joint of q to its copy nearest the seed.
void nearestCopies(const SolverModel& m, const SolveOptions& o, Joints& q);

//! Candidate i of ws.candidates to a solution: nearest copies, the check
//! (forward kinematics against the target; a candidate with turns continues
//! the chain from its recorded frames), polish when the check misses,
//! singular test (a singular one is settled on its family's member nearest
//! the seed), residuals and status. False when the polish does not meet
//! the tolerances.
//! tryQuick false: the quick check has been tried already and failed.
bool finishCandidate(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
                     const SolveOptions& o, int i, Solution& s, bool tryQuick = true);

//! The usual case of finishCandidate for candidate i of cs, a closed-form
//! candidate with turns and prefix: continues the chain from the prefix to
//! the tool and writes the residuals against target. True only when the
//! candidate meets the check and its determinant's factors prove it
//! regular; false leaves the decision to the full path. Caches the pose's
//! column-norm bound and the branch's arm factor in cs.
bool quickCheck(const SolverModel& m, CandidateSet& cs, int i, const Frame& target,
                const SolveOptions& o, double& positionError, double& rotationError);
//! quickCheck of candidates i and i + 1 side by side, the same results
//! written to out. Returns false (out unwritten) when the two cannot go
//! together (either unfit for the quick check, or prefixes apart).
struct QuickResult {
    bool passed = false;
    double positionError = 0.0;
    double rotationError = 0.0;
};
bool quickCheckPair(const SolverModel& m, CandidateSet& cs, int i, const Frame& target,
                    const SolveOptions& o, std::array<QuickResult, 2>& out);

//! The pose's bound on the Jacobian's squared column norms for the quick
//! check's singular test (the product over the columns of a bound on each
//! column's squared norm). Pure function.
double columnNormsBound(const SolverModel& m, const Frame& target, const SolveOptions& o);
//! The quick check's verdict on one candidate from its squared tool
//! distance, squared Frobenius distance of the axes and Jacobian
//! determinant: writes the residuals; true when both lie within half the
//! tolerances with room and the determinant is clear of the singular
//! tolerance against normsBound (columnNormsBound). Pure function.
bool quickVerdict(const SolverModel& m, double normsBound, const SolveOptions& o, double position2,
                  double frobenius2, double det, double& positionError, double& rotationError);

//! Whether two solutions are one (singular ones within a looser margin).
bool sameSolution(const SolverModel& m, const SolveOptions& o, const Solution& a, const Solution& b);

//! Adds solution s to b unless it is one already there (sameSolution; a
//! singular one then takes the place of its twin when nearer the seed).
//! Returns false, b.truncated set, when b is full.
bool keepBranch(const SolverModel& m, const SolveOptions& o, BranchSet& b, const Solution& s);

//! Polishes every candidate, keeps those that meet the tolerances with
//! their residuals and status, and drops duplicates: writes ws.branches
//! (status OutOfReach when there were no candidates, NotConverged when none
//! met the tolerances).
void polishCandidates(Solve& s, bool anyCandidate);

//! From ws.branches (solved for s.target) to out: each branch once, at its
//! copy inside the limits nearest the seed, then (Copies::All) every other
//! copy inside the limits; each group in the options' order.
void applyLimits(Solve& s, SolveResult& out);

//! Moves joint k's value v to its copy inside the limits nearest the seed
//! (a sliding joint stays); false (v unchanged) when there is none.
bool nearestCopy(const SolverModel& m, const SolveOptions& o, int k, double& v);
//! The same, inline for the usual case: a turning joint without bounds
//! within half a turn of the seed.
inline bool nearestCopyInline(const SolverModel& m, const SolveOptions& o, int k, double& v) {
    const double d = o.seed[k] - v;
    if (m.model.jointTypes[k] == 'R' && std::fabs(d) < 3.0 && o.limits.lower[k] == -JointLimits::kNone &&
        o.limits.upper[k] == JointLimits::kNone) {
        v += turnsShift(d);
        return true;
    }
    return nearestCopy(m, o, k, v);
}


//! Moves every joint of q to its copy inside the limits nearest the seed;
//! false when a joint has no copy inside.
inline bool nearestInside(const SolverModel& m, const SolveOptions& o, Joints& q) {
    for (int k = 0; k < 6; ++k) {
        if (!nearestCopyInline(m, o, k, q[k])) return false;
    }
    return true;
}

//! For the nearest candidate only: the order in which to take up to two
//! roots of joint k (nearest the seed first) and each root's lower bound
//! on the seed distance of every candidate behind it, base plus the
//! weighted square of its copy nearest the seed (infinite without a copy
//! inside the limits). Pure function.
struct RootOrder {
    std::array<int, 2> order{0, 1};
    std::array<double, 2> bound{0.0, 0.0};
};
RootOrder nearerRootFirst(const SolverModel& m, const SolveOptions& o, int k, const std::array<double, 2>& roots,
                          int n, double base);

//! best lowered to the seed distance of the nearest of candidates
//! cs.q[first ..] whose copies lie inside the limits.
double nearestSoFar(const SolverModel& m, const SolveOptions& o, const CandidateSet& cs, int first, double best);

//! Weighted squared distance of a and b (no wrapping: the copies are
//! listed separately).
double seedDistance(const SolveOptions& o, const Joints& a, const Joints& b);

}  // namespace kin::solver
