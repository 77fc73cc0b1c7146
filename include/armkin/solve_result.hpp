#pragma once
//! What the complete inverse-kinematics solver takes and gives: options and
//! their default tolerances, joint limits, one solution with its residuals
//! and status, and the result of one pose.
//!
//! Plain value types: no member function computes anything, every type may
//! be copied freely and read from any thread.

#include <array>
#include <cstddef>
#include <span>

#include "armkin/types.hpp"

namespace armkin {

//! Most solutions one pose can return: every branch and, for turning joints
//! with limits wider than a turn, each copy 2 pi apart inside the limits.
inline constexpr int kMaxSolverSolutions = 64;

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

//! Why a pose has the solutions it has.
enum class SolveStatus : unsigned char {
    Solved,          //!< count >= 1
    OutOfReach,      //!< no candidate exists: the pose is beyond the arm
    NotConverged,    //!< candidates existed, none met the tolerances
    OutsideLimits,   //!< solutions existed, every one outside the joint limits
    InvalidInput,    //!< the target or the options are not finite / not usable
    UnsupportedArm,  //!< the model was not built (not six joints)
};

//! Per-joint limits. A bound that is not finite means no bound. A turning
//! joint with both bounds finite gets every copy q + 2 pi k inside them; a
//! turning joint without bounds gets the one copy nearest the seed.
struct JointLimits {
    std::array<double, 6> lower{-1e300, -1e300, -1e300, -1e300, -1e300, -1e300};
    std::array<double, 6> upper{1e300, 1e300, 1e300, 1e300, 1e300, 1e300};
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
};

//! One joint vector and how far its tool pose, recomputed by forward
//! kinematics, lies from the target.
struct Solution {
    Joints joints{};
    double positionError = 0.0;  //!< |tool position - target position|
    double rotationError = 0.0;  //!< angle of the rotation from tool to target axes, rad
    //! How it was obtained; the written modes of Engine::inverse report
    //! Converged.
    SolutionStatus status = SolutionStatus::Exact;
};

//! Every solution of one pose. Only solutions[0 .. count-1] are meaningful.
struct SolveResult {
    std::array<Solution, kMaxSolverSolutions> solutions{};
    int count = 0;
    SolveStatus status = SolveStatus::OutOfReach;
    bool truncated = false;  //!< more solutions existed than the array holds
};

}  // namespace armkin
