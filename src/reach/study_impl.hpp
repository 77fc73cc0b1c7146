#pragma once
//! What a ReachStudy and a ReachWorkspace hold, for the files of src/reach.

#include <armkin/reach.hpp>

#include <vector>

namespace armkin {

//! cos and sin of one angle, computed once.
struct Turn {
    double c = 1.0;
    double s = 0.0;
};

struct ReachStudy::Impl {
    Model model;
    std::vector<Pose> targets;
    std::vector<Placement> placements;
    std::vector<Turn> placementTurns;  //!< per placement: its turn
    std::vector<Turn> spinTurns;       //!< per spin k: the angle 2 pi k / spins
    ReachOptions options;
    SolveOptions solve;  //!< the solver's options drawn from options
};

struct ReachWorkspace::Impl {
    Workspace solver;
    SolveResult result;
};

//! placement^-1 target, t the placement's turn.
Pose placedTarget(const Pose& target, const Placement& p, const Turn& t) noexcept;

//! A pose's rotation turned about its own Z axis: R * Rz(t).
Rotation spunAboutZ(const Rotation& r, const Turn& t) noexcept;

}  // namespace armkin
