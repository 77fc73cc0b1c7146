#pragma once
//! What the page's file readers hand to the library: the values an arm file
//! holds (a DH table, the world frames at zero, or a URDF chain), already
//! read from the text in JavaScript. describeArm turns them into the arm with
//! the loaders' own geometry (DH tables, URDF frames, joint axes), so the
//! page's arms are the native loaders' arms.

#include <array>
#include <string>
#include <vector>

#include <armkin/arm.hpp>
#include <armkin/loaders.hpp>

#include "arm/dh_table.hpp"

namespace armkin::web {

//! Which of the file forms the values come from.
enum class ArmForm {
    Builtin,    //!< the console's arm, no limits
    Frames,     //!< the description's own world frames at zero (YAML `frames`)
    DhTable,    //!< a standard or modified DH table (YAML `dh`)
    UrdfChain,  //!< the URDF joints from base link to tip link
};

//! URDF joint types; an arm's chain holds all but Unsupported (floating,
//! planar, or a name the reader did not know).
enum class UrdfJointKind { Fixed, Revolute, Continuous, Prismatic, Unsupported };

//! One URDF joint of the chain, as the file writes it.
struct UrdfJointInput {
    std::string name;
    UrdfJointKind kind = UrdfJointKind::Fixed;
    Vec3 xyz;                //!< <origin xyz>
    Vec3 rpy;                //!< <origin rpy>, radians
    Vec3 axis{1.0, 0.0, 0.0};  //!< <axis xyz>, any length
    bool hasLimits = false;  //!< <limit lower upper> given
    JointRange limits{};
};

//! A DH table's base or tool: translation, then R = Rz(yaw) Ry(pitch) Rx(roll).
struct XyzRpy {
    Vec3 xyz;
    Vec3 rpy;
};

struct ArmInput {
    ArmForm form = ArmForm::Builtin;
    std::string name;
    //! Frames: the description as written (the reader checks nothing of its geometry).
    ArmDescription frames{};
    //! DhTable: convention and rows (angles already in radians), base and tool.
    kin::DhConvention convention = kin::DhConvention::Standard;
    std::array<kin::DhRow, 6> rows{};
    XyzRpy base{};
    XyzRpy tool{};
    //! Frames and DhTable: per joint, bounds or none (unbounded).
    std::array<bool, 6> hasLimits{};
    std::array<JointRange, 6> limits{};
    std::array<std::string, 6> jointNames;
    //! UrdfChain: every joint from base to tip, fixed ones included.
    std::vector<UrdfJointInput> chain;
    std::string baseLink;
    std::string tipLink;
};

//! Builds the arm of the values: writes arm and returns true, or writes a
//! one-line reason (the loaders' wording) and returns false. Never throws
//! apart from std::bad_alloc. Thread-safe.
bool describeArm(const ArmInput& input, LoadedArm& arm, std::string& reason);

}  // namespace armkin::web
