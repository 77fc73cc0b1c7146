#pragma once
//! The real test arms and their seeded poses, shared by the complete
//! solver's benchmarks and the instruction-count probe.

#include <string>
#include <vector>

#include "bench/bench_poses.hpp"
#include "solver/solver.hpp"

namespace kin::bench {

//! One arm and its seeded poses (kSetSize of them, uniform in [-pi, pi]^6).
struct SolverArmSet {
    std::string name;   //!< short label for the tables
    std::string title;  //!< the arm's geometry
    ArmDescription description;
    std::vector<Joints> typed;
    std::vector<Joints> near;  //!< typed moved by kNearOffset in every joint
    std::vector<Frame> targets;
};

//! Every arm of fixtures/solver_arms.hpp, built once on first use.
const std::vector<SolverArmSet>& solverArmSets();

}  // namespace kin::bench
