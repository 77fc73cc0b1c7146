#pragma once
//! The arm description: where every joint frame sits, in world coordinates,
//! with every joint at zero displacement, and how the set-up checks it.

#include <array>
#include <string>

#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! Letters of ArmDescription::JTYPE.
enum class JointType : char {
    Turning = 'R',  //!< turns its frame about the frame's own Z axis (radians)
    Sliding = 'S',  //!< slides its frame along the frame's own X axis (metres)
};

//! A six-joint arm at zero displacement. Entry 6 of the joint arrays is the
//! tool: its point and axes. Every set of axes must be orthonormal and
//! right-handed (within kAxisTolerance).
struct ArmDescription {
    //! One letter per joint ('R' or 'S'), then NUL. Joints 3 to 5 turn.
    std::array<char, 8> JTYPE{};
    Vec3 armBasePos;   //!< origin of the base frame
    Axes armBaseAxes;  //!< X, Y, Z axes of the base frame
    std::array<Vec3, 7> armJointPos{};   //!< joint frame origins, then the tool point
    std::array<Axes, 7> armJointAxes{};  //!< joint frame axes, then the tool axes
};

//! The console program's arm: six turning joints standing straight up, a
//! vertical waist, shoulder and elbow axes parallel to world Y at heights
//! 1.1 and 2.0, three wrist axes (Z, Y, Z) meeting at height 3.0 and the
//! tool point at 3.2. Thread-safe.
ArmDescription builtinArm() noexcept;

//! Why a description was refused.
enum class SetupError {
    None = 0,
    JointCount,          //!< JTYPE does not hold exactly 6 letters before its NUL
    UnknownJointType,    //!< a letter other than 'R' and 'S'
    SlidingWristJoint,   //!< joint 3, 4 or 5 is 'S': the wrist solver turns them
    NonFinite,           //!< a position or axis component is NaN or infinite
    AxisNotUnit,         //!< an axis whose length differs from 1 by more than kAxisTolerance
    AxesNotOrthogonal,   //!< two axes whose dot product exceeds kAxisTolerance
    AxesNotRightHanded,  //!< X x Y differs from Z by more than kAxisTolerance
};

//! Tolerance of the axis checks: | |v| - 1 |, |u . v| and |X x Y - Z|
//! (largest component) must each be at most this.
inline constexpr double kAxisTolerance = 1e-9;

//! Which entry of the description an error is about.
enum class DescriptionEntry {
    Letters = -2,  //!< JTYPE
    Base = -1,     //!< armBasePos / armBaseAxes
    Joint0 = 0, Joint1, Joint2, Joint3, Joint4, Joint5,
    Tool = 6,      //!< entry 6 of armJointPos / armJointAxes
};

//! Outcome of a set-up: status Ok, or InvalidArm with the error and the
//! entry it is about.
struct SetupResult {
    Status status = Status::Ok;
    SetupError error = SetupError::None;
    DescriptionEntry entry = DescriptionEntry::Letters;  //!< meaningful when error != None
    bool ok() const noexcept { return status == Status::Ok; }
    explicit operator bool() const noexcept { return ok(); }
};

//! A one-line English reason for an error, e.g. "the axes are not
//! orthogonal". Never null. Thread-safe.
const char* describe(SetupError error) noexcept;

//! The reason with the entry it is about, e.g. "joint 2: the axes are not
//! orthogonal (tolerance 1e-09)"; "ok" when there is no error. Thread-safe.
std::string describe(const SetupResult& result);

//! Checks a description without setting anything up: the first problem
//! found, in the order of SetupError, entries in the order letters, base,
//! joints 0..5, tool. Thread-safe.
SetupResult validate(const ArmDescription& arm) noexcept;

}  // namespace armkin
