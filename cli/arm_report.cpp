#include "cli/arm_report.hpp"

#include "numeric/frame.hpp"

namespace armkin::cli {

ArmReport reportArm(const LoadedArm& arm, const Engine& engine) {
    const ArmDescription& d = arm.description;
    ArmReport r;
    r.letters.assign(d.JTYPE.data(), 6);
    r.wristMeets = engine.wristCentre(r.wristCentre);
    if (r.wristMeets) r.toolFromWrist = kin::vecNorm(kin::sub3(d.armJointPos[6], r.wristCentre));
    r.method = engine.solverMethod();
    if (r.method == SolverMethod::General)
        r.warnings.push_back(
            "neither a closed form nor the elimination fits this arm: the solver polishes "
            "numeric starts and may miss branches");
    return r;
}

}  // namespace armkin::cli
