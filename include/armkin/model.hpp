#pragma once
//! An arm model built once and shared by any number of threads, the small
//! working records each thread solves with, and the calls that take both.
//!
//!     armkin::Model model;
//!     if (!model.setUp(armkin::builtinArm())) return 1;   // once
//!     armkin::Workspace ws;                              // one per thread
//!     armkin::SolveResult all;
//!     armkin::solve(model, ws, target, armkin::SolveOptions{}, all);
//!
//! Threads: after setUp a Model is only read, so any number of threads may
//! use one at once (setUp itself must not run beside any other use). A
//! Workspace is written by every call that takes it: one per thread. No
//! call throws (apart from std::bad_alloc when constructing, and in
//! solveBatch), allocates (solveBatch excepted) or prints.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "armkin/arm.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! How the complete solver takes an arm apart (Model::solverMethod).
enum class SolverMethod {
    None,            //!< no arm set up
    SphericalWrist,  //!< closed form: joints 0..2 place the wrist centre, then the wrist
    ParallelAxes,    //!< closed form: axes 1, 2, 3 parallel, axes 4 and 5 meet
    SlidingArm,      //!< closed form: joints 0..2 slide, the wrist alone sets the rotation
    Elimination,     //!< no closed form: every branch from the elimination of the loop equations
    General,         //!< numeric starts, each polished; may miss branches (no usable elimination)
};

class Workspace;

//! One arm: its description, the kinematic model derived from it and what
//! the solver knows about it.
class Model {
public:
    //! A model with no arm; set one up before anything else.
    Model();
    ~Model();
    Model(Model&&) noexcept;
    Model& operator=(Model&&) noexcept;
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    //! Validates the description (see validate) and, when it passes, builds
    //! the model from it. On failure the model keeps the arm it had (or
    //! none) and the result says why.
    SetupResult setUp(const ArmDescription& arm) noexcept;
    //! Whether an arm has been set up.
    bool ready() const noexcept;
    //! The arm last set up (all zero before the first).
    const ArmDescription& arm() const noexcept;
    //! How the complete solver solves this arm.
    SolverMethod solverMethod() const noexcept;
    //! Where the axes of joints 3, 4 and 5 meet, world coordinates, every
    //! joint at zero. Writes out and returns true when they meet in one
    //! point (SphericalWrist); otherwise returns false, out unchanged.
    bool wristCentre(Vec3& out) const noexcept;

    //! Tool pose of joint vector q. Writes out; returns NoArm and leaves out
    //! alone when no arm is set up.
    Status forward(const Joints& q, Pose& out) const noexcept;
    //! Every frame of the arm at joint vector q, in world coordinates: the
    //! base, joint frames 0 to 5 after their motion, then the tool. Writes
    //! out; returns NoArm and leaves out alone when no arm is set up.
    Status frames(const Joints& q, std::array<Pose, 8>& out) const noexcept;
    //! The residuals of q against a target (as given), by forward
    //! kinematics. Writes out; returns NoArm (out unchanged) when no arm is
    //! set up.
    Status residuals(const Joints& q, const Pose& target, Solution& out) const noexcept;

    struct Impl;  //!< opaque: what the library keeps

private:
    friend struct ModelAccess;
    std::shared_ptr<Impl> impl_;
};

//! The working records of one thread: everything a solve writes. Made once
//! and reused across poses and models (it follows the model it is given).
class Workspace {
public:
    Workspace();
    //! Also prepares for model now rather than at its first use.
    explicit Workspace(const Model& model);
    ~Workspace();
    Workspace(Workspace&&) noexcept;
    Workspace& operator=(Workspace&&) noexcept;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    struct Impl;  //!< opaque: what the library keeps

private:
    friend struct ModelAccess;
    std::unique_ptr<Impl> impl_;
};

//! Every solution of target within options.limits, without duplicates:
//! each branch once (its copy nearest the seed), then with Copies::All the
//! further copies 2 pi apart inside the limits; each group in
//! options.order. Writes out and ws; returns out.count. With no solution
//! out.count is 0 and out.status says why (OutOfReach, NotConverged,
//! OutsideLimits, InvalidInput with out.reason, NoArm).
int solve(const Model& model, Workspace& ws, const Pose& target, const SolveOptions& options,
          SolveResult& out) noexcept;

//! The solution nearest seed (options' weighted distance) among all
//! branches and their copies within the limits, from any seed, near or
//! far. Writes out and returns Ok; otherwise leaves out alone and returns
//! why there is none (checkTarget gives an InvalidInput's reason).
Status nearest(const Model& model, Workspace& ws, const Pose& target, const Joints& seed,
               const SolveOptions& options, Solution& out) noexcept;

//! For small steps along a path: the tracking iteration from seed, polished
//! to the tolerances, and the nearest branch when that does not reach or
//! jumps. Same contract as nearest.
Status track(const Model& model, Workspace& ws, const Pose& target, const Joints& seed,
             const SolveOptions& options, Solution& out) noexcept;

//! solve for each of targets into out[i], on up to threads threads (0:
//! every core), each with a Workspace of its own; the results do not depend
//! on the thread count. Allocates the workspaces of its threads. Returns Ok
//! (each out[i].status says how its pose went); NoArm, or InvalidInput when
//! out is shorter than targets, with nothing written.
//! Starts its threads for this one call; to solve batch after batch, keep
//! them in an armkin::SolverPool (armkin/solver_pool.hpp).
Status solveBatch(const Model& model, std::span<const Pose> targets, const SolveOptions& options,
                  std::span<SolveResult> out, int threads = 0);

}  // namespace armkin
