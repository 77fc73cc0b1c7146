// The engine never allocates: every global operator new of this program
// is replaced by one that counts, and the count must not move across
// forward kinematics, PTP, CP and position-only solves, on the built-in arm
// and on an arm of every sliding-joint case.

#include "counting_new.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstdlib>
#include <new>
#include <random>

#include "fixtures/real_arms.hpp"
#include "fixtures/sliding_arms.hpp"
#include "fixtures/test_arms.hpp"


namespace kin {
namespace {

using kin::builtinArm;
using testing::setUp;

struct Target {
    Joints typed;
    Joints near;
    Vec3 pos;
    Axes axes;
};

// Targets are made before counting starts.
std::vector<Target> makeTargets(Kinematics& e, std::mt19937_64& rng,
                                const std::function<Joints(std::mt19937_64&)>& draw, int n) {
    std::vector<Target> out;
    for (int i = 0; i < n; ++i) {
        Target t;
        t.typed = draw(rng);
        t.near = t.typed;
        for (double& v : t.near) v += 0.05;
        const testing::Pose p = testing::poseOf(e, t.typed);
        t.pos = p.pos;
        t.axes = p.axes;
        out.push_back(t);
    }
    return out;
}

// Allocations made by FK and the three solves over every target; solved
// counts the solutions, to show that the solves did run.
long allocationsDuring(Kinematics& e, const std::vector<Target>& targets, int& solved) {
    SolutionList sols{};
    const Joints zeros{};
    Vec3 pos;
    EulerZYZ euler;
    solved = 0;
    const long before = allocations.load();
    for (const Target& t : targets) {
        e.analys(6, t.typed.data(), pos, euler);
        solved += e.inverseKinematics(6, t.pos, t.axes, zeros, sols, kModePtp);
        solved += e.inverseKinematics(6, t.pos, t.axes, t.near, sols, kModeCp);
        solved += e.inverseKinematics(6, t.pos, t.axes, t.typed, sols, kModePositionOnly);
    }
    return allocations.load() - before;
}

TEST(NoAllocation, BuiltinArm) {
    Kinematics e;
    setUp(e, builtinArm());
    std::mt19937_64 rng(31);
    auto draw = [](std::mt19937_64& r) {
        std::uniform_real_distribution<double> angle(-M_PI, M_PI);
        Joints q;
        for (double& v : q) v = angle(r);
        return q;
    };
    const std::vector<Target> targets = makeTargets(e, rng, draw, 200);
    int solved = 0;
    EXPECT_EQ(allocationsDuring(e, targets, solved), 0);
    EXPECT_GT(solved, 1000);
}

TEST(NoAllocation, EverySlidingCase) {
    std::mt19937_64 rng(32);
    for (const testing::SlidingArm& arm : testing::slidingArms()) {
        Kinematics e;
        setUp(e, testing::describe(arm));
        auto draw = [&arm](std::mt19937_64& r) { return testing::randomJoints(arm, r); };
        const std::vector<Target> targets = makeTargets(e, rng, draw, 20);
        int solved = 0;
        EXPECT_EQ(allocationsDuring(e, targets, solved), 0) << arm.name;
    }
}

TEST(NoAllocation, RealGeometries) {
    std::mt19937_64 rng(33);
    for (const testing::RealArm& arm : testing::realArms()) {
        Kinematics e;
        setUp(e, arm.desc);
        auto draw = [](std::mt19937_64& r) {
            std::uniform_real_distribution<double> angle(-M_PI, M_PI);
            Joints q;
            for (double& v : q) v = angle(r);
            return q;
        };
        const std::vector<Target> targets = makeTargets(e, rng, draw, 40);
        int solved = 0;
        EXPECT_EQ(allocationsDuring(e, targets, solved), 0) << arm.name;
    }
}

// The counter itself works.
TEST(NoAllocation, CounterSeesAnAllocation) {
    const long before = allocations.load();
    auto* p = new std::vector<double>(8);
    const long after = allocations.load();
    delete p;
    EXPECT_GE(after - before, 2);
}

}  // namespace
}  // namespace kin
