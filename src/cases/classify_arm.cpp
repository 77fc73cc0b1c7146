#include "cases/arm_cases.hpp"
#include "cases/arm_constants.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

//! a + a: the factor 2 of the doubled dot products.
double twice(double a) { return a + a; }

}  // namespace

int classifyArm(const ArmModel& model, ArmConstants& arm) {
    const int n = model.DOF < kMaxJoints ? model.DOF : kMaxJoints;
    for (int i = 0; i < n; ++i) {
        arm.ikJointRange[i] = model.jointRange[i];
        arm.ikJointStep[i] = (arm.ikJointRange[i].upper - arm.ikJointRange[i].lower) /
                             static_cast<double>(ArmConstants::ikGridDivisions);
    }

    arm.ikToolPoint = model.toolPoint;
    arm.ikToolX = model.toolAxisX;
    arm.ikToolY = model.toolAxisY;
    arm.ikToolZ = cross3(arm.ikToolX, arm.ikToolY);

    arm.link0Inv = frameInverse(model.linkFrames[0]);
    arm.link1Inv = frameInverse(model.linkFrames[1]);

    for (int i = 0; i < n; ++i) arm.ikJtype[i] = model.jointTypes[i];

    if (const int c = armCaseOfLetters(arm.ikJtype.data()); c >= 0) arm.armCase = c;

    const Frame& L2 = model.linkFrames[2];
    const Vec3& X1 = arm.link1Inv.X;
    const Vec3& Y1 = arm.link1Inv.Y;
    const Vec3& Z1 = arm.link1Inv.Z;
    const Vec3& O1 = arm.link1Inv.O;
    arm.link2XO2 = twice(dot3(L2.X, L2.O));
    arm.link2YO2 = twice(dot3(L2.Y, L2.O));
    arm.link2ZO2 = twice(dot3(L2.Z, L2.O));
    arm.link2OO = dot3(L2.O, L2.O);
    arm.link1InvXO2 = twice(dot3(X1, O1));
    arm.link1InvYO2 = twice(dot3(Y1, O1));
    arm.link1InvZO2 = twice(dot3(Z1, O1));
    arm.link1InvOO = dot3(O1, O1);
    arm.link1InvXh2 = X1.x * X1.x + X1.y * X1.y;
    arm.link1InvXz2 = X1.z * X1.z;
    arm.link2Xh2 = L2.X.x * L2.X.x + L2.X.y * L2.X.y;
    arm.link2Xz2 = L2.X.z * L2.X.z;
    arm.slideTiltDet = arm.link1InvXh2 * arm.link2Xz2 - arm.link1InvXz2 * arm.link2Xh2;
    arm.slideCrossX = X1.y * L2.X.z - X1.z * L2.X.y;

    const Vec3& Z4 = model.linkFrames[4].Z;
    const Vec3& Z5 = model.linkFrames[5].Z;
    arm.link4Zz = Z4.z;
    arm.link5Zz = Z5.z;
    arm.link4Zh2 = Z4.x * Z4.x + Z4.y * Z4.y;
    arm.link5Zh2 = Z5.x * Z5.x + Z5.y * Z5.y;

    arm.armChainStart = frameMul(identityFrame(), model.linkFrames[0]);
    arm.wristChainStart = frameMul(identityFrame(), model.linkFrames[3]);
    return 1;
}

}  // namespace kin
