#pragma once
//! The arm description (world coordinates, every joint at zero) and the arm
//! model derived from it.

#include <array>
#include <span>
#include <string_view>

#include <armkin/arm.hpp>

#include "numeric/geometry_types.hpp"

namespace kin {

//! Joints the model has room for.
inline constexpr int kMaxJoints = 6;

using armkin::JointRange;

//! Where each joint frame sits at zero displacement, in world coordinates.
//! Entry kMaxJoints of the joint arrays (entry DOF) is the tool.
using armkin::ArmDescription;
static_assert(std::tuple_size_v<decltype(ArmDescription::armJointPos)> == kMaxJoints + 1);

//! The arm model every kinematic computation reads. Written only by
//! deriveLinks.
struct ArmModel {
    int DOF = 0;
    std::array<char, kMaxJoints> jointTypes{};  //!< no terminator
    Frame baseFrame{};
    //! Link frame k: joint frame k at zero displacement in joint frame k-1
    //! (k = 0: in the base frame).
    std::array<Frame, kMaxJoints> linkFrames{};
    Vec3 toolPoint;  //!< tool point in the last joint frame
    Vec3 toolAxisX;
    Vec3 toolAxisY;
    Vec3 toolAxisZ;  //!< stored, but forward kinematics forms X x Y itself
    std::array<JointRange, kMaxJoints> jointRange{};
};

//! Derives the model from a description of n joints plus the tool: each
//! frame in the coordinates of the one before, no normalisation. Writes the
//! base frame to baseOut and link frames 0..n-1 then the tool frame to
//! linksOut. Letters missing from jtype count as NUL (sliding).
//! Returns 1; returns 0 and writes nothing when n is outside 1..kMaxJoints
//! or an array is too short for n.
int deriveLinks(ArmModel& model, int n, std::string_view jtype, const Vec3& basePos,
                const Axes& baseAxes, std::span<const Vec3> jointPos,
                std::span<const Axes> jointAxes, Frame& baseOut, std::span<Frame> linksOut);

}  // namespace kin
