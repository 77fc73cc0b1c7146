#pragma once
//! The solver's value types are public (armkin/solve_result.hpp); the
//! solver's code names them in its own namespace.

#include <armkin/solve_result.hpp>

#include "numeric/geometry_types.hpp"

namespace kin {

using armkin::JointLimits;
using armkin::kDefaultDuplicateTolerance;
using armkin::kDefaultPolishIterations;
using armkin::kDefaultPositionTolerance;
using armkin::kDefaultRotationTolerance;
using armkin::kDefaultSingularTolerance;
using armkin::kMaxSolverSolutions;
using armkin::Solution;
using armkin::SolutionOrder;
using armkin::SolutionStatus;
using armkin::SolveOptions;
using armkin::SolveResult;
using armkin::Copies;
using armkin::Status;

}  // namespace kin
