#pragma once
//! armkin: kinematics of six-joint serial arms. Include this header and link
//! armkin::armkin (CMake) or `pkg-config --libs armkin`.
//!
//! - armkin/types.hpp   vectors, frames, joint vectors, poses
//! - armkin/arm.hpp     the arm description and its validation
//! - armkin/engine.hpp  forward and inverse kinematics of one arm
//! - armkin/solve_result.hpp  options, limits and results of the complete solver
//! - armkin/version.hpp the package version
//!
//! The arm-file loaders, armkin/loaders.hpp, are not included here: they are
//! the separate library armkin::io (`pkg-config --static --libs armkin-io`).

#include "armkin/arm.hpp"
#include "armkin/engine.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/types.hpp"
#include "armkin/version.hpp"
