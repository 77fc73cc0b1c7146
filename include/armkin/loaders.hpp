#pragma once
//! Arms from files: URDF, and the project's small YAML arm file (a standard
//! or modified DH table, or the description's own world frames at zero).
//! Part of the library armkin::io (CMake) / armkin-io (pkg-config), which
//! links liburdfdom and yaml-cpp; the core library armkin::armkin needs
//! neither.
//!
//! Every loader returns the arm or an error that names the file, the line
//! where the format has one, and the reason. Loaders never throw, never
//! print, never crash or hang on a hostile file, and read at most
//! kMaxArmFileBytes. They may be called from several threads at once.

#include <array>
#include <string>
#include <string_view>

#include "armkin/arm.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! Files longer than this are refused unread.
inline constexpr std::size_t kMaxArmFileBytes = 4u << 20;

//! An arm read from a file.
struct LoadedArm {
    ArmDescription description;  //!< passes validate()
    //! Per joint, from the file, in radians or metres. A joint the file
    //! gives no limits for (a URDF continuous joint, an arm-file joint
    //! without `limits`) is unbounded: (-inf, inf), not finite. The solver
    //! then gives an unbounded turning joint the copy nearest the seed.
    std::array<JointRange, 6> limits{};
    std::array<std::string, 6> jointNames;  //!< from the file, or "joint0".."joint5"
    std::string name;                       //!< robot or arm name, may be empty
};

//! Why a file could not be loaded.
struct LoadError {
    std::string file;    //!< as given to the loader
    int line = 0;        //!< 1-based; 0 when the format or the fault has no line
    std::string reason;  //!< one line, no trailing period
    //! "file:line: reason" (or "file: reason" without a line).
    std::string message() const;
};

//! The outcome of a load: status Ok and arm, or FileError (InvalidArm when
//! the file reads but describes an arm that fails validate()) and error.
struct LoadResult {
    LoadedArm arm;
    LoadError error;
    Status status = Status::Ok;
    bool ok() const noexcept { return status == Status::Ok; }
    explicit operator bool() const noexcept { return ok(); }
};

//! Options of the URDF loader.
struct UrdfOptions {
    //! The chain runs from baseLink to tipLink. Empty: found from the tree
    //! when it has exactly one root and one leaf; otherwise an error lists
    //! the candidates.
    std::string baseLink;
    std::string tipLink;
    //! The tool frame in the tip link's frame (identity: the tool is the tip
    //! link's frame).
    Pose toolOffset{};
};

//! Reads a URDF file. Fixed joints are folded in; revolute and continuous
//! joints turn, prismatic joints slide (joints 0 to 2 only). Exactly six
//! movable joints, none of them a mimic (coupled) joint, must lie between
//! base and tip. Turning joint frames have the joint axis as Z, sliding
//! ones as X. Limits come from the URDF; continuous joints are unbounded.
LoadResult loadUrdf(const std::string& path, const UrdfOptions& options = {});
//! The same from text in memory; sourceName stands for the file in errors.
LoadResult loadUrdfText(std::string_view xml, const std::string& sourceName,
                        const UrdfOptions& options = {});

//! Reads a YAML arm file (format: docs/arm-files.md). Its angles are
//! radians, or degrees where the file says `angles: degrees`.
LoadResult loadArmFile(const std::string& path);
//! The same from text in memory; sourceName stands for the file in errors.
LoadResult loadArmFileText(std::string_view yaml, const std::string& sourceName);

//! loadUrdf for a path ending in .urdf or .xml, loadArmFile otherwise.
LoadResult loadArm(const std::string& path, const UrdfOptions& urdfOptions = {});

}  // namespace armkin
