// armkin._armkin: the library's arms and engines for Python, with numpy
// arrays in and out. armkin/__init__.py re-exports it.

#include <algorithm>
#include <cctype>
#include <string>

#include <pybind11/pybind11.h>

#include <armkin/armkin.hpp>
#if ARMKIN_HAVE_IO
#include <armkin/loaders.hpp>
#endif

#include "arm.hpp"
#include "convert.hpp"
#if ARMKIN_HAVE_IO
#include "reach.hpp"
#endif

namespace py = pybind11;
using armkin_py::Arm;

namespace {

#if ARMKIN_HAVE_IO
Arm fromLoaded(const armkin::LoadResult& r) {
    if (!r) throw py::value_error(r.error.message());
    return Arm(r.arm.description, r.arm.limits, r.arm.name, r.arm.jointNames);
}

std::string linkName(const py::object& link, const char* what) {
    if (!py::isinstance<py::str>(link))
        throw py::type_error(std::string(what) + ": expected a link name (str) or None, got " +
                             std::string(py::str(py::type::of(link).attr("__name__"))));
    return link.cast<std::string>();
}

armkin::UrdfOptions urdfOptions(const py::object& base, const py::object& tip) {
    armkin::UrdfOptions o;
    if (!base.is_none()) o.baseLink = linkName(base, "base");
    if (!tip.is_none()) o.tipLink = linkName(tip, "tip");
    return o;
}

//! Whether armkin::loadArm reads path as URDF: it ends in .urdf or .xml,
//! in any case.
bool readAsUrdf(std::string path) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto endsWith = [&](const std::string& tail) {
        return path.size() >= tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
    };
    return endsWith(".urdf") || endsWith(".xml");
}
#endif

Arm fromDescription(const std::string& jtype, const py::handle& basePosition,
                    const py::handle& baseAxes, const py::handle& jointPositions,
                    const py::handle& jointAxes) {
    using armkin_py::realArray;
    if (jtype.size() != 6) throw py::value_error("joint_types: expected 6 letters (R or S)");
    armkin::ArmDescription d;
    for (int i = 0; i < 6; ++i) d.JTYPE[i] = jtype[i];
    const auto bp = realArray(basePosition, "base_position", {3}, false);
    const auto ba = realArray(baseAxes, "base_axes", {3, 3}, false);
    const auto jp = realArray(jointPositions, "joint_positions", {7, 3}, false);
    const auto ja = realArray(jointAxes, "joint_axes", {7, 3, 3}, false);
    auto axesOf = [](const double* m) {
        // Columns of the rotation matrix are the X, Y, Z axes.
        return armkin::Axes{{m[0], m[3], m[6]}, {m[1], m[4], m[7]}, {m[2], m[5], m[8]}};
    };
    d.armBasePos = {bp.data()[0], bp.data()[1], bp.data()[2]};
    d.armBaseAxes = axesOf(ba.data());
    for (int k = 0; k < 7; ++k) {
        const double* p = jp.data() + 3 * k;
        d.armJointPos[k] = {p[0], p[1], p[2]};
        d.armJointAxes[k] = axesOf(ja.data() + 9 * k);
    }
    return Arm(d, Arm::noLimits(), "", Arm::numberedJoints());
}

}  // namespace

PYBIND11_MODULE(_armkin, m) {
    m.doc() = "Kinematics of six-joint serial arms (the C++ library armkin).";
    m.attr("__version__") = armkin::version();
    m.attr("_status_tables") = armkin_py::statusTables();
    m.attr("MAX_SOLUTIONS") = armkin::kMaxSolverSolutions;
#if ARMKIN_HAVE_IO
    armkin_py::bindReach(m);
#endif

    py::class_<Arm>(m, "Arm", "A six-joint arm with its joint limits and its own engine.")
        .def_static(
            "builtin",
            [] { return Arm(armkin::builtinArm(), Arm::noLimits(), "builtin", Arm::numberedJoints()); },
            "The console program's arm: six turning joints standing straight up, no limits.")
#if ARMKIN_HAVE_IO
        .def_static(
            "from_urdf",
            [](const py::handle& path, const py::object& base, const py::object& tip) {
                return fromLoaded(armkin::loadUrdf(armkin_py::pathArg(path), urdfOptions(base, tip)));
            },
            py::arg("path"), py::arg("base") = py::none(), py::arg("tip") = py::none(),
            "An arm from a URDF file (path: str or os.PathLike); base and tip name the "
            "chain's end links when the tree does not fix them. Raises ValueError with the "
            "loader's message.")
        .def_static(
            "from_file",
            [](const py::handle& path, const py::object& base, const py::object& tip) {
                const std::string p = armkin_py::pathArg(path);
                if ((!base.is_none() || !tip.is_none()) && !readAsUrdf(p))
                    throw py::value_error("base, tip: " + p +
                                          " is read as a YAML arm file, which has no links to "
                                          "choose; only a .urdf or .xml file takes base and tip");
                return fromLoaded(armkin::loadArm(p, urdfOptions(base, tip)));
            },
            py::arg("path"), py::arg("base") = py::none(), py::arg("tip") = py::none(),
            "An arm from a file (path: str or os.PathLike), read by its extension: .urdf "
            "and .xml as URDF (base and tip as in from_urdf), anything else as a YAML arm "
            "file. Raises ValueError with the loader's message.")
#endif
        .def_static("from_description", &fromDescription, py::arg("joint_types"),
                    py::arg("base_position"), py::arg("base_axes"), py::arg("joint_positions"),
                    py::arg("joint_axes"),
                    "An arm from world frames at zero displacement: joint_types such as "
                    "'RRRRRR'; base_position (3,); base_axes (3,3) with the X, Y, Z axes as "
                    "columns; joint_positions (7,3) and joint_axes (7,3,3), entry 6 the tool. "
                    "No limits.")
        .def_property_readonly("joint_types", &Arm::jointTypes, "Joint letters: R turns, S slides.")
        .def_property_readonly("name", &Arm::name, "The arm's name from its file, or ''.")
        .def_property_readonly("joint_names", &Arm::jointNames,
                               "The six joint names from the arm's file, or 'joint0' .. 'joint5'.")
        .def_property("limits", &Arm::limits, &Arm::setLimits,
                      "Joint limits as a (6,2) array of (lower, upper), radians or length units; "
                      "+-inf for none. Reading gives a read-only copy (writing into it raises "
                      "ValueError rather than being lost); to change limits, assign a whole "
                      "array: lim = arm.limits.copy(); lim[0] = (-1, 1); arm.limits = lim.")
        .def("__repr__", &Arm::repr)
        .def("fk", &Arm::fk, py::arg("q"),
             "Forward kinematics: the tool pose of joint vector q (6,) as a 4x4 transform.")
        .def("frames", &Arm::frames, py::arg("q"),
             "Every frame at joint vector q as an (8,4,4) array: the base, joint frames 0 "
             "to 5 after their motion, and the tool.")
        .def("fk_batch", &Arm::fkBatch, py::arg("Q"),
             "Forward kinematics of an (N,6) array of joint vectors: (N,4,4).")
        .def("ik", &Arm::ik, py::arg("T"), py::arg("info") = false, py::kw_only(),
             py::arg("copies") = "nearest", py::arg("orthonormalize") = false,
             "Every solution of the 4x4 pose T within the limits, each to 1e-10 m and 1e-10 "
             "rad, as an (n,6) array: every branch once (its copy within the limits nearest zero), then with "
             "copies='all' every further copy 2 pi apart within the limits (at most "
             "MAX_SOLUTIONS; a RuntimeWarning says when more were cut). T's rotation must "
             "be proper within 1e-9, or orthonormalize=True solves for the nearest rotation "
             "(residuals still against T as given); otherwise ValueError says why. With "
             "info=True, the tuple (solutions, info): position_error and rotation_error "
             "arrays, status (per solution 'exact', 'converged' or 'singular'), reason "
             "('ok', 'out_of_reach', 'not_converged', 'outside_limits'), message (the "
             "reason in English), branches (the first this many solutions are distinct "
             "modulo 2 pi) and truncated.")
        .def("ik_nearest", &Arm::ikNearest, py::arg("T"), py::arg("seed"), py::arg("info") = false,
             py::kw_only(), py::arg("copies") = "nearest", py::arg("orthonormalize") = false,
             "The solution of T nearest seed among all branches and their copies within the "
             "limits, as a (6,) array, or None when there is none. With info=True, the tuple "
             "(q or None, info): reason and message as for ik and, with a solution, its "
             "position_error, rotation_error and status.")
        .def("ik_batch", &Arm::ikBatch, py::arg("Ts"), py::arg("threads") = 0,
             py::arg("info") = false, py::kw_only(), py::arg("copies") = "nearest",
             py::arg("orthonormalize") = false,
             "ik for an (N,4,4) array of poses, as an armkin.BatchSolutions: a sequence of N "
             "(n_i,6) arrays ((array, info) tuples with info=True) over flat arrays. Every "
             "pose is checked first (ValueError naming the first bad one, Ts[i]); then all are "
             "solved without the GIL on threads threads (0: every core). The results do not "
             "depend on the thread count.")
        .def(
            "ik_ptp",
            [](Arm& a, const py::handle& T, const py::handle& seed) {
                return a.inverse(T, seed, armkin::IkMode::Ptp);
            },
            py::arg("T"), py::arg("seed") = py::none(),
            "The console's PTP mode: every solution the decomposition finds from seed "
            "(zeros by default), as an (n,6) array.")
        .def(
            "ik_cp",
            [](Arm& a, const py::handle& T, const py::handle& seed) {
                return a.inverse(T, seed, armkin::IkMode::Cp);
            },
            py::arg("T"), py::arg("seed"),
            "The console's CP mode: the solution the iteration reaches from seed, as a "
            "(0,6) or (1,6) array.")
        .def(
            "ik_position",
            [](Arm& a, const py::handle& T, const py::handle& seed) {
                return a.inverse(T, seed, armkin::IkMode::PositionOnly);
            },
            py::arg("T"), py::arg("seed"),
            "The console's position-only mode: joints 0 to 2 for the position of T, joints "
            "3 to 5 from seed; an (n,6) array.");
}
