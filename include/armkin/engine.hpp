#pragma once
//! The kinematics engine of one arm: forward kinematics and the three
//! inverse-kinematics modes.
//!
//!     armkin::Engine engine;
//!     if (!engine.setUp(armkin::builtinArm())) return 1;
//!     armkin::Pose target;
//!     engine.forward({0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, target);
//!     armkin::SolutionSet solutions;
//!     const int n = engine.inverse(target, armkin::Joints{}, armkin::IkMode::Ptp, solutions);
//!
//!     armkin::SolveResult all;                 // every branch, to 1e-10
//!     engine.solve(target, armkin::SolveOptions{}, all);
//!
//! Threads: an Engine holds all of its working records, so one Engine must
//! not be used by two threads at once (solveBatch excepted); separate
//! Engines share nothing and may run on separate threads. No call throws
//! (apart from std::bad_alloc when constructing or in solveBatch),
//! allocates after construction (solveBatch excepted), or prints. Calls
//! that can fail return a Status (armkin/status.hpp).

#include <array>
#include <memory>
#include <span>

#include "armkin/arm.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! Modes of Engine::inverse.
enum class IkMode {
    //! Joints 0..2 for the tool position, joints 3..5 kept at the neighbour's
    //! values: every arm solution that reaches the position (within 1e-5,
    //! summed over x, y, z) and lies in the joint ranges.
    PositionOnly,
    //! The one solution nearest the neighbour, by a Newton iteration that
    //! starts there: for tracking a path in small steps.
    Cp,
    //! Every solution the decomposition finds, up to eight, each polished
    //! by the same iteration.
    Ptp,
};

//! Room for every solution of one pose.
struct SolutionSet {
    static constexpr int capacity = 8;
    std::array<Solution, capacity> solutions{};
    int count = 0;  //!< solutions[0 .. count-1] are meaningful
};

//! How the complete solver takes an arm apart (Engine::solverMethod).
enum class SolverMethod {
    None,            //!< no arm set up
    SphericalWrist,  //!< closed form: joints 0..2 place the wrist centre, then the wrist
    ParallelAxes,    //!< closed form: axes 1, 2, 3 parallel, axes 4 and 5 meet
    General,         //!< numeric starts, each polished; may miss branches
};

class Engine {
public:
    //! An engine with no arm; set one up before anything else.
    Engine();
    ~Engine();
    Engine(Engine&&) noexcept;
    Engine& operator=(Engine&&) noexcept;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    //! Validates the description (see validate) and, when it passes, derives
    //! the arm model from it. On failure the engine keeps the arm it had (or
    //! none) and the result says why.
    SetupResult setUp(const ArmDescription& arm) noexcept;
    //! Whether an arm has been set up.
    bool ready() const noexcept;
    //! The arm last set up (all zero before the first).
    const ArmDescription& arm() const noexcept;
    //! How the complete solver solves this arm.
    SolverMethod solverMethod() const noexcept;
    //! Where the axes of joints 3, 4 and 5 meet, in world coordinates with
    //! every joint at zero. Writes out and returns true when they meet (the
    //! solver's SphericalWrist); returns false and leaves out alone when
    //! they do not or no arm is set up.
    bool wristCentre(Vec3& out) const noexcept;

    //! Tool pose of joint vector q. Writes out; returns NoArm and leaves out
    //! alone when no arm is set up.
    Status forward(const Joints& q, Pose& out) noexcept;

    //! Every frame of the arm at joint vector q, in world coordinates: the
    //! base, joint frames 0 to 5 after their motion, then the tool. Writes
    //! out; returns NoArm and leaves out alone when no arm is set up.
    Status frames(const Joints& q, std::array<Frame, 8>& out) noexcept;

    //! Solves a tool pose in the given mode. The neighbour is the start of
    //! the search (cp), the first guess of the wrist joints (ptp) or the
    //! source of joints 3..5 (positionOnly). Writes out.count solutions to
    //! the front of out and returns the count; 0 when there is none or no
    //! arm is set up. The rotation is read through its ZYZ angles, so it
    //! should be orthonormal.
    int inverse(const Pose& target, const Joints& neighbour, IkMode mode,
                SolutionSet& out) noexcept;

    //! The residuals of q against a target (as given), by forward
    //! kinematics. Returns NoArm (out unchanged) when no arm is set up.
    Status residuals(const Joints& q, const Pose& target, Solution& out) noexcept;

    // --- The complete solver ------------------------------------------------
    // Every branch of a pose, each polished to options' tolerances (1e-10 m
    // and 1e-10 rad by default) and carrying its residuals and status.

    //! Every solution of target within options.limits, without duplicates:
    //! each branch once (its copy nearest the seed), then with Copies::All
    //! the further copies 2 pi apart inside the limits; each group in
    //! options.order. Writes out; returns out.count. With no solution
    //! out.count is 0 and out.status says why (OutOfReach, NotConverged,
    //! OutsideLimits, InvalidInput with out.reason, NoArm).
    int solve(const Pose& target, const SolveOptions& options, SolveResult& out) noexcept;

    //! The solution nearest seed (options' weighted distance) among all
    //! branches and their copies within the limits, from any seed, near or
    //! far. Writes out and returns Ok; otherwise leaves out alone and
    //! returns why there is none (checkTarget gives an InvalidInput's reason).
    Status nearest(const Pose& target, const Joints& seed, const SolveOptions& options,
                   Solution& out) noexcept;

    //! For small steps along a path: the tracking iteration from seed,
    //! polished to the tolerances, and the nearest branch when that does not
    //! reach or jumps. Same contract as nearest.
    Status track(const Pose& target, const Joints& seed, const SolveOptions& options,
                 Solution& out) noexcept;

    //! solve for each of targets into out[i], on up to threads threads (0:
    //! every core), each with its own working records; the results do not
    //! depend on the thread count. May be called from several threads at
    //! once, also beside the other calls of this engine. Allocates the
    //! working records of its threads. Returns Ok (each out[i].status says
    //! how its pose went); NoArm, or InvalidInput when out is shorter than
    //! targets, with nothing written.
    Status solveBatch(std::span<const Pose> targets, const SolveOptions& options,
                      std::span<SolveResult> out, int threads = 0) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace armkin
