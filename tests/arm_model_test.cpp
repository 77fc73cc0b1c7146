// Arm set-up, classification and forward kinematics on the built-in arm.

#include <gtest/gtest.h>

#include <cstring>

#include "fixtures/test_arms.hpp"

namespace kin {
namespace {

using kin::builtinArm;
using testing::setUp;

void expectVec(const Vec3& v, double x, double y, double z, double tol = 1e-12) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

TEST(ArmSetup, BuiltinArmGivesTheTabledLinkFrames) {
    Kinematics e;
    Frame base;
    std::array<Frame, 7> links;
    const ArmDescription d = builtinArm();
    ASSERT_EQ(e.armSetup(6, d, base, links), 1);

    struct Row {
        Vec3 X, Y, Z, O;
    };
    const Row rows[6] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}},   {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1.1}},
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.9, 0, 0}}, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {1.0, 0, 0}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}},   {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 0}},
    };
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        const Frame& L = e.model.linkFrames[k];
        expectVec(L.X, rows[k].X.x, rows[k].X.y, rows[k].X.z);
        expectVec(L.Y, rows[k].Y.x, rows[k].Y.y, rows[k].Y.z);
        expectVec(L.Z, rows[k].Z.x, rows[k].Z.y, rows[k].Z.z);
        expectVec(L.O, rows[k].O.x, rows[k].O.y, rows[k].O.z);
        EXPECT_EQ(std::memcmp(&L, &links[k], sizeof L), 0);
        EXPECT_EQ(e.model.jointRange[k].lower, -10.0);
        EXPECT_EQ(e.model.jointRange[k].upper, 10.0);
    }
    // Origins are differences of the description, not stored constants.
    EXPECT_EQ(e.model.linkFrames[2].O.x, 2.0 - 1.1);
    EXPECT_EQ(e.model.toolPoint.z, 3.2 - 3.0);
    expectVec(e.model.toolAxisX, 1, 0, 0);
    expectVec(e.model.toolAxisY, 0, 1, 0);
    expectVec(e.model.toolAxisZ, 0, 0, 1);
    expectVec(links[6].O, 0, 0, 3.2 - 3.0);
}

TEST(ArmSetup, RunningItAgainChangesNothing) {
    Kinematics e;
    setUp(e, builtinArm());
    const ArmModel model = e.model;
    const ArmConstants constants = e.arm;
    setUp(e, builtinArm());
    EXPECT_EQ(std::memcmp(&model, &e.model, sizeof model), 0);
    EXPECT_EQ(std::memcmp(&constants, &e.arm, sizeof constants), 0);
}

TEST(ArmSetup, MovingTheBaseOrTheToolChangesOnlyTheirFrames) {
    Kinematics a, b;
    setUp(a, builtinArm());
    ArmDescription moved = builtinArm();
    moved.armBasePos = {0.5, -0.25, 1.0};
    moved.armJointPos[6] = {0.1, 0.0, 3.5};
    setUp(b, moved);
    EXPECT_EQ(b.model.baseFrame.O.x, 0.5);
    EXPECT_NE(std::memcmp(&a.model.linkFrames[0].O, &b.model.linkFrames[0].O, sizeof(Vec3)), 0);
    for (int k = 1; k < 6; ++k) {
        EXPECT_EQ(std::memcmp(&a.model.linkFrames[k], &b.model.linkFrames[k], sizeof(Frame)), 0);
    }
    expectVec(b.model.toolPoint, 0.1, 0.0, 3.5 - 3.0);
}

TEST(ArmSetup, RejectsJointCountsItHasNoRoomFor) {
    Kinematics e;
    Frame base;
    std::array<Frame, 7> links;
    const ArmDescription d = builtinArm();
    EXPECT_EQ(e.armSetup(0, d, base, links), 0);
    EXPECT_EQ(e.armSetup(7, d, base, links), 0);
    EXPECT_EQ(e.model.DOF, 0);  // untouched
}

TEST(Classification, BuiltinArmConstants) {
    Kinematics e;
    setUp(e, builtinArm());
    const ArmConstants& c = e.arm;
    EXPECT_EQ(c.armCase, 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(c.ikJointStep[i], 20.0 / 30.0);
    expectVec(c.ikToolZ, 0, 0, 1, 0);
    expectVec(c.link1Inv.X, 0, 1, 0, 0);
    expectVec(c.link1Inv.Y, 0, 0, 1, 0);
    expectVec(c.link1Inv.Z, 1, 0, 0, 0);
    expectVec(c.link1Inv.O, -1.1, 0, 0, 0);
    EXPECT_EQ(c.link1InvXO2, 0.0);
    EXPECT_EQ(c.link1InvYO2, 0.0);
    EXPECT_EQ(c.link1InvZO2, -2.2);
    EXPECT_EQ(c.link1InvOO, 1.2100000000000002);
    EXPECT_EQ(c.link1InvXh2, 1.0);
    EXPECT_EQ(c.link1InvXz2, 0.0);
    EXPECT_EQ(c.link2XO2, 1.7999999999999998);
    EXPECT_EQ(c.link2OO, 0.8099999999999998);
    EXPECT_EQ(c.link2Xh2, 1.0);
    EXPECT_EQ(c.link2Xz2, 0.0);
    EXPECT_EQ(c.slideTiltDet, 0.0);
    EXPECT_EQ(c.slideCrossX, 0.0);
    EXPECT_EQ(c.link4Zz, 0.0);
    EXPECT_EQ(c.link5Zz, 0.0);
    EXPECT_EQ(c.link4Zh2, 1.0);
    EXPECT_EQ(c.link5Zh2, 1.0);
}

TEST(Classification, CaseNumberFromTheFirstThreeLetters) {
    const struct {
        const char* letters;
        int armCase;
    } table[] = {{"RRRRRR", 0}, {"SRRRRR", 1}, {"RSRRRR", 2}, {"RRSRRR", 3}, {"SSRRRR", 4},
                 {"SRSRRR", 5}, {"RSSRRR", 6}, {"SSSRRR", 7}, {"RRRSSS", 0}, {"SSSSRS", 7}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.letters);
        Kinematics e;
        ArmDescription d = builtinArm();
        std::memcpy(d.JTYPE.data(), row.letters, 6);
        setUp(e, d);
        EXPECT_EQ(e.arm.armCase, row.armCase);
    }
}

TEST(Classification, UnknownLettersKeepThePreviousCase) {
    for (const char* letters : {"rRRRRR", "XRRRRR", "RRsRRR"}) {
        SCOPED_TRACE(letters);
        Kinematics fresh;
        ArmDescription d = builtinArm();
        std::memcpy(d.JTYPE.data(), letters, 6);
        setUp(fresh, d);
        EXPECT_EQ(fresh.arm.armCase, 0);

        Kinematics used;
        ArmDescription sliding = builtinArm();
        std::memcpy(sliding.JTYPE.data(), "SSRRRR", 6);
        setUp(used, sliding);
        setUp(used, d);
        EXPECT_EQ(used.arm.armCase, 4);
    }
}

TEST(Classification, ToolZIsFormedFromXAndY) {
    Kinematics e;
    ArmDescription d = builtinArm();
    d.armJointAxes[6].Z = {0, 0, -1};  // disagrees with X x Y
    setUp(e, d);
    expectVec(e.model.toolAxisZ, 0, 0, -1, 0);
    expectVec(e.arm.ikToolZ, 0, 0, 1, 0);
}

TEST(ForwardKinematics, KnownJointVectors) {
    const struct {
        Joints q;
        Vec3 pos;
        EulerZYZ euler;
    } table[] = {
        {{0, 0, 0, 0, 0, 0}, {0, 0, 3.2}, {0, 0, 0}},
        {{M_PI / 2, 0, 0, 0, 0, 0}, {0, 0, 3.2}, {0, 0, 1.5708}},
        {{0, M_PI / 2, 0, 0, 0, 0}, {2.1, 0, 1.1}, {0, M_PI / 2, 0}},
        {{0, 0, 0, 0, M_PI / 2, 0}, {0.2, 0, 3.0}, {0, 1.5708, 0}},
        {{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, {0.8121, 0.1190, 2.9713}, {0.3270, 0.9783, 0.8270}},
        {{1, -1, 0.5, 2, -0.7, 3}, {-0.5838, -1.1261, 2.6238}, {-0.7915, 0.6439, 0.6711}},
    };
    Kinematics e;
    setUp(e, builtinArm());
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::PrintToString(row.q));
        Vec3 p;
        EulerZYZ E;
        e.analys(6, row.q.data(), p, E);
        expectVec(p, row.pos.x, row.pos.y, row.pos.z, 5e-5);
        EXPECT_NEAR(E.phi, row.euler.phi, 5e-5);
        EXPECT_NEAR(E.theta, row.euler.theta, 5e-5);
        EXPECT_NEAR(E.psi, row.euler.psi, 5e-5);
    }
}

TEST(ForwardKinematics, ATurnOfTwoPiLeavesThePose) {
    Kinematics e;
    setUp(e, builtinArm());
    const Joints q{0.3, -0.7, 1.1, 0.4, 0.9, -2.0};
    Vec3 p0;
    EulerZYZ e0;
    e.analys(6, q.data(), p0, e0);
    for (int j = 0; j < 6; ++j) {
        Joints turned = q;
        turned[j] += 2.0 * M_PI;
        Vec3 p;
        EulerZYZ E;
        e.analys(6, turned.data(), p, E);
        expectVec(p, p0.x, p0.y, p0.z, 1e-12);
    }
}

TEST(ForwardKinematics, AnyLetterButRSlidesAlongX) {
    for (char letter : {'S', 'x', '\0'}) {
        Kinematics e;
        ArmDescription d = builtinArm();
        d.JTYPE[0] = letter;
        setUp(e, d);
        Vec3 p;
        EulerZYZ E;
        const Joints q{0.5, 0, 0, 0, 0, 0};
        e.analys(6, q.data(), p, E);
        expectVec(p, 0.5, 0, 3.2);
        EXPECT_EQ(E.psi, 0.0);  // not turned
    }
}

}  // namespace
}  // namespace kin
