#pragma once
// Reach studies for Python: armkin._armkin.Study (a study read from a file
// or YAML text; its chunks; its bytes for pickling to a cluster's workers)
// and armkin._armkin.ReachFiles (the result files). armkin/reach.py runs
// them, locally or on a Dask cluster.

#include <pybind11/pybind11.h>

namespace armkin_py {

//! Adds Study and ReachFiles to the module.
void bindReach(pybind11::module_& m);

}  // namespace armkin_py
