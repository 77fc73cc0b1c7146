#pragma once
//! Threads kept for batch after batch of poses. Starting a thread and
//! waking one that sleeps each cost tens of microseconds, about a tenth of
//! a 2 000-pose batch on two threads: a pool starts its helpers once, and a
//! helper that has just finished a batch keeps watching for the next one for
//! a short while (kWatchBeforeSleep) before it sleeps.

#include <atomic>
#include <cstddef>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "solver/solver.hpp"

namespace kin {

//! The threads a caller's count asks for: itself when 1 or more, every
//! core when 0 or less.
int threadsFor(int asked) noexcept;

class BatchPool {
public:
    //! A pool of `threads` threads, the caller's own among them, so that
    //! threads - 1 helpers are started (none for 1 or less). Allocates one
    //! workspace per thread; throws std::bad_alloc when that fails. When the
    //! system refuses a thread, the pool keeps those it has (threads() says
    //! how many).
    explicit BatchPool(int threads);
    ~BatchPool();  //!< stops and joins the helpers
    BatchPool(const BatchPool&) = delete;
    BatchPool& operator=(const BatchPool&) = delete;

    int threads() const noexcept { return static_cast<int>(spaces_.size()); }

    //! solveAll for every target, out[i] for targets[i], on the caller's
    //! thread and the helpers; results identical for any thread count.
    //! Returns the number of targets solved (at least one solution), or -1
    //! with nothing written when out is shorter than targets or the model
    //! is invalid. No allocation. One caller at a time.
    int solve(const SolverModel& model, std::span<const Frame> targets, const SolveOptions& options,
              std::span<SolveResult> out) noexcept;
    //! The same for targets given as public poses.
    int solve(const SolverModel& model, std::span<const armkin::Pose> targets,
              const SolveOptions& options, std::span<SolveResult> out) noexcept;

private:
    //! One helper's wake-up word and count, on a cache line of its own.
    struct alignas(64) Helper {
        std::atomic<unsigned> go{0};
        int solved = 0;
    };

    int run(const SolverModel& model, std::size_t n, const SolveOptions& options,
            std::span<SolveResult> out) noexcept;
    void serve(std::size_t k) noexcept;
    void stop() noexcept;  //!< wakes the helpers to end and joins them
    int solveChunks(std::size_t k) noexcept;

    std::vector<std::unique_ptr<SolverWorkspace>> spaces_;  //!< [0]: the caller's
    std::unique_ptr<Helper[]> helpers_;                     //!< [k] for spaces_[k], k >= 1
    std::vector<std::thread> threads_;

    // The current batch, written before the helpers are woken and only read
    // until they have finished.
    const SolverModel* model_ = nullptr;
    const SolveOptions* options_ = nullptr;
    const Frame* frames_ = nullptr;         //!< the targets, either as frames
    const armkin::Pose* poses_ = nullptr;  //!< or as poses
    std::size_t count_ = 0;
    std::span<SolveResult> out_;
    std::size_t engaged_ = 1;  //!< threads taking part, the caller's included
    bool stopping_ = false;

    alignas(64) std::atomic<std::size_t> next_{0};  //!< first target not yet taken
    alignas(64) std::atomic<unsigned> finished_{0};  //!< helpers done with this batch
};

}  // namespace kin
