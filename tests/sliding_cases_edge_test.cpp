// Fixed results of the sliding-joint case solvers on special geometry, and
// engines for different arms working side by side.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "numeric/frame.hpp"
#include "fixtures/sliding_arms.hpp"

namespace kin {
namespace {

using testing::Branch;
using testing::describe;
using testing::Pose;
using testing::poseOf;
using testing::SlidingArm;
using testing::slidingArms;

SlidingArm armNamed(const std::string& name) {
    for (const SlidingArm& a : slidingArms()) {
        if (a.name == name) return a;
    }
    ADD_FAILURE() << "no test arm " << name;
    return slidingArms()[0];
}

// Arbitrary target poses in a box around the arm, reachable or not.
std::vector<Pose> arbitraryTargets(int count, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coord(-3.0, 3.0);
    std::uniform_real_distribution<double> angle(-3.0, 3.0);
    std::vector<Pose> targets;
    for (int n = 0; n < count; ++n) {
        Pose p;
        p.pos = {coord(rng), coord(rng), coord(rng)};
        p.euler = {angle(rng), angle(rng) * 0.5 + 1.6, angle(rng)};
        p.axes = eulerToAxes(p.euler);
        targets.push_back(p);
    }
    return targets;
}

// Runs position-only mode with the given wrist joints; returns the case
// solver's candidate count.
int armCandidates(Kinematics& e, const Pose& t, const Joints& neighbour) {
    SolutionList sols{};
    e.inverseKinematics(6, t.pos, t.axes, neighbour, sols, kModePositionOnly);
    return e.ik.arm.armCandCount;
}

TEST(SlidingCases, GantryWithSlidesAlongYXZSolvesEveryTargetInClosedForm) {
    // Joint 0 slides along y, joint 1 along x, joint 2 along z, so that in
    // link frame 1 X1 = (0, 1, 0) and X2 = (0, 0, 1): d0, d1, d2 are the
    // y, x and z gaps between the target and the wrist point.
    Kinematics e;
    testing::setUp(e, describe(armNamed("SSS gantry")));
    const Vec3& X1 = e.arm.link1Inv.X;
    const Vec3& X2 = e.model.linkFrames[2].X;
    ASSERT_EQ(X1.x, 0.0);
    ASSERT_EQ(X1.y, 1.0);
    ASSERT_EQ(X1.z, 0.0);
    ASSERT_EQ(X2.x, 0.0);
    ASSERT_EQ(X2.y, 0.0);
    ASSERT_EQ(X2.z, 1.0);
    ASSERT_EQ(e.arm.slideCrossX, 1.0);

    const Joints wrist{0, 0, 0, 0.4, -1.1, 2.0};
    for (const Pose& t : arbitraryTargets(200, 71)) {
        ASSERT_EQ(armCandidates(e, t, wrist), 1);
        const Vec3& Q0 = e.ik.s1.tgtPos01;
        const Vec3 U0 = frameApplyPoint(e.model.linkFrames[2], e.ik.wristPointArm);
        const auto& c = e.ik.arm.armCand[0];
        EXPECT_EQ(c[0], Q0.y - U0.y);
        EXPECT_EQ(c[1], Q0.x - U0.x);
        EXPECT_EQ(c[2], Q0.z - U0.z);

        // PTP: the wrist orientation comes from the target, and every
        // solution lands on it.
        SolutionList sols{};
        const int n = e.inverseKinematics(6, t.pos, t.axes, wrist, sols, kModePtp);
        EXPECT_GE(n, 1);
        for (int k = 0; k < n; ++k) EXPECT_LT(e.poseError(sols[k]), 1e-5);
    }
}

TEST(SlidingCases, ArmsThatCannotPlaceThePointGiveNoCandidateForAnyTarget) {
    // Parallel slides of joints 0 and 2, or two slides that both keep the
    // height in link frame 1 while joint 1 turns.
    for (const SlidingArm& arm : slidingArms()) {
        if (arm.branch != Branch::ParallelSlides && arm.branch != Branch::BothHeightsFixed) {
            continue;
        }
        SCOPED_TRACE(arm.name);
        Kinematics e;
        testing::setUp(e, describe(arm));
        std::mt19937_64 rng(5);
        for (const Pose& t : arbitraryTargets(100, 72)) {
            // A stale list must not survive the solver.
            e.ik.arm.armCandCount = 3;
            EXPECT_EQ(armCandidates(e, t, Joints{0, 0, 0, 0.3, 0.9, -0.2}), 0);
            SolutionList sols{};
            EXPECT_EQ(e.inverseKinematics(6, t.pos, t.axes, Joints{}, sols, kModePtp), 0);
        }
        // Not even the pose of a joint vector of the arm itself.
        for (int n = 0; n < 50; ++n) {
            const Joints q = testing::randomJoints(arm, rng);
            EXPECT_EQ(armCandidates(e, poseOf(e, q), q), 0);
        }
    }
}

TEST(SlidingCases, RailInThePlaneOfTheTurntableGivesTwoCandidatesWithOneLift) {
    // Case 5 with X1.z = 0: the lift alone sets the height, so both
    // candidates share d2 and differ in the rail position d0.
    const SlidingArm arm = armNamed("SRS horizontal rail and lift");
    Kinematics e;
    testing::setUp(e, describe(arm));
    ASSERT_EQ(e.arm.link1Inv.X.z, 0.0);
    std::mt19937_64 rng(9);
    for (int n = 0; n < 200; ++n) {
        const Joints q = testing::randomJoints(arm, rng);
        ASSERT_EQ(armCandidates(e, poseOf(e, q), q), 2);
        const auto& c = e.ik.arm.armCand;
        EXPECT_EQ(c[0][2], c[1][2]);
        EXPECT_NE(c[0][0], c[1][0]);
    }
}

TEST(SlidingCases, TargetsOutOfReachGiveNoCandidate) {
    // Each of these arms reaches only a bounded distance along world z or
    // world y (no slide runs along it), so (0, 100, 100) is out of reach.
    const char* names[] = {"SRR horizontal rail", "RSR radial slide",
                           "SRS horizontal rail and lift"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Kinematics e;
        testing::setUp(e, describe(armNamed(name)));
        Pose t;
        t.pos = {0.0, 100.0, 100.0};
        t.axes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        e.ik.arm.armCandCount = 2;
        EXPECT_EQ(armCandidates(e, t, Joints{0, 0, 0, 0.3, 0.9, -0.2}), 0);
    }
}

TEST(SlidingCases, EnginesForDifferentArmsSolveSideBySide) {
    // Each engine solves its own sequence of targets alone, then the two
    // sequences run interleaved in two fresh engines: every result must be
    // the same, bit for bit.
    const SlidingArm armA = armNamed("RRS skewed boom");
    const SlidingArm armB = armNamed("SSR head turning about the slide");
    struct Run {
        int count;
        SolutionList sols;
    };
    const int kRuns = 20;
    std::vector<Pose> targetsA, targetsB;
    std::vector<Joints> startA, startB;
    {
        Kinematics a, b;
        testing::setUp(a, describe(armA));
        testing::setUp(b, describe(armB));
        std::mt19937_64 rng(77);
        for (int n = 0; n < kRuns; ++n) {
            const Joints qa = testing::randomJoints(armA, rng);
            const Joints qb = testing::randomJoints(armB, rng);
            targetsA.push_back(poseOf(a, qa));
            targetsB.push_back(poseOf(b, qb));
            startA.push_back(qa);
            startB.push_back(qb);
        }
    }
    const int modes[3] = {kModePositionOnly, kModeCp, kModePtp};
    auto solveAll = [&](Kinematics& e, const std::vector<Pose>& t, const std::vector<Joints>& s,
                        int n, int m) {
        Run r{};
        r.count = e.inverseKinematics(6, t[n].pos, t[n].axes, s[n], r.sols, modes[m]);
        return r;
    };

    std::vector<Run> aloneA, aloneB;
    {
        Kinematics a;
        testing::setUp(a, describe(armA));
        for (int n = 0; n < kRuns; ++n) {
            for (int m = 0; m < 3; ++m) aloneA.push_back(solveAll(a, targetsA, startA, n, m));
        }
        Kinematics b;
        testing::setUp(b, describe(armB));
        for (int n = 0; n < kRuns; ++n) {
            for (int m = 0; m < 3; ++m) aloneB.push_back(solveAll(b, targetsB, startB, n, m));
        }
    }

    Kinematics a, b;
    testing::setUp(a, describe(armA));
    testing::setUp(b, describe(armB));
    size_t i = 0;
    for (int n = 0; n < kRuns; ++n) {
        for (int m = 0; m < 3; ++m, ++i) {
            const Run ra = solveAll(a, targetsA, startA, n, m);
            const Run rb = solveAll(b, targetsB, startB, n, m);
            ASSERT_EQ(ra.count, aloneA[i].count);
            ASSERT_EQ(rb.count, aloneB[i].count);
            const size_t usedA = sizeof(Joints) * static_cast<size_t>(std::max(ra.count, 0));
            const size_t usedB = sizeof(Joints) * static_cast<size_t>(std::max(rb.count, 0));
            EXPECT_EQ(std::memcmp(ra.sols.data(), aloneA[i].sols.data(), usedA), 0);
            EXPECT_EQ(std::memcmp(rb.sols.data(), aloneB[i].sols.data(), usedB), 0);
        }
    }
    EXPECT_EQ(a.arm.armCase, 3);
    EXPECT_EQ(b.arm.armCase, 4);
}

}  // namespace
}  // namespace kin
