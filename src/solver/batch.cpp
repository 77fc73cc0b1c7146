//! Many poses at once: the threads take the targets in small chunks from a
//! shared counter, each with a workspace of its own. Each pose is solved on
//! its own by the same code, so the results do not depend on which thread
//! took it or on how many there are.

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "solver/solver.hpp"

namespace kin {

namespace {

//! Poses a thread takes at a time: a quarter of what is left over the
//! threads (guided), so that chunks are long while much is left and the
//! last ones short, and the threads finish close together; at least
//! kMinChunk, since where two threads' chunks meet the end of one result
//! and the start of the next share a cache line (chunks of 8 cost two
//! threads a tenth of their speed there), and at most kMaxChunk.
constexpr std::size_t kMinChunk = 16;
constexpr std::size_t kMaxChunk = 256;
constexpr std::size_t kParts = 4;

//! Solves chunks of targets until none is left; returns how many it solved
//! (at least one solution each).
int solveChunks(const SolverModel& model, SolverWorkspace& ws, std::span<const Frame> targets,
                const SolveOptions& options, std::span<SolveResult> out, std::size_t threads,
                std::atomic<std::size_t>& next) {
    const std::size_t n = targets.size();
    int solved = 0;
    std::size_t begin = next.load(std::memory_order_relaxed);
    for (;;) {
        std::size_t chunk = 0;
        do {
            if (begin >= n) return solved;
            chunk = std::clamp((n - begin) / (threads * kParts), kMinChunk, kMaxChunk);
        } while (!next.compare_exchange_weak(begin, begin + chunk, std::memory_order_relaxed));
        const std::size_t end = std::min(begin + chunk, n);
        for (std::size_t i = begin; i < end; ++i) {
            solved += solveAll(model, ws, targets[i], options, out[i]) > 0;
        }
        begin = next.load(std::memory_order_relaxed);
    }
}

}  // namespace

int solveBatch(const SolverModel& model, std::span<const Frame> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads) {
    if (!model.valid || out.size() < targets.size()) return -1;
    const std::size_t n = targets.size();
    const std::size_t asked = threads < 1 ? 1 : static_cast<std::size_t>(threads);
    const std::size_t chunks = (n + kMinChunk - 1) / kMinChunk;
    const std::size_t t = std::clamp<std::size_t>(asked, 1, std::max<std::size_t>(chunks, 1));
    // The workspaces are made here, so that a failed allocation reaches
    // the caller rather than ending a thread.
    std::vector<std::unique_ptr<SolverWorkspace>> spaces;
    spaces.reserve(t);
    for (std::size_t k = 0; k < t; ++k) {
        spaces.push_back(std::make_unique<SolverWorkspace>());
        prepareWorkspace(model, *spaces.back());
    }
    std::atomic<std::size_t> next{0};
    std::vector<int> solved(t, 0);
    auto work = [&](std::size_t k) { solved[k] = solveChunks(model, *spaces[k], targets, options, out, t, next); };
    std::vector<std::thread> pool;
    pool.reserve(t - 1);
    for (std::size_t k = 1; k < t; ++k) pool.emplace_back(work, k);
    work(0);
    for (std::thread& th : pool) th.join();
    int total = 0;
    for (int s : solved) total += s;
    return total;
}

}  // namespace kin
