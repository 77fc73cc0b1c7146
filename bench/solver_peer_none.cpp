//! Stand-ins for the solver comparison when the peer library is not installed.

#include "bench/solver_suites.hpp"

namespace kin::bench {

std::string solverPeerBenchName(SolverPeerOp, const SolverArmSet& arm) { return "peer/" + arm.name; }
void registerSolverPeerBenchmarks() {}
SolverPeerFigures solverPeerFigures(SolverPeerOp, const SolverArmSet&) { return {}; }

}  // namespace kin::bench
