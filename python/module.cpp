// armkin._armkin: the library's arms and engines for Python, with numpy
// arrays in and out. armkin/__init__.py re-exports it.

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <armkin/armkin.hpp>
#if ARMKIN_HAVE_IO
#include <armkin/loaders.hpp>
#endif

namespace py = pybind11;

namespace {

using Array = py::array_t<double, py::array::c_style>;

//! A float64 C-contiguous copy of obj with the given trailing shape and any
//! leading count (batch) or none. Raises TypeError for data that are not
//! real numbers, ValueError for a wrong shape or a non-finite value.
Array realArray(const py::handle& obj, const char* what, std::vector<py::ssize_t> shape,
                bool batch) {
    py::array raw = py::array::ensure(obj);
    if (!raw) throw py::type_error(std::string(what) + ": expected an array of numbers");
    const char kind = raw.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        throw py::type_error(std::string(what) + ": expected real numbers, got dtype " +
                             std::string(py::str(raw.dtype())));
    Array a = Array::ensure(raw);
    const std::size_t lead = batch ? 1 : 0;
    bool good = static_cast<std::size_t>(a.ndim()) == shape.size() + lead;
    for (std::size_t i = 0; good && i < shape.size(); ++i) good = a.shape(i + lead) == shape[i];
    if (!good) {
        auto text = [](const std::vector<py::ssize_t>& dims, bool n) {
            std::string t = n ? "(N" : "(";
            for (std::size_t i = 0; i < dims.size(); ++i) {
                if (i > 0 || n) t += ", ";
                t += std::to_string(dims[i]);
            }
            t += dims.size() == 1 && !n ? ",)" : ")";
            return t;
        };
        std::vector<py::ssize_t> got(a.shape(), a.shape() + a.ndim());
        throw py::value_error(std::string(what) + ": expected shape " + text(shape, batch) +
                              ", got " + text(got, false));
    }
    const double* d = a.data();
    for (py::ssize_t i = 0; i < a.size(); ++i)
        if (!std::isfinite(d[i])) throw py::value_error(std::string(what) + ": values must be finite");
    return a;
}

armkin::Joints jointsOf(const double* d) {
    armkin::Joints q;
    for (int i = 0; i < 6; ++i) q[i] = d[i];
    return q;
}

armkin::Joints jointsArg(const py::handle& obj, const char* what) {
    return jointsOf(realArray(obj, what, {6}, false).data());
}

//! A 4x4 homogeneous transform (rows) to a pose; its rotation must be
//! orthonormal to 1e-6 and its last row (0, 0, 0, 1).
armkin::Pose poseOf(const double* m, const char* what) {
    armkin::Pose p;
    p.position = {m[3], m[7], m[11]};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) p.rotation[r][c] = m[4 * r + c];
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            double d = 0.0;
            for (int r = 0; r < 3; ++r) d += p.rotation[r][a] * p.rotation[r][b];
            if (std::fabs(d - (a == b ? 1.0 : 0.0)) > 1e-6)
                throw py::value_error(std::string(what) + ": the rotation part is not orthonormal");
        }
    if (m[12] != 0.0 || m[13] != 0.0 || m[14] != 0.0 || m[15] != 1.0)
        throw py::value_error(std::string(what) + ": the last row must be (0, 0, 0, 1)");
    return p;
}

void writeTransform(const armkin::Pose& p, double* m) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m[4 * r + c] = p.rotation[r][c];
    }
    m[3] = p.position.x;
    m[7] = p.position.y;
    m[11] = p.position.z;
    m[12] = m[13] = m[14] = 0.0;
    m[15] = 1.0;
}

Array jointsArray(const armkin::SolutionSet& s) {
    Array out({static_cast<py::ssize_t>(s.count), py::ssize_t{6}});
    double* d = out.mutable_data();
    for (int k = 0; k < s.count; ++k)
        for (int i = 0; i < 6; ++i) d[6 * k + i] = s.solutions[k].joints[i];
    return out;
}

//! An arm: its description, joint limits and one engine.
class Arm {
public:
    explicit Arm(const armkin::ArmDescription& d, const std::array<armkin::JointRange, 6>& limits,
                 std::string name)
        : description_(d), limits_(limits), name_(std::move(name)) {
        const armkin::SetupResult r = engine_.setUp(d);
        if (!r) throw py::value_error("bad arm description: " + armkin::describe(r));
    }

    //! No limits: every joint unbounded (a turning joint then gives the copy
    //! of each solution nearest the seed, within [-pi, pi] for a zero seed).
    static std::array<armkin::JointRange, 6> defaultLimits(const armkin::ArmDescription&) {
        std::array<armkin::JointRange, 6> l{};
        for (auto& r : l) r = {-HUGE_VAL, HUGE_VAL};
        return l;
    }

    std::string jointTypes() const { return std::string(description_.JTYPE.data(), 6); }
    const std::string& name() const { return name_; }

    Array limits() const {
        Array out({py::ssize_t{6}, py::ssize_t{2}});
        double* d = out.mutable_data();
        for (int i = 0; i < 6; ++i) {
            d[2 * i] = limits_[i].lower;
            d[2 * i + 1] = limits_[i].upper;
        }
        return out;
    }
    void setLimits(const py::handle& obj) {
        Array a = realArrayAllowInf(obj);
        const double* d = a.data();
        for (int i = 0; i < 6; ++i) {
            if (std::isnan(d[2 * i]) || std::isnan(d[2 * i + 1]) || d[2 * i] > d[2 * i + 1])
                throw py::value_error("limits: each row must be (lower, upper) with lower <= upper");
        }
        for (int i = 0; i < 6; ++i) limits_[i] = {d[2 * i], d[2 * i + 1]};
    }

    Array fk(const py::handle& q) {
        const armkin::Joints joints = jointsArg(q, "q");
        armkin::Pose p;
        engine_.forward(joints, p);
        Array out({py::ssize_t{4}, py::ssize_t{4}});
        writeTransform(p, out.mutable_data());
        return out;
    }

    Array frames(const py::handle& q) {
        const armkin::Joints joints = jointsArg(q, "q");
        std::array<armkin::Frame, 8> f;
        engine_.frames(joints, f);
        Array out({py::ssize_t{8}, py::ssize_t{4}, py::ssize_t{4}});
        double* m = out.mutable_data();
        for (int k = 0; k < 8; ++k, m += 16) {
            const armkin::Vec3* cols[4] = {&f[k].X, &f[k].Y, &f[k].Z, &f[k].O};
            for (int c = 0; c < 4; ++c) {
                m[c] = cols[c]->x;
                m[4 + c] = cols[c]->y;
                m[8 + c] = cols[c]->z;
                m[12 + c] = c == 3 ? 1.0 : 0.0;
            }
        }
        return out;
    }

    Array fkBatch(const py::handle& qs) {
        const Array Q = realArray(qs, "Q", {6}, true);
        const py::ssize_t n = Q.shape(0);
        Array out({n, py::ssize_t{4}, py::ssize_t{4}});
        const double* in = Q.data();
        double* o = out.mutable_data();
        for (py::ssize_t k = 0; k < n; ++k) {
            armkin::Pose p;
            engine_.forward(jointsOf(in + 6 * k), p);
            writeTransform(p, o + 16 * k);
        }
        return out;
    }

    Array written(const py::handle& T, const py::handle& seed, armkin::IkMode mode) {
        const armkin::Pose target = poseOf(realArray(T, "T", {4, 4}, false).data(), "T");
        const armkin::Joints s = seed.is_none() ? armkin::Joints{} : jointsArg(seed, "seed");
        armkin::SolutionSet found;
        engine_.inverse(target, s, mode, found);
        return jointsArray(found);
    }

    const armkin::ArmDescription& description() const { return description_; }

    armkin::SolveOptions options() const {
        armkin::SolveOptions o;
        o.limits = armkin::jointLimits(limits_);
        return o;
    }

    py::object ik(const py::handle& T, bool info) {
        const armkin::Pose target = poseOf(realArray(T, "T", {4, 4}, false).data(), "T");
        auto result = std::make_unique<armkin::SolveResult>();
        {
            py::gil_scoped_release release;
            engine_.solve(target, options(), *result);
        }
        return solutionsObject(*result, info);
    }

    py::object ikNearest(const py::handle& T, const py::handle& seed) {
        const armkin::Pose target = poseOf(realArray(T, "T", {4, 4}, false).data(), "T");
        const armkin::Joints s = jointsArg(seed, "seed");
        armkin::Solution out;
        if (engine_.nearest(target, s, options(), out) != armkin::Status::Ok) return py::none();
        Array q({py::ssize_t{6}});
        for (int i = 0; i < 6; ++i) q.mutable_data()[i] = out.joints[i];
        return q;
    }

    py::list ikBatch(const py::handle& Ts, int threads, bool info) {
        if (threads < 0) throw py::value_error("threads: must be 0 (every core) or more");
        const Array A = realArray(Ts, "Ts", {4, 4}, true);
        const py::ssize_t n = A.shape(0);
        std::vector<armkin::Pose> targets;
        targets.reserve(static_cast<std::size_t>(n));
        for (py::ssize_t k = 0; k < n; ++k) targets.push_back(poseOf(A.data() + 16 * k, "Ts"));
        std::vector<armkin::SolveResult> results(static_cast<std::size_t>(n));
        {
            py::gil_scoped_release release;
            engine_.solveBatch(targets, options(), results, threads);
        }
        py::list out;
        for (const armkin::SolveResult& r : results) out.append(solutionsObject(r, info));
        return out;
    }

private:
    //! The (n,6) joints, or with info the tuple (joints, details).
    static py::object solutionsObject(const armkin::SolveResult& r, bool info) {
        const auto n = static_cast<py::ssize_t>(r.count);
        Array q({n, py::ssize_t{6}});
        Array pe({n});
        Array re({n});
        py::list status;
        for (int k = 0; k < r.count; ++k) {
            for (int i = 0; i < 6; ++i) q.mutable_data()[6 * k + i] = r.solutions[k].joints[i];
            pe.mutable_data()[k] = r.solutions[k].positionError;
            re.mutable_data()[k] = r.solutions[k].rotationError;
            status.append(armkin::name(r.solutions[k].status));
        }
        if (!info) return q;
        py::dict d;
        d["position_error"] = pe;
        d["rotation_error"] = re;
        d["status"] = status;
        d["reason"] = armkin::name(r.status);
        return py::make_tuple(q, d);
    }

public:

private:
    static Array realArrayAllowInf(const py::handle& obj) {
        py::array raw = py::array::ensure(obj);
        if (!raw || (raw.dtype().kind() != 'f' && raw.dtype().kind() != 'i'))
            throw py::type_error("limits: expected an array of numbers");
        Array a = Array::ensure(raw);
        if (a.ndim() != 2 || a.shape(0) != 6 || a.shape(1) != 2)
            throw py::value_error("limits: expected shape (6, 2)");
        return a;
    }

    armkin::ArmDescription description_;
    std::array<armkin::JointRange, 6> limits_;
    std::string name_;
    armkin::Engine engine_;
};

#if ARMKIN_HAVE_IO
Arm fromLoaded(const armkin::LoadResult& r) {
    if (!r) throw py::value_error(r.error.message());
    return Arm(r.arm.description, r.arm.limits, r.arm.name);
}
#endif

Arm fromDescription(const std::string& jtype, const py::handle& basePosition,
                    const py::handle& baseAxes, const py::handle& jointPositions,
                    const py::handle& jointAxes) {
    if (jtype.size() != 6) throw py::value_error("joint_types: expected 6 letters (R or S)");
    armkin::ArmDescription d;
    for (int i = 0; i < 6; ++i) d.JTYPE[i] = jtype[i];
    const Array bp = realArray(basePosition, "base_position", {3}, false);
    const Array ba = realArray(baseAxes, "base_axes", {3, 3}, false);
    const Array jp = realArray(jointPositions, "joint_positions", {7, 3}, false);
    const Array ja = realArray(jointAxes, "joint_axes", {7, 3, 3}, false);
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
    return Arm(d, Arm::defaultLimits(d), "");
}

}  // namespace

PYBIND11_MODULE(_armkin, m) {
    m.doc() = "Kinematics of six-joint serial arms (the C++ library armkin).";
    m.attr("__version__") = armkin::version();

    py::class_<Arm>(m, "Arm", "A six-joint arm with its joint limits and its own engine.")
        .def_static(
            "builtin",
            [] { const auto d = armkin::builtinArm(); return Arm(d, Arm::defaultLimits(d), "builtin"); },
            "The console program's arm: six turning joints standing straight up.")
#if ARMKIN_HAVE_IO
        .def_static(
            "from_urdf",
            [](const std::string& path, const py::object& base, const py::object& tip) {
                armkin::UrdfOptions o;
                if (!base.is_none()) o.baseLink = base.cast<std::string>();
                if (!tip.is_none()) o.tipLink = tip.cast<std::string>();
                return fromLoaded(armkin::loadUrdf(path, o));
            },
            py::arg("path"), py::arg("base") = py::none(), py::arg("tip") = py::none(),
            "An arm from a URDF file; base and tip name the chain's end links when the "
            "tree does not fix them. Raises ValueError with the loader's message.")
        .def_static(
            "from_file", [](const std::string& path) { return fromLoaded(armkin::loadArmFile(path)); },
            py::arg("path"),
            "An arm from a YAML arm file. Raises ValueError with the loader's message.")
#endif
        .def_static("from_description", &fromDescription, py::arg("joint_types"),
                    py::arg("base_position"), py::arg("base_axes"), py::arg("joint_positions"),
                    py::arg("joint_axes"),
                    "An arm from world frames at zero displacement: joint_types such as "
                    "'RRRRRR'; base_position (3,); base_axes (3,3) with the X, Y, Z axes as "
                    "columns; joint_positions (7,3) and joint_axes (7,3,3), entry 6 the tool.")
        .def_property_readonly("joint_types", &Arm::jointTypes, "Joint letters: R turns, S slides.")
        .def_property_readonly("name", &Arm::name, "The arm's name from its file, or ''.")
        .def_property("limits", &Arm::limits, &Arm::setLimits,
                      "Joint limits as a (6,2) array of (lower, upper), read and set.")
        .def("fk", &Arm::fk, py::arg("q"),
             "Forward kinematics: the tool pose of joint vector q (6,) as a 4x4 transform.")
        .def("frames", &Arm::frames, py::arg("q"),
             "Every frame at joint vector q as an (8,4,4) array: the base, joint frames 0 "
             "to 5 after their motion, and the tool.")
        .def("fk_batch", &Arm::fkBatch, py::arg("Q"),
             "Forward kinematics of an (N,6) array of joint vectors: (N,4,4).")
        .def("ik", &Arm::ik, py::arg("T"), py::arg("info") = false,
             "Every solution of the 4x4 pose T within the limits, each to 1e-10 m and "
             "1e-10 rad, as an (n,6) array. With info=True, the tuple (solutions, details) "
             "where details holds position_error and rotation_error arrays, status (a list "
             "of 'exact', 'converged' or 'singular') and reason (why n is what it is: "
             "'solved', 'out of reach', 'not converged', 'outside limits').")
        .def("ik_nearest", &Arm::ikNearest, py::arg("T"), py::arg("seed"),
             "The solution of T nearest seed among all branches, as a (6,) array, or None.")
        .def("ik_batch", &Arm::ikBatch, py::arg("Ts"), py::arg("threads") = 0,
             py::arg("info") = false,
             "ik for an (N,4,4) array of poses: a list of N (n_i,6) arrays (tuples with "
             "info=True). Runs without the GIL on threads threads (0: every core); the "
             "results do not depend on the thread count.")
        .def(
            "ik_ptp",
            [](Arm& a, const py::handle& T, const py::handle& seed) {
                return a.written(T, seed, armkin::IkMode::Ptp);
            },
            py::arg("T"), py::arg("seed") = py::none(),
            "The console's PTP mode: every solution the decomposition finds from seed "
            "(zeros by default), as an (n,6) array.")
        .def(
            "ik_cp",
            [](Arm& a, const py::handle& T, const py::handle& seed) {
                return a.written(T, seed, armkin::IkMode::Cp);
            },
            py::arg("T"), py::arg("seed"),
            "The console's CP mode: the solution the iteration reaches from seed, as a "
            "(0,6) or (1,6) array.")
        .def(
            "ik_position",
            [](Arm& a, const py::handle& T, const py::handle& seed) {
                return a.written(T, seed, armkin::IkMode::PositionOnly);
            },
            py::arg("T"), py::arg("seed"),
            "The console's position-only mode: joints 0 to 2 for the position of T, joints "
            "3 to 5 from seed; an (n,6) array.");
}
