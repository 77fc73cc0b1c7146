#include "arm.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "batch.hpp"


namespace armkin_py {

namespace {

//! A RuntimeWarning at the caller's line; raises when warnings are errors.
void warn(const std::string& message) {
    if (PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 1) != 0) throw py::error_already_set();
}

std::string truncationWarning(const char* call, const std::string& which) {
    return std::string(call) + ": " + which + " more copies 2 pi apart within the limits than the " +
           std::to_string(armkin::kMaxSolverSolutions) +
           " listed; every branch is listed (info[\"branches\"]), the further copies are cut";
}

const char* methodText(armkin::SolverMethod m) {
    switch (m) {
    case armkin::SolverMethod::SphericalWrist: return "spherical wrist";
    case armkin::SolverMethod::ParallelAxes: return "three parallel axes";
    case armkin::SolverMethod::SlidingArm: return "three slides and a wrist";
    case armkin::SolverMethod::Elimination: return "elimination";
    case armkin::SolverMethod::General: return "general (numeric starts)";
    case armkin::SolverMethod::None: break;
    }
    return "no solver";
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

template <class T>
py::array_t<T> newColumn(std::size_t n) {
    return py::array_t<T>(static_cast<py::ssize_t>(n));
}

//! An array over the column's memory, which it then owns.
template <class T>
py::array_t<T> handOver(Column<T>& column, std::vector<py::ssize_t> shape) {
    T* raw = column.release();
    std::unique_ptr<T, void (*)(void*)> held(raw, &std::free);
    const py::capsule owner(raw, [](void* p) { std::free(p); });
    held.release();
    return py::array_t<T>(std::move(shape), raw, owner);
}

}  // namespace

Arm::Arm(const armkin::ArmDescription& d, const std::array<armkin::JointRange, 6>& limits,
         std::string name, std::array<std::string, 6> jointNames)
    : description_(d),
      limits_(limits),
      name_(std::move(name)),
      jointNames_(std::move(jointNames)),
      solver_(std::make_unique<Solver>()) {
    const armkin::SetupResult r = solver_->engine.setUp(d);
    if (!r) throw py::value_error("bad arm description: " + armkin::describe(r));
}

std::array<armkin::JointRange, 6> Arm::noLimits() {
    std::array<armkin::JointRange, 6> l{};
    for (auto& r : l) r = {-HUGE_VAL, HUGE_VAL};
    return l;
}

std::array<std::string, 6> Arm::numberedJoints() {
    std::array<std::string, 6> n;
    for (int i = 0; i < 6; ++i) n[i] = "joint" + std::to_string(i);
    return n;
}

std::string Arm::jointTypes() const { return std::string(description_.JTYPE.data(), 6); }

py::list Arm::jointNames() const {
    py::list out;
    for (const std::string& n : jointNames_) out.append(n);
    return out;
}

std::string Arm::repr() const {
    std::string limits;
    bool none = true, same = true;
    for (const armkin::JointRange& r : limits_) {
        none = none && std::isinf(r.lower) && std::isinf(r.upper);
        same = same && r.lower == limits_[0].lower && r.upper == limits_[0].upper;
    }
    auto range = [](const armkin::JointRange& r) {
        return "[" + number(r.lower) + ", " + number(r.upper) + "]";
    };
    if (none) {
        limits = "no limits";
    } else if (same) {
        limits = "limits " + range(limits_[0]) + " on every joint";
    } else {
        limits = "limits";
        for (const armkin::JointRange& r : limits_) limits += " " + range(r);
    }
    return "<armkin.Arm '" + name_ + "' " + jointTypes() + ", " +
           methodText(solver_->engine.solverMethod()) + ", " + limits + ">";
}

Array Arm::limits() const {
    Array out = newArray({6, 2});
    double* d = out.mutable_data();
    for (int i = 0; i < 6; ++i) {
        d[2 * i] = limits_[i].lower;
        d[2 * i + 1] = limits_[i].upper;
    }
    // A copy: writing into it would change nothing, so it refuses writes.
    out.attr("setflags")(py::arg("write") = false);
    return out;
}

void Arm::setLimits(const py::handle& obj) {
    const Array a = realArray(obj, "limits", {6, 2}, false, Values::Any);
    const double* d = a.data();
    for (int i = 0; i < 6; ++i) {
        if (!(d[2 * i] <= d[2 * i + 1]))
            throw py::value_error("limits: joint " + std::to_string(i) + " has (" + number(d[2 * i]) +
                                  ", " + number(d[2 * i + 1]) +
                                  "); each row must be (lower, upper) with lower <= upper, no NaN");
    }
    for (int i = 0; i < 6; ++i) limits_[i] = {d[2 * i], d[2 * i + 1]};
}

std::unique_lock<std::mutex> Arm::lockEngine() const {
    std::unique_lock<std::mutex> held(solver_->lock, std::try_to_lock);
    if (!held.owns_lock()) {
        py::gil_scoped_release release;
        held.lock();
    }
    return held;
}

armkin::SolveOptions Arm::options(const py::handle& copies, bool orthonormalize) const {
    armkin::SolveOptions o;
    o.limits = armkin::jointLimits(limits_);
    return solveOptions(o, copies, orthonormalize);
}

Array Arm::fk(const py::handle& q) {
    const armkin::Joints joints = jointsArg(q, "q");
    armkin::Pose p;
    {
        const auto held = lockEngine();
        solver_->engine.forward(joints, p);
    }
    Array out = newArray({4, 4});
    writeTransform(p, out.mutable_data());
    return out;
}

Array Arm::frames(const py::handle& q) {
    const armkin::Joints joints = jointsArg(q, "q");
    std::array<armkin::Pose, 8> f;
    {
        const auto held = lockEngine();
        solver_->engine.frames(joints, f);
    }
    Array out = newArray({8, 4, 4});
    double* m = out.mutable_data();
    for (int k = 0; k < 8; ++k, m += 16) writeTransform(f[k], m);
    return out;
}

Array Arm::fkBatch(const py::handle& qs) {
    const Array Q = realArray(qs, "Q", {6}, true);
    const py::ssize_t n = Q.shape(0);
    Array out = newArray({n, 4, 4});
    const double* in = Q.data();
    double* o = out.mutable_data();
    py::gil_scoped_release release;
    const std::lock_guard<std::mutex> held(solver_->lock);
    for (py::ssize_t k = 0; k < n; ++k) {
        armkin::Pose p;
        solver_->engine.forward(jointsOf(in + 6 * k), p);
        writeTransform(p, o + 16 * k);
    }
    return out;
}

Array Arm::inverse(const py::handle& T, const py::handle& seed, armkin::IkMode mode) {
    const armkin::Pose target = poseArg(T, "T", armkin::SolveOptions{});
    const armkin::Joints s = seed.is_none() ? armkin::Joints{} : jointsArg(seed, "seed");
    armkin::SolutionSet found;
    {
        const auto held = lockEngine();
        armkin::inverse(solver_->engine, target, s, mode, found);
    }
    Array out = newArray({found.count, 6});
    double* d = out.mutable_data();
    for (int k = 0; k < found.count; ++k)
        for (int i = 0; i < 6; ++i) d[6 * k + i] = found.solutions[k].joints[i];
    return out;
}

py::object Arm::ik(const py::handle& T, bool info, const py::handle& copies, bool orthonormalize) {
    const armkin::SolveOptions o = options(copies, orthonormalize);
    const armkin::Pose target = poseArg(T, "T", o);
    std::unique_lock<std::mutex> held;
    {
        py::gil_scoped_release release;
        held = std::unique_lock<std::mutex>(solver_->lock);
        solver_->engine.solve(target, o, solver_->result);
    }
    const armkin::SolveResult& r = solver_->result;
    if (r.status == armkin::Status::InvalidInput)
        throw py::value_error(std::string("T: ") + armkin::describe(r));
    const py::ssize_t n = r.count;
    Array q = newArray({n, 6});
    Array pe = newArray({n});
    Array re = newArray({n});
    py::list status;
    for (int k = 0; k < r.count; ++k) {
        const armkin::Solution& s = r.solutions[k];
        for (int i = 0; i < 6; ++i) q.mutable_data()[6 * k + i] = s.joints[i];
        pe.mutable_data()[k] = s.positionError;
        re.mutable_data()[k] = s.rotationError;
        status.append(armkin::name(s.status));
    }
    py::dict d;
    d["position_error"] = pe;
    d["rotation_error"] = re;
    d["status"] = status;
    d["reason"] = armkin::name(r.status);
    d["message"] = armkin::describe(r);
    d["truncated"] = r.truncated;
    d["branches"] = r.branches;
    const bool truncated = r.truncated;
    held.unlock();
    if (truncated) warn(truncationWarning("ik", "the pose has"));
    if (!info) return q;
    return py::make_tuple(q, d);
}

py::object Arm::ikNearest(const py::handle& T, const py::handle& seed, bool info,
                          const py::handle& copies, bool orthonormalize) {
    const armkin::SolveOptions o = options(copies, orthonormalize);
    const armkin::Pose target = poseArg(T, "T", o);
    const armkin::Joints s = jointsArg(seed, "seed");
    armkin::Solution found;
    armkin::Status status;
    {
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> held(solver_->lock);
        status = solver_->engine.nearest(target, s, o, found);
    }
    if (status == armkin::Status::InvalidInput)
        throw py::value_error(std::string("T: ") + armkin::describe(status));
    py::object q = py::none();
    py::dict d;
    d["reason"] = armkin::name(status);
    d["message"] = armkin::describe(status);
    if (status == armkin::Status::Ok) {
        Array a = newArray({6});
        for (int i = 0; i < 6; ++i) a.mutable_data()[i] = found.joints[i];
        q = std::move(a);
        d["position_error"] = found.positionError;
        d["rotation_error"] = found.rotationError;
        d["status"] = armkin::name(found.status);
    }
    if (!info) return q;
    return py::make_tuple(q, d);
}

py::object Arm::ikBatch(const py::handle& Ts, int threads, bool info, const py::handle& copies,
                        bool orthonormalize) {
    if (threads < 0) throw py::value_error("threads: must be 0 (every core) or more");
    const armkin::SolveOptions o = options(copies, orthonormalize);
    // Values that are not finite reach the pose check, which names the pose.
    const Array A = realArray(Ts, "Ts", {4, 4}, true, Values::Any);
    const auto n = static_cast<std::size_t>(A.shape(0));
    auto offsets = newColumn<std::int64_t>(n + 1);
    auto reasons = newColumn<std::uint8_t>(n);
    auto branches = newColumn<std::int32_t>(n);
    auto truncated = newColumn<bool>(n);
    const PoseColumns columns{offsets.mutable_data(), reasons.mutable_data(), branches.mutable_data(),
                              truncated.mutable_data()};
    BatchSolver solver(description_, o, threads);
    const double* poses = A.data();
    const char* reason = nullptr;
    std::ptrdiff_t bad = -1;
    bool solved = false;
    {
        py::gil_scoped_release release;
        bad = solver.firstFault(poses, n, &reason);
        if (bad < 0) solved = solver.solve(poses, n, columns);
    }
    if (bad >= 0) throw py::value_error("Ts[" + std::to_string(bad) + "]: " + reason);
    if (!solved)
        throw py::value_error("Ts[" + std::to_string(solver.faultIndex()) + "]: " + solver.faultReason() +
                              " (the array changed while it was being solved)");
    const auto m = static_cast<py::ssize_t>(solver.statuses.size());
    py::object result = py::module_::import("armkin").attr("BatchSolutions")(
        handOver(solver.joints, {m, 6}), offsets, handOver(solver.positionError, {m}),
        handOver(solver.rotationError, {m}), handOver(solver.statuses, {m}), reasons, branches,
        truncated, py::arg("info") = info);
    if (solver.truncatedPoses() > 0)
        warn(truncationWarning("ik_batch", std::to_string(solver.truncatedPoses()) + " of " +
                                                std::to_string(n) + " poses have"));
    return result;
}

py::tuple statusTables() {
    // The library's names, in code order: a code past the last one is
    // named "unknown".
    py::list names, messages, solutionNames;
    for (int c = 0; c < 256; ++c) {
        const auto s = static_cast<armkin::Status>(c);
        if (std::string(armkin::name(s)) == "unknown") break;
        names.append(armkin::name(s));
        messages.append(armkin::describe(s));
    }
    for (int c = 0; c < 256; ++c) {
        const auto s = static_cast<armkin::SolutionStatus>(c);
        if (std::string(armkin::name(s)) == "unknown") break;
        solutionNames.append(armkin::name(s));
    }
    return py::make_tuple(py::tuple(names), py::tuple(messages), py::tuple(solutionNames));
}

}  // namespace armkin_py
