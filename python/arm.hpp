#pragma once
// The Python Arm: an arm description with its joint limits, names and one
// engine. Solves run without the GIL; the engine and its result buffer are
// guarded by a mutex, so several Python threads may share one Arm.

#include <array>
#include <memory>
#include <mutex>
#include <string>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <armkin/armkin.hpp>

#include "convert.hpp"

namespace armkin_py {

class Arm {
public:
    //! Raises ValueError when the description does not set up.
    Arm(const armkin::ArmDescription& d, const std::array<armkin::JointRange, 6>& limits,
        std::string name, std::array<std::string, 6> jointNames);

    //! Every joint unbounded (a turning joint then gives the copy of each
    //! solution nearest the seed, within [-pi, pi] for a zero seed).
    static std::array<armkin::JointRange, 6> noLimits();
    //! "joint0" .. "joint5".
    static std::array<std::string, 6> numberedJoints();

    std::string jointTypes() const;
    const std::string& name() const { return name_; }
    py::list jointNames() const;
    std::string repr() const;

    //! A read-only (6, 2) copy; set them through setLimits.
    Array limits() const;
    void setLimits(const py::handle& obj);

    Array fk(const py::handle& q);
    Array frames(const py::handle& q);
    Array fkBatch(const py::handle& qs);
    //! One of the console's modes of armkin::inverse.
    Array inverse(const py::handle& T, const py::handle& seed, armkin::IkMode mode);

    py::object ik(const py::handle& T, bool info, const py::handle& copies, bool orthonormalize);
    py::object ikNearest(const py::handle& T, const py::handle& seed, bool info,
                         const py::handle& copies, bool orthonormalize);
    py::object ikBatch(const py::handle& Ts, int threads, bool info, const py::handle& copies,
                       bool orthonormalize);

private:
    //! The engine and the one SolveResult its solves write (about 74 KB, so
    //! kept rather than made per call), behind their lock.
    struct Solver {
        std::mutex lock;
        armkin::Engine engine;
        armkin::SolveResult result;
    };

    //! The engine's lock, waited for without the GIL when another thread
    //! holds it.
    std::unique_lock<std::mutex> lockEngine() const;
    armkin::SolveOptions options(const py::handle& copies, bool orthonormalize) const;

    armkin::ArmDescription description_;
    std::array<armkin::JointRange, 6> limits_;
    std::string name_;
    std::array<std::string, 6> jointNames_;
    std::unique_ptr<Solver> solver_;
};

//! The tables that turn the codes of ik_batch's arrays into names, from the
//! library: (status names, status descriptions, solution status names).
py::tuple statusTables();

}  // namespace armkin_py
