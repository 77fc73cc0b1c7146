#pragma once
//! armkin: kinematics of six-joint serial arms. Include this header and link
//! armkin::armkin (CMake) or `pkg-config --libs armkin`.
//!
//! - armkin/types.hpp   vectors, frames, joint vectors, poses
//! - armkin/arm.hpp     the arm description and its validation
//! - armkin/status.hpp  the one status vocabulary
//! - armkin/model.hpp   an arm model shared by threads, a workspace per thread, solve
//! - armkin/engine.hpp  the two together, for one thread
//! - armkin/solve_result.hpp  options, limits and results of the solver
//! - armkin/solver_pool.hpp  threads kept for batch after batch of poses
//! - armkin/modes.hpp   the console program's own three inverse-kinematics modes
//! - armkin/reach.hpp   reach studies: targets at base placements, chunk by chunk
//! - armkin/version.hpp the package version
//!
//! The arm-file loaders, armkin/loaders.hpp, are not included here: they are
//! the separate library armkin::io (`pkg-config --static --libs armkin-io`).

#include "armkin/arm.hpp"
#include "armkin/engine.hpp"
#include "armkin/model.hpp"
#include "armkin/modes.hpp"
#include "armkin/reach.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/solver_pool.hpp"
#include "armkin/status.hpp"
#include "armkin/types.hpp"
#include "armkin/version.hpp"
