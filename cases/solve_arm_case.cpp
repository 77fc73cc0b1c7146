#include "cases/case_solvers.hpp"
#include "ik/engine.hpp"
#include "numeric/frame.hpp"

namespace kin {

void Engine::solveArmCase() {
    ik.wristPointArm = frameApplyPoint(ik.wristFrame, arm.ikToolPoint);
    using Solver = void (*)(const CaseProblem&, ArmCandidateList&);
    static constexpr Solver kSolvers[8] = {solveCaseRRR, solveCaseSRR, solveCaseRSR,
                                           solveCaseRRS, solveCaseSSR, solveCaseSRS,
                                           solveCaseRSS, solveCaseSSS};
    // A case number outside 0..7 runs nothing: the old candidates stay.
    if (arm.armCase < 0 || arm.armCase > 7) return;
    const CaseProblem problem{arm, model.linkFrames[2], ik.s1, ik.wristPointArm};
    kSolvers[arm.armCase](problem, ik.arm);
}

}  // namespace kin
