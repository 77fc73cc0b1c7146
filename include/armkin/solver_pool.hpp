#pragma once
//! Threads kept for batch after batch of poses.
//!
//!     armkin::SolverPool pool;                         // every core; starts the helpers
//!     for (;;) {
//!         ...fill targets...
//!         pool.solve(model, targets, armkin::SolveOptions{}, results);
//!     }
//!
//! solveBatch (armkin/model.hpp) starts its threads for one call, which
//! costs tens of microseconds each time; a pool starts them once. Between
//! batches its helpers watch for the next one for 0.2 ms, then sleep until
//! it comes. The results are those of solve for each pose, whatever the
//! thread count.
//!
//! Threads: one caller at a time per pool; the Model may be shared as
//! always. solve neither throws, allocates nor prints.

#include <memory>
#include <span>

#include "armkin/model.hpp"
#include "armkin/solve_result.hpp"
#include "armkin/status.hpp"
#include "armkin/types.hpp"

namespace armkin {

class SolverPool {
public:
    //! A pool of threads threads (0: every core), the caller's own among
    //! them: starts threads - 1 helpers. Allocates a workspace per thread;
    //! throws std::bad_alloc when that fails. When the system refuses a
    //! thread the pool keeps those it has: threads() says how many.
    explicit SolverPool(int threads = 0);
    ~SolverPool();  //!< stops and joins the helpers
    SolverPool(const SolverPool&) = delete;
    SolverPool& operator=(const SolverPool&) = delete;

    int threads() const noexcept;

    //! solve for each of targets into out[i], on the caller's thread and
    //! the helpers. Returns Ok (each out[i].status says how its pose went);
    //! NoArm, or InvalidInput when out is shorter than targets, with
    //! nothing written.
    Status solve(const Model& model, std::span<const Pose> targets, const SolveOptions& options,
                 std::span<SolveResult> out) noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace armkin
