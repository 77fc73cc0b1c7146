// The complete solver never allocates during a solve: every global
// operator new of this program is replaced by one that counts, and the
// count must not move across solveAll, solveNearest and solveTrack on every
// test arm, singular and unreachable poses included.

#include "counting_new.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstdlib>
#include <new>
#include <memory>
#include <random>
#include <vector>

#include "fixtures/sliding_arms.hpp"
#include "fixtures/general_arms.hpp"


namespace kin {
namespace {

using namespace kin::testing;

void sweep(const ArmDescription& d, std::mt19937_64& rng) {
    auto rig = std::make_unique<SolverRig>(d);
    std::uniform_real_distribution<double> U(-M_PI, M_PI);
    std::vector<Frame> targets;
    std::vector<Joints> seeds;
    for (int i = 0; i < 60; ++i) {
        Joints q;
        for (double& v : q) v = U(rng);
        if (i == 0) q = Joints{};
        if (i == 1) q[4] = 0.0;
        targets.push_back(rig->target(q));
        for (double& v : q) v += 0.05;
        seeds.push_back(q);
    }
    targets[2].O.x += 50.0;
    auto result = std::make_unique<SolveResult>();
    SolveOptions o;
    o.limits.lower[0] = -2.0 * M_PI;
    o.limits.upper[0] = 2.0 * M_PI;
    Solution s;
    const long before = allocations.load();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        solveAll(rig->model, rig->ws, targets[i], o, *result);
        solveNearest(rig->model, rig->ws, targets[i], seeds[i], o, s);
        solveTrack(rig->model, rig->ws, targets[i], seeds[i], o, s);
    }
    EXPECT_EQ(allocations.load(), before);
}

TEST(SolverNoAllocation, EveryArm) {
    std::mt19937_64 rng(8);
    for (const SolverArm& arm : solverArms()) {
        SCOPED_TRACE(arm.name);
        sweep(arm.description, rng);
    }
    for (const SlidingArm& arm : slidingArms()) {
        SCOPED_TRACE(arm.name);
        sweep(describe(arm), rng);
    }
    for (const SolverArm& arm : generalArms()) {
        SCOPED_TRACE(arm.name);
        sweep(arm.description, rng);
    }
}

}  // namespace
}  // namespace kin
