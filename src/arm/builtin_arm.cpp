#include "arm/builtin_arm.hpp"

namespace kin {

namespace {

constexpr Axes kIdentityAxes{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
//! A joint that turns about world Y: its Z axis along Y, its X axis up.
constexpr Axes kAboutWorldY{{0.0, 0.0, 1.0}, {1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}};

}  // namespace

void writeBuiltinArm(ArmDescription& d) {
    d.armBaseAxes = Axes{};
    for (Axes& a : d.armJointAxes) a = Axes{};

    d.armBasePos = Vec3{0.0, 0.0, 0.0};
    d.armBaseAxes = kIdentityAxes;

    // Joints 0 to 5, then the tool: waist, shoulder, elbow, three wrist axes
    // meeting at height 3.0, tool point 0.2 above the wrist centre.
    constexpr double heights[7] = {0.0, 1.1, 2.0, 3.0, 3.0, 3.0, 3.2};
    for (int i = 0; i < 7; ++i) d.armJointPos[i] = Vec3{0.0, 0.0, heights[i]};
    for (int i : {0, 3, 5, 6}) d.armJointAxes[i] = kIdentityAxes;
    for (int i : {1, 2, 4}) d.armJointAxes[i] = kAboutWorldY;
}

ArmDescription builtinArm() {
    ArmDescription d;
    for (int i = 0; i < 6; ++i) d.JTYPE[i] = 'R';
    writeBuiltinArm(d);
    return d;
}

}  // namespace kin
