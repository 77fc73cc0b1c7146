#pragma once
//! Reach studies from files (format: docs/reach.md): a YAML study naming an
//! arm file, the targets (poses, or surface points with normals whose tool
//! turn is free), the base placements (a list or a grid), limits, a seed
//! and the score. In the library armkin::io.
//!
//! Loaders never throw or print; errors name the file, the line where there
//! is one, and the reason. They may be called from several threads at once.

#include <string>
#include <string_view>

#include "armkin/loaders.hpp"
#include "armkin/reach.hpp"

namespace armkin {

//! A study read from a file, set up and ready to run.
struct LoadedStudy {
    LoadedArm arm;       //!< the arm file the study names
    ReachStudy study;    //!< set up with the arm, targets, placements, options
    std::string name;    //!< the study's `name`, or its file name without folder and suffix
};

//! The outcome of a study load: status Ok and study, or FileError (or
//! InvalidArm for the arm) and error.
struct StudyLoadResult {
    LoadedStudy study;
    LoadError error;
    Status status = Status::Ok;
    bool ok() const noexcept { return status == Status::Ok; }
    explicit operator bool() const noexcept { return ok(); }
};

//! Reads a study file; relative file names in it (the arm, target and
//! placement files) are taken from the study file's folder.
StudyLoadResult loadStudy(const std::string& path);
//! The same from YAML text in memory: sourceName stands for the file in
//! errors and gives the default name, relative names are taken from
//! folder ("" for the working folder).
StudyLoadResult loadStudyText(std::string_view yaml, const std::string& sourceName,
                              const std::string& folder);

}  // namespace armkin
