#pragma once
//! armkin reach: a reach study on local threads, or handed to the Python
//! module armkin.reach to run on a Dask cluster (--scheduler).

#include "cli/options.hpp"

namespace armkin::cli {

//! Runs the study of o.study into o.out; returns the exit status.
int reach(const Options& o);

}  // namespace armkin::cli
