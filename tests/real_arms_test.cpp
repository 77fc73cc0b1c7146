// Arms with the geometries of real industrial arms: each description against
// its own 4x4 forward kinematics, then seeded round trips judged by that
// forward kinematics, and two poses of the 0.7 m arm that once gave wrong
// solutions or lost real ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "numeric/frame.hpp"
#include "fixtures/real_arms.hpp"
#include "fixtures/test_arms.hpp"

namespace kin {
namespace {

using testing::angleGap;
using testing::Matrix4;
using testing::RealArm;
using testing::realArms;

Joints randomJoints(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    Joints q;
    for (double& v : q) v = angle(rng);
    return q;
}

// Position distance and rotation angle of q's pose from T, by the arm's own
// 4x4 product.
struct Gap {
    double dist, angle;
};

Gap gapTo(const RealArm& arm, const Joints& q, const Matrix4& T) {
    const Matrix4 S = arm.fk(q);
    double frob = 0.0;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) frob += (S.m[r][c] - T.m[r][c]) * (S.m[r][c] - T.m[r][c]);
    }
    return {std::hypot(S.m[0][3] - T.m[0][3], S.m[1][3] - T.m[1][3], S.m[2][3] - T.m[2][3]),
            2.0 * std::asin(std::min(1.0, std::sqrt(frob / 8.0)))};
}

// The target pose the console would pass: position and axes of T.
void targetOf(const Matrix4& T, Vec3& pos, Axes& axes) {
    pos = testing::column(T, 3);
    axes = {testing::column(T, 0), testing::column(T, 1), testing::column(T, 2)};
}

bool sameJoints(const double* a, const Joints& b, int n, double tol) {
    for (int i = 0; i < n; ++i) {
        if (angleGap(a[i], b[i]) > tol) return false;
    }
    return true;
}

TEST(RealArms, DescriptionsMatchTheirOwnForwardKinematics) {
    std::mt19937_64 rng(501);
    for (const RealArm& arm : realArms()) {
        SCOPED_TRACE(arm.name);
        Kinematics e;
        testing::setUp(e, arm.desc);
        for (int n = 0; n < 200; ++n) {
            const Joints q = randomJoints(rng);
            const testing::Pose p = testing::poseOf(e, q);
            const Matrix4 T = arm.fk(q);
            const Vec3* axes[3] = {&e.fk.fkAxisX, &e.fk.fkAxisY, &e.fk.fkAxisZ};
            for (int r = 0; r < 3; ++r) {
                EXPECT_NEAR(component(p.pos, r), T.m[r][3], 1e-12);
                for (int c = 0; c < 3; ++c) EXPECT_NEAR(component(*axes[c], r), T.m[r][c], 1e-12);
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
}

// Every PTP and CP answer reaches its target within 1e-3, and the arm stage
// with the true wrist joints returns the true arm joints on at least 99 % of
// poses.
TEST(RealArms, SeededRoundTrips) {
    std::mt19937_64 rng(502);
    for (const RealArm& arm : realArms()) {
        SCOPED_TRACE(arm.name);
        Kinematics e;
        testing::setUp(e, arm.desc);
        Vec3 pos;
        Axes axes;
        SolutionList sols{};
        constexpr int kPoses = 300;
        double worst = 0.0;
        for (int n = 0; n < kPoses; ++n) {
            const Joints q = randomJoints(rng);
            const Matrix4 T = arm.fk(q);
            targetOf(T, pos, axes);
            const int ptp = e.inverseKinematics(6, pos, axes, Joints{}, sols, kModePtp);
            for (int k = 0; k < ptp; ++k) {
                const Gap g = gapTo(arm, sols[k], T);
                worst = std::max(worst, std::max(g.dist, g.angle));
            }
            Joints near = q;
            for (double& v : near) v += 0.05;
            if (e.inverseKinematics(6, pos, axes, near, sols, kModeCp) == 1) {
                const Gap g = gapTo(arm, sols[0], T);
                worst = std::max(worst, std::max(g.dist, g.angle));
            }
        }
        // The arm stage alone is cheap: more poses.
        constexpr int kArmPoses = 4000;
        int armStage = 0, twice = 0;
        for (int n = 0; n < kArmPoses; ++n) {
            const Joints q = randomJoints(rng);
            targetOf(arm.fk(q), pos, axes);
            const int found = e.inverseKinematics(6, pos, axes, q, sols, kModePositionOnly);
            bool back = false;
            for (int k = 0; k < found; ++k) {
                back = back || sameJoints(sols[k].data(), q, 3, 1e-4);
                // Two candidates polished onto one root are listed once.
                for (int j = 0; j < k; ++j) twice += sameJoints(sols[k].data(), sols[j], 3, 1e-9);
            }
            armStage += back;
        }
        EXPECT_EQ(twice, 0);
        EXPECT_LT(worst, 1e-3);
        EXPECT_GE(armStage, 0.99 * kArmPoses);
    }
}

// A poor arm candidate used to hold the joints still 0.33 m from the target
// (pose error 0.5) and count as two solutions.
TEST(RealArms, SettledFarFromTheTargetIsNoSolution) {
    const RealArm arm = testing::sphericalWristShoulderOffset07();
    Kinematics e;
    testing::setUp(e, arm.desc);
    const Joints q{-0.34344713326829446, -1.3119724364298408, -2.6775927774678965,
                   -0.38651116556309395, -2.2660705455402974, -0.81693142563621768};
    const Matrix4 T = arm.fk(q);
    Vec3 pos;
    Axes axes;
    targetOf(T, pos, axes);
    SolutionList sols{};
    const int ptp = e.inverseKinematics(6, pos, axes, Joints{}, sols, kModePtp);
    for (int k = 0; k < ptp; ++k) EXPECT_LT(gapTo(arm, sols[k], T).dist, 1e-3) << k;
    for (const Joints& start : {Joints{}, sols[0]}) {
        if (e.inverseKinematics(6, pos, axes, start, sols, kModeCp) == 1) {
            EXPECT_LT(gapTo(arm, sols[0], T).dist, 1e-3);
        }
    }
}

// Eight real branches near a double root of the quartic (closed-form roots
// -0.8226, -0.7431, -0.7168, -0.6198 against the true -0.8236, -0.7358,
// -0.7235, -0.6194): all four arm candidates and all eight solutions.
TEST(RealArms, NearDoubleRootKeepsEveryBranch) {
    const RealArm arm = testing::sphericalWristShoulderOffset07();
    Kinematics e;
    testing::setUp(e, arm.desc);
    const Joints q{1.7226352216674989, -2.9680456386527618, -2.3975931760890892,
                   1.188140673211274,  0.12243473777743841, -2.8520060697441929};
    const Matrix4 T = arm.fk(q);
    Vec3 pos;
    Axes axes;
    targetOf(T, pos, axes);
    SolutionList sols{};
    const int found = e.inverseKinematics(6, pos, axes, q, sols, kModePositionOnly);
    ASSERT_EQ(found, 4);
    const double cosines[4] = {-0.8236, -0.7358, -0.7235, -0.6194};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(std::cos(sols[k][2]), cosines[k], 1e-4) << k;
    EXPECT_TRUE(sameJoints(sols[1].data(), q, 3, 1e-9));

    const int ptp = e.inverseKinematics(6, pos, axes, Joints{}, sols, kModePtp);
    ASSERT_EQ(ptp, 8);
    bool typed = false;
    for (int k = 0; k < ptp; ++k) {
        const Gap g = gapTo(arm, sols[k], T);
        EXPECT_LT(std::max(g.dist, g.angle), 1e-4) << k;
        typed = typed || sameJoints(sols[k].data(), q, 6, 1e-4);
    }
    EXPECT_TRUE(typed);
}

}  // namespace
}  // namespace kin
