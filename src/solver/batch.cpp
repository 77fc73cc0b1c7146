//! Many poses at once: contiguous slices of the targets, one workspace per
//! thread. Each pose is solved on its own by the same code, so the results
//! do not depend on how the targets were split.

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "solver/solver.hpp"

namespace kin {

namespace {

int solveSlice(const SolverModel& model, SolverWorkspace& ws, std::span<const Frame> targets,
               const SolveOptions& options, std::span<SolveResult> out) {
    int solved = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        solved += solveAll(model, ws, targets[i], options, out[i]) > 0;
    }
    return solved;
}

}  // namespace

int solveBatch(const SolverModel& model, std::span<const Frame> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads) {
    if (!model.valid || out.size() < targets.size()) return -1;
    const std::size_t n = targets.size();
    const std::size_t t = std::clamp<std::size_t>(threads < 1 ? 1 : static_cast<std::size_t>(threads),
                                                  1, std::max<std::size_t>(n, 1));
    std::vector<std::unique_ptr<SolverWorkspace>> spaces;
    spaces.reserve(t);
    for (std::size_t k = 0; k < t; ++k) {
        spaces.push_back(std::make_unique<SolverWorkspace>());
        prepareWorkspace(model, *spaces.back());
    }
    std::vector<int> solved(t, 0);
    auto slice = [&](std::size_t k) {
        const std::size_t begin = n * k / t;
        const std::size_t end = n * (k + 1) / t;
        solved[k] = solveSlice(model, *spaces[k], targets.subspan(begin, end - begin), options,
                               out.subspan(begin, end - begin));
    };
    std::vector<std::thread> pool;
    pool.reserve(t - 1);
    for (std::size_t k = 1; k < t; ++k) pool.emplace_back(slice, k);
    slice(0);
    for (std::thread& th : pool) th.join();
    int total = 0;
    for (int s : solved) total += s;
    return total;
}

}  // namespace kin
