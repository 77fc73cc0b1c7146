#pragma once
//! The kinematics engine of one arm: forward kinematics and the three
//! inverse-kinematics modes.
//!
//!     armkin::Engine engine;
//!     if (!engine.setUp(armkin::builtinArm())) return 1;
//!     armkin::Pose target;
//!     engine.forward({0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, target);
//!     armkin::SolutionSet solutions;
//!     const int n = engine.inverse(target, armkin::Joints{}, armkin::IkMode::ptp, solutions);
//!
//! Threads: an Engine holds all of its working records, so one Engine must
//! not be used by two threads at once; separate Engines share nothing and
//! may run on separate threads. No call throws (apart from std::bad_alloc
//! when constructing), allocates after construction, or prints.

#include <array>
#include <memory>

#include "armkin/arm.hpp"
#include "armkin/types.hpp"

namespace armkin {

//! Modes of Engine::inverse.
enum class IkMode {
    //! Joints 0..2 for the tool position, joints 3..5 kept at the neighbour's
    //! values: every arm solution that reaches the position (within 1e-5,
    //! summed over x, y, z) and lies in the joint ranges.
    positionOnly,
    //! The one solution nearest the neighbour, by a Newton iteration that
    //! starts there: for tracking a path in small steps.
    cp,
    //! Every solution the decomposition finds, up to eight, each polished
    //! by the same iteration.
    ptp,
};

//! One inverse-kinematics solution and how far its tool pose, recomputed by
//! forward kinematics, lies from the target.
struct Solution {
    Joints joints{};
    double positionError = 0.0;  //!< Euclidean distance of the tool points (metres)
    double rotationError = 0.0;  //!< angle between the two orientations (radians)
};

//! Room for every solution of one pose.
struct SolutionSet {
    static constexpr int capacity = 8;
    std::array<Solution, capacity> solutions{};
    int count = 0;  //!< solutions[0 .. count-1] are meaningful
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

    //! Tool pose of joint vector q. Writes out; returns false and leaves out
    //! alone when no arm is set up.
    bool forward(const Joints& q, Pose& out) noexcept;

    //! Every frame of the arm at joint vector q, in world coordinates: the
    //! base, joint frames 0 to 5 after their motion, then the tool. Writes
    //! out; returns false and leaves out alone when no arm is set up.
    bool frames(const Joints& q, std::array<Frame, 8>& out) noexcept;

    //! Solves a tool pose in the given mode. The neighbour is the start of
    //! the search (cp), the first guess of the wrist joints (ptp) or the
    //! source of joints 3..5 (positionOnly). Writes out.count solutions to
    //! the front of out and returns the count; 0 when there is none or no
    //! arm is set up. The rotation is read through its ZYZ angles, so it
    //! should be orthonormal.
    int inverse(const Pose& target, const Joints& neighbour, IkMode mode,
                SolutionSet& out) noexcept;

    //! The residuals of q against a target, by forward kinematics. Returns
    //! false (out unchanged) when no arm is set up.
    bool residuals(const Joints& q, const Pose& target, Solution& out) noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace armkin
