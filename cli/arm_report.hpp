#pragma once
//! What `armkin check` says about an arm: its classification and warnings.

#include <string>
#include <vector>

#include <armkin/engine.hpp>
#include <armkin/loaders.hpp>

namespace armkin::cli {

struct ArmReport {
    std::string letters;      //!< joint letters, e.g. "RRRRRR"
    bool wristMeets = false;  //!< the axes of joints 3, 4, 5 meet in one point
    Vec3 wristCentre;         //!< that point, world coordinates at zero
    double toolFromWrist = 0.0;
    SolverMethod method = SolverMethod::None;
    std::vector<std::string> warnings;
};

//! Classifies a loaded arm set up in engine, as the engine's solver sees it
//! (geometry at zero displacement).
ArmReport reportArm(const LoadedArm& arm, const Engine& engine);

}  // namespace armkin::cli
