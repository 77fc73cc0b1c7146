#pragma once
// Arguments from Python to the library's types and back: numpy arrays of
// joints and poses, the solver's keyword options, file paths. Every check
// raises ValueError (or TypeError for data of the wrong kind) with a message
// that starts with the argument's name and says what is wrong.

#include <cstddef>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <armkin/armkin.hpp>

namespace armkin_py {

namespace py = pybind11;

using Array = py::array_t<double, py::array::c_style>;

//! What realArray checks beyond dtype and shape.
enum class Values { Finite, Any };

//! A float64 C-contiguous array of obj (a copy only when obj is not one
//! already) with the given trailing shape, behind one leading count when
//! batch. Raises TypeError for data that are not real numbers, ValueError
//! for a wrong shape and, with Values::Finite, a value that is not finite.
Array realArray(const py::handle& obj, const char* what, const std::vector<py::ssize_t>& shape,
                bool batch, Values values = Values::Finite);

armkin::Joints jointsOf(const double* d);
armkin::Joints jointsArg(const py::handle& obj, const char* what);

//! Why the row-major 4x4 transform m cannot be solved with options, or
//! nullptr with the pose written to out: its last row must be (0, 0, 0, 1),
//! then armkin::checkTarget's rules apply (finite, a proper rotation within
//! armkin::kRotationCheckTolerance unless options.orthonormalize). Static
//! text. Touches no Python object, so it runs without the GIL.
const char* poseFault(const double* m, const armkin::SolveOptions& options, armkin::Pose& out);

//! The pose of a (4,4) argument, checked by poseFault; ValueError
//! "what: <reason>" otherwise.
armkin::Pose poseArg(const py::handle& obj, const char* what, const armkin::SolveOptions& options);

//! The row-major 4x4 transform of p.
void writeTransform(const armkin::Pose& p, double* m);

//! The solver options the keywords copies ("nearest" or "all") and
//! orthonormalize ask for, on top of base.
armkin::SolveOptions solveOptions(armkin::SolveOptions base, const py::handle& copies,
                                  bool orthonormalize);

//! A file path from str, bytes or os.PathLike, as os.fsdecode gives it.
std::string pathArg(const py::handle& obj);

//! A new float64 array of the given shape (uninitialised).
Array newArray(std::vector<py::ssize_t> shape);

}  // namespace armkin_py
