#pragma once
//! The engine's absolute tolerance for degenerate cases.

namespace kin {

//! A coefficient, a sum of absolute values or a sum of squares at most this
//! counts as zero in every degeneracy test of the equation, case and wrist
//! solvers.
inline constexpr double ikEps = 1e-8;

}  // namespace kin
