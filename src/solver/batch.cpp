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

//! Poses a thread takes at a time: about a sixteenth of each thread's
//! share, so that threads that start late or run slower even out at the
//! end, and no fewer than kMinChunk: where two threads' chunks meet, the
//! end of one result and the start of the next share a cache line, and
//! chunks of 8 poses cost two threads a tenth of their speed there.
constexpr std::size_t kMinChunk = 8;
constexpr std::size_t kMaxChunk = 256;
constexpr std::size_t kChunksPerThread = 16;

//! Solves chunks of targets until none is left; returns how many it solved
//! (at least one solution each).
int solveChunks(const SolverModel& model, SolverWorkspace& ws, std::span<const Frame> targets,
                const SolveOptions& options, std::span<SolveResult> out, std::size_t chunk,
                std::atomic<std::size_t>& next) {
    int solved = 0;
    for (;;) {
        const std::size_t begin = next.fetch_add(chunk, std::memory_order_relaxed);
        if (begin >= targets.size()) break;
        const std::size_t end = std::min(begin + chunk, targets.size());
        for (std::size_t i = begin; i < end; ++i) {
            solved += solveAll(model, ws, targets[i], options, out[i]) > 0;
        }
    }
    return solved;
}

}  // namespace

int solveBatch(const SolverModel& model, std::span<const Frame> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads) {
    if (!model.valid || out.size() < targets.size()) return -1;
    const std::size_t n = targets.size();
    const std::size_t asked = threads < 1 ? 1 : static_cast<std::size_t>(threads);
    const std::size_t chunk = std::clamp(n / (asked * kChunksPerThread), kMinChunk, kMaxChunk);
    const std::size_t chunks = (n + chunk - 1) / chunk;
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
    auto work = [&](std::size_t k) { solved[k] = solveChunks(model, *spaces[k], targets, options, out, chunk, next); };
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
