#pragma once
//! What the complete inverse-kinematics solver takes and gives: options and
//! their default tolerances, joint limits, one solution with its residuals
//! and status, and the result of one pose.
//!
//! Plain value types: every type may be copied freely and read from any
//! thread. The free functions are thread-safe.

#include <array>
#include <cstddef>
#include <limits>

#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! Most solutions one pose can return: every copy 2 pi apart of every
//! branch for limits of +-2 pi on all six joints (16 branches x 2^6). Every
//! branch is listed before any second copy, so a cut never loses a branch.
inline constexpr int kMaxSolverSolutions = 1024;

//! A target rotation must be a proper rotation to this: every entry of
//! R^T R - I at most this in magnitude, and det R > 0. Anything farther is
//! refused as InvalidInput unless SolveOptions::orthonormalize asks for the
//! nearest rotation instead.
inline constexpr double kRotationCheckTolerance = 1e-9;

//! Default acceptance: tool position within 1e-10 (length units of the arm)
//! and tool orientation within 1e-10 rad of the target.
inline constexpr double kDefaultPositionTolerance = 1e-10;
inline constexpr double kDefaultRotationTolerance = 1e-10;
//! A solution is flagged singular when the Jacobian's volume ratio
//! |det J| / (product of its column norms) falls below this.
inline constexpr double kDefaultSingularTolerance = 1e-6;
//! Two solutions closer than this in every joint (turning joints modulo
//! 2 pi unless limits make the copies distinct) are one.
inline constexpr double kDefaultDuplicateTolerance = 1e-7;
//! Iterations of the six-joint polish per candidate.
inline constexpr int kDefaultPolishIterations = 40;

//! How a returned solution was obtained.
enum class SolutionStatus : unsigned char {
    Exact,      //!< the closed form met the tolerances without any polish
    Converged,  //!< the closed form or a numeric start, polished to the tolerances
    Singular,   //!< meets the tolerances, but lies on a singularity: it stands
                //!< for a continuous family of solutions
};

//! "exact", "converged" or "singular". Never null. Thread-safe.
const char* name(SolutionStatus status) noexcept;

//! Per-joint limits. A bound that is not finite means no bound (the
//! default). A turning joint without bounds takes the copy nearest the seed.
struct JointLimits {
    static constexpr double kNone = std::numeric_limits<double>::infinity();
    std::array<double, 6> lower{-kNone, -kNone, -kNone, -kNone, -kNone, -kNone};
    std::array<double, 6> upper{kNone, kNone, kNone, kNone, kNone, kNone};
};

//! Limits from per-joint ranges (an arm file's LoadedArm::limits).
inline JointLimits jointLimits(const std::array<JointRange, 6>& ranges) {
    JointLimits l;
    for (int i = 0; i < 6; ++i) {
        l.lower[i] = ranges[i].lower;
        l.upper[i] = ranges[i].upper;
    }
    return l;
}

//! Order of the returned solutions.
enum class SolutionOrder : unsigned char {
    Branch,          //!< branch order of the closed form (shoulder, elbow, wrist)
    SeedDistance,    //!< ascending weighted distance to SolveOptions::seed
};

//! Which copies 2 pi apart of a turning joint are listed.
enum class Copies : unsigned char {
    Nearest,  //!< each branch once: its copy inside the limits nearest the seed
    All,      //!< every copy inside the limits, after every branch's nearest one
};

struct SolveOptions {
    double positionTolerance = kDefaultPositionTolerance;
    double rotationTolerance = kDefaultRotationTolerance;
    double singularTolerance = kDefaultSingularTolerance;
    double duplicateTolerance = kDefaultDuplicateTolerance;
    int polishIterations = kDefaultPolishIterations;
    JointLimits limits{};
    SolutionOrder order = SolutionOrder::Branch;
    //! Reference joints: the copy chosen for unbounded turning joints, the
    //! value given to a free joint of a singular family, and the point the
    //! SeedDistance order and solveNearest measure from.
    Joints seed{};
    //! Weights of the squared joint differences in the seed distance.
    std::array<double, 6> weights{1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    Copies copies = Copies::Nearest;
    //! Solve for the proper rotation nearest the target's (in the Frobenius
    //! norm) instead of refusing a rotation beyond kRotationCheckTolerance.
    //! Residuals are still measured against the rotation as given.
    bool orthonormalize = false;
};

//! One joint vector and how far its tool pose, recomputed by forward
//! kinematics, lies from the target.
struct Solution {
    Joints joints{};
    double positionError = 0.0;  //!< |tool position - target position|
    double rotationError = 0.0;  //!< angle of the rotation from tool to target axes, rad
    //! How it was obtained; the console's modes of armkin::inverse report
    //! Converged.
    SolutionStatus status = SolutionStatus::Exact;
};

//! Every solution of one pose. Only solutions[0 .. count-1] are meaningful.
//! Residuals are measured against the target as given.
struct SolveResult {
    std::array<Solution, kMaxSolverSolutions> solutions{};
    int count = 0;
    int branches = 0;  //!< distinct solutions modulo 2 pi: solutions[0 .. branches-1]
    Status status = Status::OutOfReach;  //!< Ok when count >= 1, otherwise why not
    //! More copies existed than the array holds (Copies::All only; every
    //! branch is still listed).
    bool truncated = false;
    //! Why, in one line, when status is InvalidInput; otherwise "". Static
    //! text, never null.
    const char* reason = "";
    bool ok() const noexcept { return status == Status::Ok; }
};

//! The result's reason when it has one, otherwise describe(status).
const char* describe(const SolveResult& result) noexcept;

//! Whether target and options can be solved: Ok, or InvalidInput with a
//! one-line static reason written to *reason (when reason is not null):
//! a value that is not finite, a rotation that is not proper within
//! kRotationCheckTolerance (unless options.orthonormalize), a tolerance,
//! weight or limit out of range. Thread-safe.
Status checkTarget(const Pose& target, const SolveOptions& options,
                   const char** reason = nullptr) noexcept;

//! The proper rotation nearest r in the Frobenius norm, written to out.
//! Returns InvalidInput (out unchanged) when r is not finite or has no
//! unique nearest rotation. Thread-safe.
Status nearestRotation(const Rotation& r, Rotation& out) noexcept;

}  // namespace armkin
