#include <cstring>

#include "cases/arm_cases.hpp"
#include "numeric/frame.hpp"

namespace kin {

int armCaseOfLetters(const char* t) {
    for (int c = 0; c < static_cast<int>(kArmCases.size()); ++c) {
        if (std::memcmp(t, kArmCases[c].letters, 3) == 0) return c;
    }
    return -1;
}

void solveArmCase(const ArmConstants& arm, const Frame& link2, const StageOneCoefficients& s1,
                  const Frame& wristFrame, Vec3& wristPointArm, ArmCandidateList& out) {
    wristPointArm = frameApplyPoint(wristFrame, arm.ikToolPoint);
    if (arm.armCase < 0 || arm.armCase >= static_cast<int>(kArmCases.size())) return;
    const CaseProblem problem{arm, link2, s1, wristPointArm};
    kArmCases[arm.armCase].solve(problem, out);
}

}  // namespace kin
