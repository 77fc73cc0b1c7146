#pragma once
//! The simple way in: one arm and one thread's working records together.
//!
//!     armkin::Engine engine;
//!     if (!engine.setUp(armkin::builtinArm())) return 1;
//!     armkin::Pose target;
//!     engine.forward({0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, target);
//!     armkin::SolveResult all;                  // every branch, to 1e-10
//!     engine.solve(target, armkin::SolveOptions{}, all);
//!
//! An Engine is a Model and a Workspace (armkin/model.hpp): to solve one
//! arm on several threads, share one Model and give each thread a
//! Workspace. Threads: one Engine must not be used by two threads at once
//! (solveBatch and the const calls excepted); separate Engines share
//! nothing. No call throws (apart from std::bad_alloc when constructing
//! and in solveBatch), allocates after construction (solveBatch excepted)
//! or prints. Calls that can fail return a Status (armkin/status.hpp).

#include <array>
#include <span>

#include "armkin/arm.hpp"
#include "armkin/model.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

class Engine {
public:
    //! See Model::setUp.
    SetupResult setUp(const ArmDescription& arm) noexcept { return model_.setUp(arm); }
    bool ready() const noexcept { return model_.ready(); }
    const ArmDescription& arm() const noexcept { return model_.arm(); }
    SolverMethod solverMethod() const noexcept { return model_.solverMethod(); }
    bool wristCentre(Vec3& out) const noexcept { return model_.wristCentre(out); }

    Status forward(const Joints& q, Pose& out) const noexcept { return model_.forward(q, out); }
    Status frames(const Joints& q, std::array<Pose, 8>& out) const noexcept { return model_.frames(q, out); }
    Status residuals(const Joints& q, const Pose& target, Solution& out) const noexcept {
        return model_.residuals(q, target, out);
    }

    //! See armkin::solve, nearest, track and solveBatch.
    int solve(const Pose& target, const SolveOptions& options, SolveResult& out) noexcept {
        return armkin::solve(model_, ws_, target, options, out);
    }
    Status nearest(const Pose& target, const Joints& seed, const SolveOptions& options,
                   Solution& out) noexcept {
        return armkin::nearest(model_, ws_, target, seed, options, out);
    }
    Status track(const Pose& target, const Joints& seed, const SolveOptions& options,
                 Solution& out) noexcept {
        return armkin::track(model_, ws_, target, seed, options, out);
    }
    Status solveBatch(std::span<const Pose> targets, const SolveOptions& options,
                      std::span<SolveResult> out, int threads = 0) const {
        return armkin::solveBatch(model_, targets, options, out, threads);
    }

    const Model& model() const noexcept { return model_; }
    Workspace& workspace() noexcept { return ws_; }

private:
    Model model_;
    Workspace ws_;
};

}  // namespace armkin
