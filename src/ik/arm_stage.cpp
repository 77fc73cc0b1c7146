#include "cases/arm_cases.hpp"
#include "ik/kinematics.hpp"

namespace kin {

void Kinematics::solveArmCase() {
    kin::solveArmCase(arm, model.linkFrames[2], ik.s1, ik.wristFrame, ik.wristPointArm, ik.arm);
}

}  // namespace kin
