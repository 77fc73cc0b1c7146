// The batch call gives, for any thread count, exactly (bit for bit) what
// solving the poses one by one gives.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "fixtures/solver_arms.hpp"
#include "solver/batch_pool.hpp"

namespace kin {
namespace {

using namespace kin::testing;

bool identical(const SolveResult& a, const SolveResult& b) {
    if (a.count != b.count || a.status != b.status || a.truncated != b.truncated) return false;
    for (int k = 0; k < a.count; ++k) {
        const Solution& x = a.solutions[k];
        const Solution& y = b.solutions[k];
        if (std::memcmp(x.joints.data(), y.joints.data(), sizeof(x.joints)) != 0) return false;
        if (std::memcmp(&x.positionError, &y.positionError, sizeof(double)) != 0) return false;
        if (std::memcmp(&x.rotationError, &y.rotationError, sizeof(double)) != 0) return false;
        if (x.status != y.status) return false;
    }
    return true;
}

std::vector<Frame> randomTargets(SolverRig& rig, int count, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> U(-M_PI, M_PI);
    std::vector<Frame> targets;
    for (int i = 0; i < count; ++i) {
        Joints q;
        for (double& v : q) v = U(rng);
        targets.push_back(rig.target(q));
    }
    return targets;
}

TEST(SolverBatch, SameResultsForAnyThreadCount) {
    const auto arms = solverArms();
    for (int a : {1, 4}) {
        SCOPED_TRACE(arms[a].name);
        SolverRig rig(arms[a].description);
        std::vector<Frame> targets = randomTargets(rig, 300, 314);
        targets[17].O.x = 40.0;  // out of reach, in the middle of a slice
        SolveOptions o;
        o.order = SolutionOrder::SeedDistance;
        o.seed = {0.1, -0.2, 0.3, 0.0, 0.5, -0.1};
        std::vector<SolveResult> serial(targets.size());
        int solved = 0;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            solved += solveAll(rig.model, rig.ws, targets[i], o, serial[i]) > 0;
        }
        EXPECT_EQ(serial[17].status, Status::OutOfReach);
        for (int threads : {1, 2, 3, 7}) {
            std::vector<SolveResult> batch(targets.size());
            EXPECT_EQ(solveBatch(rig.model, targets, o, batch, threads), solved);
            for (std::size_t i = 0; i < targets.size(); ++i) {
                EXPECT_TRUE(identical(serial[i], batch[i])) << "threads " << threads << " pose " << i;
            }
        }
        std::vector<SolveResult> tooShort(10);
        EXPECT_EQ(solveBatch(rig.model, targets, o, tooShort, 2), -1);
    }
}

// One pool kept over batches of every size on two arms, its helpers woken
// while they watch for work and after they have gone to sleep.
TEST(SolverBatch, PoolKeptOverBatchesGivesTheSameResults) {
    const auto arms = solverArms();
    SolverRig first(arms[1].description), second(arms[4].description);
    BatchPool pool(3);
    ASSERT_EQ(pool.threads(), 3);
    struct Case {
        SolverRig* rig;
        int count;
        bool afterSleep;
    };
    const Case cases[] = {{&first, 300, false}, {&second, 17, false}, {&first, 0, false},
                          {&second, 1, true},   {&first, 48, true},   {&second, 300, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const std::vector<Frame> targets = randomTargets(*c.rig, c.count, 27 + c.count);
        std::vector<SolveResult> serial(targets.size()), pooled(targets.size());
        int solved = 0;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            solved += solveAll(c.rig->model, c.rig->ws, targets[i], {}, serial[i]) > 0;
        }
        if (c.afterSleep) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(pool.solve(c.rig->model, targets, {}, pooled), solved);
        for (std::size_t i = 0; i < targets.size(); ++i) EXPECT_TRUE(identical(serial[i], pooled[i])) << i;
    }
    std::vector<SolveResult> tooShort(1);
    EXPECT_EQ(pool.solve(first.model, randomTargets(first, 2, 1), {}, tooShort), -1);
}

}  // namespace
}  // namespace kin
