// The inverse-kinematics stages one at a time: wrist solver, joint distance
// and norms, decomposition pass, refinement, target preparation, case
// dispatch and the decomposition transforms.
//
// Several fixtures replace the case solver by a fixed candidate list: with a
// case number outside 0..7 the dispatch runs nothing and the list set by the
// test stays, so the change of the arm joints is simply candidate - start.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>

#include "numeric/euler.hpp"
#include "numeric/frame.hpp"
#include "fixtures/test_arms.hpp"

namespace kin {
namespace {

using testing::angleGap;
using kin::builtinArm;
using testing::poseOf;
using testing::setUp;

constexpr double kTwoPi = 2.0 * piValue;

// The built-in arm with joint 4's axis tilted by alpha from joint 3's axis
// towards world X (joint 5's axis stays along world Z): a wrist whose axes
// are not mutually perpendicular.
ArmDescription skewedWristArm(double alpha) {
    ArmDescription d = builtinArm();
    const double c = std::cos(alpha), s = std::sin(alpha);
    d.armJointAxes[4] = {{c, 0.0, -s}, {0.0, 1.0, 0.0}, {s, 0.0, c}};
    return d;
}

// The built-in arm with its tool turned and moved off the wrist axis.
ArmDescription turnedToolArm() {
    ArmDescription d = builtinArm();
    d.armJointPos[6] = {0.1, 0.05, 3.2};
    d.armJointAxes[6] = eulerToAxes(EulerZYZ{0.3, 0.7, -0.4});
    return d;
}

// The built-in arm with joint 4 turning about the same axis as joint 3: no
// orientation has a wrist solution.
ArmDescription parallelWristArm() {
    ArmDescription d = builtinArm();
    d.armJointAxes[4] = d.armJointAxes[3];
    return d;
}

void expectNear(const Vec3& v, const Vec3& w, double tol) {
    EXPECT_NEAR(v.x, w.x, tol);
    EXPECT_NEAR(v.y, w.y, tol);
    EXPECT_NEAR(v.z, w.z, tol);
}

bool sameBits(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

Joints withWrist(const Joints& q, const std::array<double, 3>& w) {
    return {q[0], q[1], q[2], w[0], w[1], w[2]};
}

class Stages : public ::testing::Test {
protected:
    Kinematics e;

    void SetUp() override { setUp(e, builtinArm()); }

    void useArm(const ArmDescription& d) {
        e = Kinematics{};
        setUp(e, d);
    }

    // What the entry and ikCore do before any stage runs: the target record,
    // the prepared target for start, and both transforms at start.
    void aimAt(const Vec3& pos, const EulerZYZ& euler, const Joints& start) {
        e.ik.target.tgtPosIn = pos;
        e.ik.target.tgtAxesIn = eulerToAxes(euler);
        e.ik.target.tgtEuler = euler;
        e.prepareTarget(pos, euler, start);
        e.armTransform();
        e.wristTransform();
    }
    void aimAt(const Joints& target, const Joints& start) {
        const testing::Pose p = poseOf(e, target);
        aimAt(p.pos, p.euler, start);
    }

    // Arm candidates that every later dispatch leaves in place.
    void fixArmCandidates(std::initializer_list<std::array<double, 3>> list) {
        e.arm.armCase = 9;
        e.ik.arm.armCandCount = 0;
        for (const auto& c : list) e.ik.arm.append(c[0], c[1], c[2]);
    }

    // Axes of the last joint frame (world coordinates) for joint vector q.
    void lastFrameAxes(const Joints& q, Vec3& x, Vec3& z) {
        Vec3 p;
        EulerZYZ E;
        e.analys(6, q.data(), p, E);
        x = chainVector(e.model, e.fk, {1.0, 0.0, 0.0}, 6);
        z = chainVector(e.model, e.fk, {0.0, 0.0, 1.0}, 6);
    }

    // Joint 4's axis in world coordinates for joint vector q.
    Vec3 joint4Axis(const Joints& q) {
        Vec3 p;
        EulerZYZ E;
        e.analys(6, q.data(), p, E);
        return chainVector(e.model, e.fk, e.model.linkFrames[4].Z, 4);
    }

    // Every wrist candidate, set on the arm joints of q, turns the last joint
    // frame onto the required flange axes.
    void expectCandidatesReachFlange(const Joints& q, double tol) {
        for (int k = 0; k < e.ik.wrist.wristCandCount; ++k) {
            SCOPED_TRACE(k);
            Vec3 x, z;
            lastFrameAxes(withWrist(q, e.ik.wrist.wristCand[k]), x, z);
            expectNear(x, e.ik.prep.flangeAxisX, tol);
            expectNear(z, e.ik.prep.flangeAxisZ, tol);
        }
    }
};

// --- wristSolve --------------------------------------------------------

TEST_F(Stages, WristAxisAlongBaseZAndFlangeParallelGivesPlusAndMinusX) {
    const Joints arm0{0, 0, 0, 0, 0, 0};
    for (double psi : {0.0, 0.7, -2.5, piValue}) {
        SCOPED_TRACE(psi);
        aimAt({0.1, 0.2, 2.9}, {0.0, 0.0, psi}, arm0);
        e.wristSolve();
        ASSERT_EQ(e.ik.wrist.wristCandCount, 2);
        expectNear(joint4Axis(withWrist(arm0, e.ik.wrist.wristCand[0])), {1, 0, 0}, 1e-12);
        expectNear(joint4Axis(withWrist(arm0, e.ik.wrist.wristCand[1])), {-1, 0, 0}, 1e-12);
        expectCandidatesReachFlange(arm0, 1e-12);
    }
}

TEST_F(Stages, WristAxisTiltedAndFlangeParallelGivesOppositeHorizontalDirections) {
    // Joint 3's axis points at azimuth phi, tilted by theta; the target's
    // flange Z axis is the same direction. nA = (-sin phi, cos phi, 0).
    const struct {
        double q0, q1, q2, psi;
    } rows[] = {{0.0, 0.5, 0.0, 0.3},
                {0.7, 0.5, -0.2, -1.1},
                {-2.0, -0.4, 1.3, 2.9},
                {1.0, -0.9, 0.2, 0.0}};
    for (const auto& r : rows) {
        const double phi = r.q1 + r.q2 < 0 ? r.q0 + piValue : r.q0;
        const double theta = std::fabs(r.q1 + r.q2);
        SCOPED_TRACE(r.q0);
        const Joints arm{r.q0, r.q1, r.q2, 0, 0, 0};
        aimAt({0.5, 0.0, 2.0}, {phi, theta, r.psi}, arm);
        e.wristSolve();
        ASSERT_EQ(e.ik.wrist.wristCandCount, 2);
        const Vec3 nA = joint4Axis(withWrist(arm, e.ik.wrist.wristCand[0]));
        const Vec3 nB = joint4Axis(withWrist(arm, e.ik.wrist.wristCand[1]));
        expectNear(nA, {-std::sin(phi), std::cos(phi), 0.0}, 1e-9);
        expectNear(nB, {-nA.x, -nA.y, -nA.z}, 1e-12);
        expectCandidatesReachFlange(arm, 1e-9);
    }
}

TEST_F(Stages, PerpendicularSphericalWristGivesTwinsDifferingInTheSignOfJoint4) {
    for (const ArmDescription& d : {builtinArm(), turnedToolArm()}) {
        useArm(d);
        std::mt19937_64 rng(31);
        std::uniform_real_distribution<double> angle(-3.0, 3.0);
        int checked = 0;
        for (int n = 0; n < 200; ++n) {
            Joints q;
            for (double& v : q) v = angle(rng);
            if (std::fabs(std::sin(q[4])) < 1e-3) continue;
            ++checked;
            aimAt(q, q);
            e.wristSolve();
            ASSERT_EQ(e.ik.wrist.wristCandCount, 2) << "sample " << n;
            const auto& a = e.ik.wrist.wristCand[0];
            const auto& b = e.ik.wrist.wristCand[1];
            for (const auto* c : {&a, &b}) {
                for (double v : *c) {
                    EXPECT_GT(v, -M_PI);
                    EXPECT_LE(v, M_PI);
                }
            }
            EXPECT_NEAR(a[1], -b[1], 1e-9);
            EXPECT_NEAR(angleGap(a[0], b[0] + M_PI), 0.0, 1e-9);
            EXPECT_NEAR(angleGap(a[2], b[2] + M_PI), 0.0, 1e-9);
            // The joints the target came from are one of the two.
            const bool first =
                angleGap(a[0], q[3]) + angleGap(a[1], q[4]) + angleGap(a[2], q[5]) < 1e-8;
            const bool second =
                angleGap(b[0], q[3]) + angleGap(b[1], q[4]) + angleGap(b[2], q[5]) < 1e-8;
            EXPECT_TRUE(first || second) << "sample " << n;
            expectCandidatesReachFlange(q, 1e-10);
        }
        EXPECT_GT(checked, 150);
    }
}

TEST_F(Stages, SkewedWristSolvesEveryReachableOrientation) {
    useArm(skewedWristArm(M_PI / 3));
    ASSERT_GT(std::fabs(e.arm.link4Zz), 0.1);
    ASSERT_GT(std::fabs(e.arm.link5Zz), 0.1);
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> angle(-3.0, 3.0);
    for (int n = 0; n < 200; ++n) {
        Joints q;
        for (double& v : q) v = angle(rng);
        if (std::fabs(std::sin(q[4])) < 1e-3) continue;
        aimAt(q, q);
        e.wristSolve();
        ASSERT_EQ(e.ik.wrist.wristCandCount, 2) << "sample " << n;
        expectCandidatesReachFlange(q, 1e-9);
        const auto& a = e.ik.wrist.wristCand[0];
        const auto& b = e.ik.wrist.wristCand[1];
        const bool first =
            angleGap(a[0], q[3]) + angleGap(a[1], q[4]) + angleGap(a[2], q[5]) < 1e-7;
        const bool second =
            angleGap(b[0], q[3]) + angleGap(b[1], q[4]) + angleGap(b[2], q[5]) < 1e-7;
        EXPECT_TRUE(first || second) << "sample " << n;
    }
}

TEST_F(Stages, SkewedWristCannotTurnTheFlangeBeyondTwiceItsTilt) {
    // Joints 3 and 4, each tilted by 60 degrees, can turn the flange Z axis
    // at most 120 degrees away from joint 3's axis (world Z here).
    useArm(skewedWristArm(M_PI / 3));
    const Joints arm0{0, 0, 0, 0, 0, 0};
    const struct {
        double theta;
        int count;
    } rows[] = {{2 * M_PI / 3 - 0.01, 2}, {2 * M_PI / 3 + 0.01, 0}, {2.8, 0}, {0.4, 2}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.theta);
        aimAt({0, 0, 3}, {0.3, r.theta, 0.0}, arm0);
        e.wristSolve();
        EXPECT_EQ(e.ik.wrist.wristCandCount, r.count);
        expectCandidatesReachFlange(arm0, 1e-9);
    }
}

TEST_F(Stages, WristWhoseJoint4TurnsAboutJoint3sAxisHasNoSolution) {
    useArm(parallelWristArm());
    aimAt({0, 0, 3}, {0.3, 0.8, 0.1}, {0, 0, 0, 0, 0, 0});
    e.wristSolve();
    EXPECT_EQ(e.ik.wrist.wristCandCount, 0);
}

// --- jointDistance, sumAbs3, maxAbs3 ----------------------------------------

TEST_F(Stages, JointDistanceWrapsOnceForTurningJointsOnly) {
    const struct {
        char letter;
        double a, b, expected;
    } rows[] = {
        {'R', 6.0, 0.0, 0.28318530717958},   {'R', 0.0, 6.0, 0.28318530717958},
        {'R', 10.0, 0.0, 3.71681469282042},  {'R', 1.5, -8.5, 3.71681469282042},
        {'R', piValue, 0.0, piValue},        {'R', 0.25, -0.5, 0.75},
        {'S', 6.0, 0.0, 6.0},                {'S', -4.0, 6.0, 10.0},
        {'r', 6.0, 0.0, 6.0},                {'\0', 6.0, 0.0, 6.0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << r.letter << " " << r.a << " " << r.b);
        e.arm.ikJtype[2] = r.letter;
        EXPECT_NEAR(e.jointDistance(2, r.a, r.b), r.expected, 1e-13);
    }
    e.arm.ikJtype[2] = 'R';
    EXPECT_EQ(e.jointDistance(2, piValue, 0.0), piValue);  // a tie keeps |a - b|
    e.arm.ikJtype[4] = 'S';
    EXPECT_EQ(e.jointDistance(4, 6.0, 0.0), 6.0);
    EXPECT_NEAR(e.jointDistance(3, 6.0, 0.0), 0.28318530717958, 1e-13);
}

TEST(Norms, SumAbs3AddsLeftToRightAndMaxAbs3KeepsTheFirstLargest) {
    EXPECT_EQ(sumAbs3({1.0, -2.0, 3.0}), 6.0);
    // 1e16 + 1 rounds back to 1e16, 1e16 + 2 does not: added left to right
    // these give 1e16, grouped any other way 1e16 + 2.
    EXPECT_EQ(sumAbs3({-1e16, 1.0, 1.0}), 1e16);
    EXPECT_EQ(sumAbs3({1.0, -1e16, 1.0}), 1e16);
    EXPECT_EQ(maxAbs3({-2.0, 2.0, 1.0}), 2.0);
    EXPECT_EQ(maxAbs3({0.5, -3.0, 2.0}), 3.0);
    EXPECT_EQ(maxAbs3({0.5, 1.0, -4.0}), 4.0);
    EXPECT_EQ(maxAbs3({0.0, -0.0, 0.0}), 0.0);
}

// --- decompPass ---------------------------------------------------------

TEST_F(Stages, PassPicksTheCandidatesNearestTheStart) {
    const Joints q{0.3, 0.5, 0.9, 0.4, 0.6, 0.2};
    aimAt(q, q);
    Joints res;
    std::array<double, 3> change;
    ASSERT_EQ(e.decompPass(q, res, change), 'Y');
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(res[i], q[i], 1e-9) << i;
    for (double c : change) EXPECT_NEAR(c, 0.0, 1e-9);

    // From the wrist-flipped twin the flipped wrist is the nearer one.
    Joints flipped = q;
    flipped[3] = q[3] - M_PI;
    flipped[4] = -q[4];
    flipped[5] = q[5] - M_PI;
    ASSERT_EQ(e.decompPass(flipped, res, change), 'Y');
    for (int i = 3; i < 6; ++i) EXPECT_NEAR(angleGap(res[i], flipped[i]), 0.0, 1e-9) << i;
}

TEST_F(Stages, PassTakesTheFirstOfEquallyNearArmCandidates) {
    const Joints start{0, 0, 0, 0.4, 0.6, 0.2};
    aimAt({0.3, 0.5, 0.9, 0.4, 0.6, 0.2}, start);
    using C = std::array<double, 3>;
    const struct {
        std::initializer_list<C> list;
        C expected;
    } rows[] = {
        {{{0.5, 0, 0}, {0.1, 0, 0}, {-0.1, 0, 0}}, {0.1, 0, 0}},
        {{{-0.1, 0, 0}, {0.1, 0, 0}}, {-0.1, 0, 0}},
        {{{0.3, 0, 0}, {0, 0.2, 0}, {0, 0, -0.2}}, {0, 0.2, 0}},
        {{{0, 0, -0.2}, {0, 0.2, 0}}, {0, 0, -0.2}},
        {{{0.1, 0, 0}, {kTwoPi - 0.05, 0, 0}}, {kTwoPi - 0.05, 0, 0}},  // nearer across the wrap
    };
    for (const auto& r : rows) {
        fixArmCandidates(r.list);
        Joints res;
        std::array<double, 3> change;
        ASSERT_EQ(e.decompPass(start, res, change), 'Y');
        for (int i = 0; i < 3; ++i) EXPECT_EQ(res[i], r.expected[i]);
    }
}

TEST_F(Stages, TheChangeOfATurningArmJointIsFoldedIntoPlusMinusPi) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> cand(-M_PI, M_PI);
    std::uniform_real_distribution<double> start(-2 * M_PI, 2 * M_PI);
    aimAt({0.3, 0.5, 0.9, 0.4, 0.6, 0.2}, {0, 0, 0, 0.4, 0.6, 0.2});
    e.arm.ikJtype[2] = 'S';
    for (int n = 0; n < 300; ++n) {
        const std::array<double, 3> c{cand(rng), cand(rng), cand(rng)};
        const Joints s{start(rng), start(rng), start(rng), 0.4, 0.6, 0.2};
        fixArmCandidates({c});
        Joints res;
        std::array<double, 3> change;
        ASSERT_EQ(e.decompPass(s, res, change), 'Y');
        for (int i = 0; i < 2; ++i) {
            EXPECT_GE(change[i], -piValue);
            EXPECT_LE(change[i], piValue);
            EXPECT_NEAR(angleGap(change[i], c[i] - s[i]), 0.0, 1e-12);
        }
        EXPECT_EQ(change[2], c[2] - s[2]);  // sliding: not folded
    }
}

TEST_F(Stages, PassGivesUpAfterTwentyArmNudgesAndReturnsTheStart) {
    useArm(parallelWristArm());
    e.arm.ikJtype[1] = 'S';
    const Joints start{kTwoPi - 0.01, kTwoPi - 0.01, 0.3, 0.4, 0.5, 0.6};
    aimAt({0, 0, 3}, {0.3, 0.8, 0.1}, start);
    Joints res{};
    std::array<double, 3> change{7.0, 7.0, 7.0};
    EXPECT_EQ(e.decompPass(start, res, change), 'N');
    EXPECT_TRUE(sameBits(&res, &start, sizeof res));
    EXPECT_EQ(change[0], 7.0);  // not written on failure
    const Joints& record = e.ik.refine.passRecord;
    // Twenty nudges of 0.02: the turning joint passed 2 pi once and was
    // folded, the sliding one was not.
    EXPECT_NEAR(record[0], start[0] + 0.4 - kTwoPi, 1e-12);
    EXPECT_NEAR(record[1], start[1] + 0.4, 1e-12);
    EXPECT_NEAR(record[2], start[2] + 0.4, 1e-12);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(e.ik.workPhi[i], record[i]);
    for (int i = 3; i < 6; ++i) EXPECT_EQ(record[i], start[i]);
}

TEST_F(Stages, PassReportsArmNudgesWithOAndMeasuresFromTheNudgedRecord) {
    // The flange Z axis 0.05 rad beyond the skewed wrist's 120 degrees from
    // joint 3's axis: two nudges of the arm joints tilt joint 3 close enough.
    useArm(skewedWristArm(M_PI / 3));
    const Joints start{0, 0, 0, 0.1, 0.2, 0.3};
    aimAt({0, 0, 3}, {0.0, 2 * M_PI / 3 + 0.05, 0.0}, start);
    fixArmCandidates({{0.5, -0.25, 0.125}});
    Joints res;
    std::array<double, 3> change;
    EXPECT_EQ(e.decompPass(start, res, change), 'O');
    const Joints& record = e.ik.refine.passRecord;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(record[i], 0.02 + 0.02);
    EXPECT_EQ(change[0], 0.5 - 0.04);
    EXPECT_EQ(change[1], -0.25 - 0.04);
    EXPECT_EQ(change[2], 0.125 - 0.04);
    EXPECT_EQ(res[0], 0.5);
    expectCandidatesReachFlange({0.04, 0.04, 0.04, 0, 0, 0}, 1e-9);
    // The wrist part of the result is the candidate nearest the start.
    const auto& w = e.ik.wrist.wristCand;
    auto dist = [&](int k) {
        return angleGap(w[k][0], 0.1) + angleGap(w[k][1], 0.2) + angleGap(w[k][2], 0.3);
    };
    const int best = dist(1) < dist(0) ? 1 : 0;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(res[3 + i], w[best][i]);
}

TEST_F(Stages, PassGivesUpAfterTwentyWristNudgesAndReturnsTheUnfoldedRecord) {
    // The target's joint 5 is 2.75: the twentieth nudge takes it past pi.
    const Joints q{0.3, 0.5, 0.9, 0.4, 0.6, 2.75};
    for (char letter : {'R', 'S'}) {
        SCOPED_TRACE(letter);
        useArm(builtinArm());
        aimAt(q, q);
        e.arm.ikJtype[5] = letter;  // folded whatever its type
        fixArmCandidates({});
        Joints res{};
        std::array<double, 3> change{7.0, 7.0, 7.0};
        EXPECT_EQ(e.decompPass(q, res, change), 'N');
        EXPECT_EQ(change[0], 7.0);
        const Joints& record = e.ik.refine.passRecord;
        EXPECT_TRUE(sameBits(&res, &record, sizeof res));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(res[i], q[i]);
        for (int i = 3; i < 6; ++i) EXPECT_NEAR(res[i], q[i] + 0.4, 1e-9) << i;
        EXPECT_GT(res[5], piValue);
        EXPECT_NEAR(e.ik.workPhi[5], res[5] - kTwoPi, 1e-15);
        EXPECT_EQ(e.ik.workPhi[4], res[4]);
    }
}

// --- poseError ----------------------------------------------------------

TEST_F(Stages, PoseErrorIsTheLargerOfPositionAndAxisError) {
    const Joints zero{0, 0, 0, 0, 0, 0};
    const testing::Pose p = poseOf(e, zero);
    ASSERT_EQ(p.pos.x, 0.0);
    ASSERT_EQ(p.pos.y, 0.0);
    const Axes identity{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const struct {
        Vec3 pos;
        Axes axes;
        double expected;
    } rows[] = {
        {p.pos, identity, 0.0},
        {{0.3, 0.0, p.pos.z}, {{1, 0.2, 0}, {0, 1, 0}, {0, 0, 1}}, 0.3},
        {{0.2, 0.0, p.pos.z}, {{1, 0, 0}, {0, 1, 0.25}, {0, 0.05, 1}}, 0.3},
        {{0.0, -0.125, p.pos.z - 0.25}, identity, 0.375},
    };
    for (const auto& r : rows) {
        e.ik.target.tgtPosIn = r.pos;
        e.ik.target.tgtAxesIn = r.axes;
        EXPECT_DOUBLE_EQ(e.poseError(zero), r.expected);
    }

    const Joints q{0.3, -0.5, 0.9, 0.4, -2.6, 0.2};
    const testing::Pose t = poseOf(e, q);
    e.ik.target.tgtPosIn = t.pos;
    e.ik.target.tgtAxesIn = t.axes;
    EXPECT_EQ(e.poseError(q), 0.0);
}

// --- cpRefine and newtonStep -------------------------------------------------

TEST_F(Stages, RefineReturnsAtTheFirstPassFromASolution) {
    const Joints q{0.3, 0.5, 0.9, 0.4, 0.6, 0.2};
    aimAt(q, q);
    Kinematics reference = e;
    Joints expected;
    std::array<double, 3> change;
    ASSERT_EQ(reference.decompPass(q, expected, change), 'Y');

    e.ik.refine.res2.fill(42.0);
    Joints out{};
    EXPECT_EQ(e.cpRefine(q, out), 'Y');
    EXPECT_TRUE(sameBits(&out, &expected, sizeof out));
    EXPECT_EQ(e.ik.refine.res2[0], 42.0);  // no trial was made
}

TEST_F(Stages, NewtonStepIsLimitedTo0Point1And0Point001NearConvergence) {
    const Joints cur{0, 0, 0, 0.4, 0.6, 0.2};
    aimAt({0.3, 0.5, 0.9, 0.4, 0.6, 0.2}, cur);
    // With one fixed candidate the change is candidate - joints, so the
    // Jacobian is minus the identity and the raw step is -change.
    const struct {
        std::array<double, 3> cand, step;
    } rows[] = {
        {{0.25, 0.1, 0.0}, {-0.1, -0.04, 0.0}},        // largest 0.25: scaled by 0.4
        {{0.09, -0.05, 0.02}, {-0.09, 0.05, -0.02}},   // below 0.1: kept
        {{-0.1, 0.03, 0.0}, {0.1, -0.03, 0.0}},        // about 0.1: 0.1 either way
        {{0.0, 0.0, 0.0015}, {0.0, 0.0, -0.001}},      // last perturbed change 0.0005
        {{0.0015, 0.0, 0.0}, {-0.0015, 0.0, 0.0}},     // last perturbed change 0.0025
        {{0.0, 0.0, 0.0009}, {0.0, 0.0, -0.0009}},     // near, but below 0.001
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.cand[0] + r.cand[1] + r.cand[2]);
        fixArmCandidates({r.cand});
        std::array<double, 3> step{};
        ASSERT_EQ(e.newtonStep(cur, step), 'Y');
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(step[i], r.step[i], 1e-10) << i;
    }
}

TEST_F(Stages, ASettledResultCountsOnlyWhenItReachesTheTarget) {
    // One fixed candidate: the joints settle on it whatever the target, so
    // the target set off from the candidate's own pose by a turn of joint 0
    // decides. A result that settles more than 1e-3 (pose error) from the
    // target fails, but is written as a nudged result would be.
    const Joints cand{0.3, 0.5, 0.9, 0.4, 0.6, 0.2};
    const Joints start{0.25, 0.45, 0.95, 0.4, 0.6, 0.2};
    for (const double offset : {0.0, 2e-5, 1e-4, 2e-4, 1e-3, 0.3}) {
        SCOPED_TRACE(offset);
        Joints target = cand;
        target[0] += offset;
        aimAt(target, start);
        fixArmCandidates({{cand[0], cand[1], cand[2]}});
        Joints out{};
        out.fill(42.0);
        const PassStatus r = e.cpRefine(start, out);
        ASSERT_NE(out[0], 42.0);
        EXPECT_EQ(out[0], cand[0]);
        EXPECT_EQ(r, e.poseError(out) < 1e-3 ? 'Y' : 'N') << "pose error " << e.poseError(out);
        EXPECT_EQ(r, offset <= 1e-4 ? 'Y' : (offset >= 1e-3 ? 'N' : r));
    }
}

TEST_F(Stages, ASingularJacobianFailsTheStepAndTheRefinement) {
    // Candidates (0, 0, 0) and (0, 0, 0.001) with joint 2 at 2^-11: the
    // perturbed pass of joint 2 switches to the second candidate, whose
    // change equals the base change exactly, so column 2 of the Jacobian is
    // zero.
    const Joints cur{0, 0, std::ldexp(1.0, -11), 0.4, 0.6, 0.2};
    aimAt({0.3, 0.5, 0.9, 0.4, 0.6, 0.2}, cur);
    fixArmCandidates({{0.0, 0.0, 0.0}, {0.0, 0.0, 0.001}});
    std::array<double, 3> step{42.0, 42.0, 42.0};
    EXPECT_EQ(e.newtonStep(cur, step), 'N');
    EXPECT_EQ(step[0], 42.0);  // not written
    EXPECT_EQ(e.ik.refine.pertDiff[2], e.ik.refine.baseDiff[2]);
    Joints out{};
    out.fill(42.0);
    EXPECT_EQ(e.cpRefine(cur, out), 'N');
    EXPECT_EQ(out[0], 42.0);
}

TEST_F(Stages, ANonFiniteChangeFailsTheStepInsteadOfReturningNaN) {
    // An infinite or NaN arm candidate makes the change and the Jacobian
    // non-finite; the step must fail rather than hand NaN joints onward.
    const Joints cur{0, 0, 0, 0.4, 0.6, 0.2};
    aimAt({0.3, 0.5, 0.9, 0.4, 0.6, 0.2}, cur);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const std::array<double, 3>& cand : {std::array<double, 3>{inf, 0.1, 0.0},
                                              std::array<double, 3>{0.1, nan, 0.0},
                                              std::array<double, 3>{0.1, 0.0, -inf}}) {
        SCOPED_TRACE(cand[0] + cand[1] + cand[2]);
        fixArmCandidates({cand});
        std::array<double, 3> step{42.0, 42.0, 42.0};
        EXPECT_EQ(e.newtonStep(cur, step), 'N');
        EXPECT_EQ(step[0], 42.0);  // not written
    }
}

TEST_F(Stages, RefineConvergesThroughTheFoldAtMinusPi) {
    // Joint 0 turns; its only candidate is 3.0 and the start is -3.0, 0.28
    // away across the fold: the trials step down through -pi. The target is
    // the pose the fixed point reaches (a settled result must reach it).
    const Joints start{-3.0, 0, 0, 0.4, 0.6, 0.2};
    aimAt({3.0, 0, 0, 0.4, 0.6, 0.2}, start);
    fixArmCandidates({{3.0, 0.0, 0.0}});
    Joints out{};
    EXPECT_EQ(e.cpRefine(start, out), 'Y');
    EXPECT_EQ(out[0], 3.0);
    EXPECT_NEAR(e.ik.refine.passRecord[0], 3.0, 1e-5);
}

TEST_F(Stages, RefineFoldsSlidingTrialsAndHalvesOnceBeforeANewJacobian) {
    // Joint 0 slides in the model as well, so that the target can be the
    // pose of the first fixed point (a settled result must reach it).
    const Joints start{3.0, 0, 0, 0.4, 0.6, 0.2};
    e.model.jointTypes[0] = 'S';
    e.arm.ikJtype[0] = 'S';
    aimAt({3.1, 0, 0, 0.4, 0.6, 0.2}, start);

    // A sliding joint 0 whose candidate lies below pi converges.
    fixArmCandidates({{3.1, 0.0, 0.0}});
    Joints out{};
    EXPECT_EQ(e.cpRefine(start, out), 'Y');
    EXPECT_EQ(out[0], 3.1);

    // Beyond pi it cannot: trial 1 (3.1) is accepted; from then on every
    // full step (to 3.2) and every halved step (to 3.15) is folded by -2 pi,
    // rejected, and followed by a new Jacobian at 3.1. Trials 2k are full,
    // 2k + 1 halved, and the 101st count of the shared counter ends the call
    // just after a halved trial.
    fixArmCandidates({{3.3, 0.0, 0.0}});
    out.fill(42.0);
    EXPECT_EQ(e.cpRefine(start, out), 'N');
    EXPECT_EQ(out[0], 42.0);  // not written
    EXPECT_NEAR(e.ik.refine.passRecord[0], 3.15 - kTwoPi, 1e-9);
    EXPECT_NEAR(e.ik.refine.diff2[0], 3.3 - (3.15 - kTwoPi), 1e-9);
    EXPECT_NEAR(e.ik.refine.diff[0], 0.2, 1e-9);  // the accepted change at 3.1
}

// --- prepareTarget --------------------------------------------------------

TEST_F(Stages, IdentityTargetOnTheBuiltinArmGivesTheIdentityAxes) {
    e.prepareTarget({0.5, 0.0, 2.5}, {0.0, 0.0, 0.0}, {});
    const TargetPreparation& p = e.ik.prep;
    const struct {
        const Vec3* v;
        Vec3 expected;
    } rows[] = {{&p.tgtAxisX, {1, 0, 0}},    {&p.tgtAxisY, {0, 1, 0}},
                {&p.tgtAxisZ, {0, 0, 1}},    {&p.flangeAxisX, {1, 0, 0}},
                {&p.flangeAxisZ, {0, 0, 1}}, {&p.tgtPosB, {0.5, 0.0, 2.5}}};
    for (const auto& r : rows) {
        EXPECT_EQ(r.v->x, r.expected.x);
        EXPECT_EQ(r.v->y, r.expected.y);
        EXPECT_EQ(r.v->z, r.expected.z);
    }
    // The target is 1.4 above the shoulder and 0.5 along world X; link frame
    // 1 has its X axis along world Z and its Y axis along world X.
    expectNear(e.ik.s1.tgtPos01, {1.4, 0.5, 0.0}, 1e-15);
}

TEST_F(Stages, WorkingVectorsAreTheNeighbourBitForBit) {
    const Joints neighbour{-0.0, std::numeric_limits<double>::denorm_min(), 1e300,
                           std::numeric_limits<double>::quiet_NaN(), -7.25, 0.1};
    e.ik.workPhi.fill(1.0);
    e.ik.stagePhi.fill(2.0);
    e.prepareTarget({0.5, 0.1, 2.5}, {0.2, 0.4, 0.6}, neighbour);
    EXPECT_TRUE(sameBits(&e.ik.workPhi, &neighbour, sizeof neighbour));
    EXPECT_TRUE(sameBits(&e.ik.stagePhi, &neighbour, sizeof neighbour));
}

TEST_F(Stages, TheCallersZAxisEntersOnlyThroughTheEulerAngles) {
    // Doubling the Z axis leaves its ZYZ angles exactly as they were, so the
    // prepared target must not change although Z is no longer X x Y.
    const testing::Pose t = poseOf(e, {0.3, -0.5, 0.9, 0.4, -1.6, 0.2});
    Axes doubled = t.axes;
    doubled.Z = {2 * t.axes.Z.x, 2 * t.axes.Z.y, 2 * t.axes.Z.z};
    const EulerZYZ given = axesToEuler(t.axes);
    const EulerZYZ fromDoubled = axesToEuler(doubled);
    ASSERT_TRUE(sameBits(&given, &fromDoubled, sizeof given));
    SolutionList sols{};
    const Joints neighbour{0, 0, 0, 0.4, -1.6, 0.2};
    e.inverseKinematics(6, t.pos, t.axes, neighbour, sols, kModePositionOnly);
    const TargetPreparation prep = e.ik.prep;
    const StageOneCoefficients s1 = e.ik.s1;
    e.inverseKinematics(6, t.pos, doubled, neighbour, sols, kModePositionOnly);
    EXPECT_TRUE(sameBits(&prep, &e.ik.prep, sizeof prep));
    EXPECT_TRUE(sameBits(&s1, &e.ik.s1, sizeof s1));
    const Vec3 xy = cross3(e.ik.prep.tgtAxisX, e.ik.prep.tgtAxisY);
    EXPECT_TRUE(sameBits(&xy, &e.ik.prep.tgtAxisZ, sizeof xy));
    EXPECT_NEAR(e.ik.prep.tgtAxisZ.z, t.axes.Z.z, 1e-12);
}

// --- solveArmCase ---------------------------------------------------------

TEST_F(Stages, DispatchOutsideTheEightCasesKeepsTheOldCandidates) {
    aimAt({0.3, 0.5, 0.9, 0.4, 0.6, 0.2}, {0, 0, 0, 0, 0, 0});
    for (int armCase : {8, 9, -1, 1000}) {
        SCOPED_TRACE(armCase);
        fixArmCandidates({{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}, {7.0, 8.0, 9.0}});
        e.arm.armCase = armCase;
        e.ik.wristPointArm = {42.0, 42.0, 42.0};
        const ArmCandidateList before = e.ik.arm;
        e.solveArmCase();
        EXPECT_TRUE(sameBits(&before, &e.ik.arm, sizeof before));
        // The point to be positioned is still computed: the tool point seen
        // from joint frame 2 with the wrist at zero.
        expectNear(e.ik.wristPointArm, {1.2, 0.0, 0.0}, 1e-12);
    }
    e.arm.armCase = 0;
    e.solveArmCase();
    EXPECT_GT(e.ik.arm.armCandCount, 0);
    EXPECT_NE(e.ik.arm.armCand[0][0], 1.0);
}

// --- armTransform, wristTransform -------------------------------------------

void expectSameFrame(const Frame& a, const Frame& b, double tol) {
    expectNear(a.X, b.X, tol);
    expectNear(a.Y, b.Y, tol);
    expectNear(a.Z, b.Z, tol);
    expectNear(a.O, b.O, tol);
}

TEST_F(Stages, AtZeroTheTransformsAreProductsOfTheLinkFrames) {
    const auto& L = e.model.linkFrames;
    e.ik.workPhi = {};
    e.armTransform();
    e.wristTransform();
    expectSameFrame(e.ik.armFrame, frameMul(frameMul(L[0], L[1]), L[2]), 0.0);
    expectSameFrame(e.ik.wristFrame, frameMul(frameMul(L[3], L[4]), L[5]), 0.0);

    useArm(skewedWristArm(0.4));
    e.arm.ikJtype[1] = 'S';
    e.armTransform();
    e.wristTransform();
    expectSameFrame(e.ik.armFrame, frameMul(frameMul(L[0], L[1]), L[2]), 0.0);
    expectSameFrame(e.ik.wristFrame, frameMul(frameMul(L[3], L[4]), L[5]), 0.0);
}

TEST_F(Stages, EveryLetterOtherThanRSlides) {
    e.ik.workPhi = {0.2, 0.3, -0.4, 0.5, 0.6, 0.7};
    e.arm.ikJtype[1] = 'S';
    e.armTransform();
    const Frame sliding = e.ik.armFrame;
    // Joint 1 slides 0.3 along its own X axis: link frame 1 moved by 0.3 X1.
    Frame L1 = e.model.linkFrames[1];
    L1.O = {L1.O.x + 0.3 * L1.X.x, L1.O.y + 0.3 * L1.X.y, L1.O.z + 0.3 * L1.X.z};
    Frame M0 = e.model.linkFrames[0];
    const double c = std::cos(0.2), s = std::sin(0.2);
    const Vec3 x0 = M0.X, y0 = M0.Y;
    M0.X = {c * x0.x + s * y0.x, c * x0.y + s * y0.y, c * x0.z + s * y0.z};
    M0.Y = {-s * x0.x + c * y0.x, -s * x0.y + c * y0.y, -s * x0.z + c * y0.z};
    Frame L2 = e.model.linkFrames[2];
    const double c2 = std::cos(-0.4), s2 = std::sin(-0.4);
    const Vec3 x2 = L2.X, y2 = L2.Y;
    L2.X = {c2 * x2.x + s2 * y2.x, c2 * x2.y + s2 * y2.y, c2 * x2.z + s2 * y2.z};
    L2.Y = {-s2 * x2.x + c2 * y2.x, -s2 * x2.y + c2 * y2.y, -s2 * x2.z + c2 * y2.z};
    expectSameFrame(sliding, frameMul(frameMul(M0, L1), L2), 1e-12);

    for (char letter : {'r', 'X', '\0', 's', 'P'}) {
        SCOPED_TRACE(static_cast<int>(letter));
        e.arm.ikJtype[1] = letter;
        e.armTransform();
        EXPECT_TRUE(sameBits(&sliding, &e.ik.armFrame, sizeof sliding));
    }
    e.arm.ikJtype[1] = 'R';
    e.armTransform();
    EXPECT_FALSE(sameBits(&sliding, &e.ik.armFrame, sizeof sliding));
}

TEST_F(Stages, EachTransformReadsOnlyItsOwnJoints) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> angle(-3.0, 3.0);
    for (int n = 0; n < 50; ++n) {
        Joints q;
        for (double& v : q) v = angle(rng);
        e.ik.workPhi = q;
        e.armTransform();
        e.wristTransform();
        const Frame arm = e.ik.armFrame;
        const Frame wrist = e.ik.wristFrame;

        for (int i = 3; i < 6; ++i) e.ik.workPhi[i] = angle(rng);
        e.arm.ikJtype[4] = 'S';
        e.armTransform();
        EXPECT_TRUE(sameBits(&arm, &e.ik.armFrame, sizeof arm));
        e.arm.ikJtype[4] = 'R';

        e.ik.workPhi = q;
        for (int i = 0; i < 3; ++i) e.ik.workPhi[i] = angle(rng);
        e.arm.ikJtype[1] = 'S';
        e.wristTransform();
        EXPECT_TRUE(sameBits(&wrist, &e.ik.wristFrame, sizeof wrist));
        e.arm.ikJtype[1] = 'R';
    }
}

TEST_F(Stages, BothTransformsTogetherAreTheForwardKinematics) {
    // For random letters R/S per joint: base * armFrame * wristFrame * tool
    // point is the forward-kinematics tool position.
    std::mt19937_64 rng(23);
    std::uniform_real_distribution<double> value(-3.0, 3.0);
    for (int n = 0; n < 100; ++n) {
        ArmDescription d = builtinArm();
        for (int i = 0; i < 6; ++i) d.JTYPE[i] = (rng() & 1) ? 'S' : 'R';
        useArm(d);
        Joints q;
        for (double& v : q) v = value(rng);
        e.ik.workPhi = q;
        e.armTransform();
        e.wristTransform();
        const Frame chain = frameMul(e.ik.armFrame, e.ik.wristFrame);
        const Vec3 viaTransforms =
            frameApplyPoint(e.model.baseFrame, frameApplyPoint(chain, e.model.toolPoint));
        Vec3 p;
        EulerZYZ E;
        e.analys(6, q.data(), p, E);
        expectNear(viaTransforms, p, 1e-12);
    }
}

}  // namespace
}  // namespace kin
