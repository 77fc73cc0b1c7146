#pragma once
//! The complete solver on every real test arm, beside the peer library's
//! iterative solvers on the same arm and the same poses.

#include <functional>
#include <string>
#include <vector>

#include "bench/solver_sets.hpp"

namespace kin::bench {

//! Forward: the public Model::forward on the typed vectors.
enum class SolverOp { All, Nearest, Forward, Batch1, Batch2, BatchOnce2 };
//! Fk: the peer's recursive forward kinematics on the typed vectors.
enum class SolverPeerOp { LmaZero, NrJlNear, LmaNear, Fk };

std::string solverBenchName(SolverOp op, const SolverArmSet& arm);
std::string solverPeerBenchName(SolverPeerOp op, const SolverArmSet& arm);

void registerSolverBenchmarks();
//! Does nothing when the bench was built without the peer library.
void registerSolverPeerBenchmarks();

//! Fraction of poses the peer solver brings within kSuccessGap, and
//! whether its forward kinematics agrees with ours on every pose (1e-12).
struct SolverPeerFigures {
    double success = 0.0;
    bool fkAgrees = false;
};
SolverPeerFigures solverPeerFigures(SolverPeerOp op, const SolverArmSet& arm);

//! Poses out of reach beside reachable ones (bench/solver_reach_bench.cpp):
//! the built-in arm and the real-geometry arms.
void registerSolverReachBenchmarks();
void printSolverReachReport(const std::function<double(const std::string&)>& medianNs);

//! Prints the per-arm tables: times from medianNs (ns per call, negative
//! when not run) next to the peer's, then accuracy figures.
//! bestNs: the fastest repetition, for the batch gain of a machine left alone.
void printSolverReport(const std::function<double(const std::string&)>& medianNs,
                       const std::function<double(const std::string&)>& bestNs);

}  // namespace kin::bench
