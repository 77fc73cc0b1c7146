#include <cassert>
#include <cmath>
#include <cstdio>

#include "ik/engine.hpp"
#include "numeric/euler.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

constexpr double kReach = 1e-5;  //!< position-only acceptance (sum of coordinate errors)
constexpr int kRetryLimit = 5;   //!< perturbed retries of an empty PTP candidate list

}  // namespace

int Engine::inverseKinematics(int dof, const Vec3& pos, const Axes& axes, const Joints& neighbour,
                              SolutionList& solutions, int mode) {
    if (dof != 6) {
        if (messages != nullptr) {
            char text[64];
            std::snprintf(text, sizeof text,
                          dof < 6 ? "\nDOF=%d < 6   No solution" : "\nDOF=%d > 6   Solution is indefinite",
                          dof);
            messages->message(text);
        }
        return 0;
    }
    model.DOF = dof;
    ik.target.tgtEuler = axesToEuler(axes.X, axes.Y, axes.Z);
    ik.target.tgtAxesIn = axes;
    ik.target.tgtPosIn = pos;
    classifyArm();
    return ikCore(pos, ik.target.tgtEuler, neighbour, solutions, mode);
}

int Engine::ikCore(const Vec3& pos, const EulerZYZ& euler, const Joints& neighbour,
                   SolutionList& solutions, int mode) {
    prepareTarget(pos, euler, neighbour);
    armTransform();
    wristTransform();
    Joints& phi = ik.workPhi;

    if (mode == kModePositionOnly) {
        // Every arm candidate that reaches the target and lies in range,
        // wrist joints as given.
        int count = 0;
        solveArmCase();
        const Vec3& tgt = ik.prep.tgtPosB;
        for (int j = 0; j < ik.arm.armCandCount; ++j) {
            const auto& cand = ik.arm.armCand[j];
            for (int i = 0; i < 3; ++i) phi[i] = cand[i];
            armTransform();
            const Vec3 reach = frameApplyPoint(ik.armFrame, ik.wristPointArm);
            const double err = std::fabs(reach.x - tgt.x) + std::fabs(reach.y - tgt.y) +
                               std::fabs(reach.z - tgt.z);
            if (!(err < kReach)) continue;
            bool inRange = true;
            for (int i = 0; i < 3 && inRange; ++i) {
                const JointRange& r = arm.ikJointRange[i];
                inRange = r.lower <= cand[i] && cand[i] <= r.upper;
            }
            if (!inRange) continue;
            Joints& sol = solutions[count];
            for (int i = 0; i < 3; ++i) sol[i] = cand[i];
            for (int i = 3; i < 6; ++i) sol[i] = neighbour[i];
            ++count;
        }
        return count;
    }

    if (mode == kModeCp) {
        return cpRefine(neighbour, solutions[0]) == 'Y' ? 1 : 0;
    }

    // PTP: arm candidates for the neighbour's wrist, perturbing the wrist
    // while there are none.
    int count = 0;
    solveArmCase();
    for (int tries = 1; ik.arm.armCandCount == 0 && tries <= kRetryLimit; ++tries) {
        for (int i = 3; i < 6; ++i) {
            phi[i] += arm.ikJointStep[i];
            if (twoPi < phi[i]) phi[i] -= twoPi;
        }
        wristTransform();
        solveArmCase();
    }
    const ArmCandidateList armList = ik.arm;

    for (int j = 0; j < armList.armCandCount; ++j) {
        const auto& armCand = armList.armCand[j];
        // Wrist candidates for this arm candidate, perturbing the arm while
        // there are none.
        for (int i = 0; i < 3; ++i) phi[i] = armCand[i];
        armTransform();
        wristSolve();
        for (int tries = 1; ik.wrist.wristCandCount == 0 && tries <= kRetryLimit; ++tries) {
            for (int i = 0; i < 3; ++i) phi[i] += arm.ikJointStep[i];
            armTransform();
            wristSolve();
        }
        const WristCandidateList wristList = ik.wrist;

        // Polish every combination from its unperturbed start.
        for (int k = 0; k < wristList.wristCandCount; ++k) {
            for (int i = 0; i < 3; ++i) ik.stagePhi[i] = armCand[i];
            for (int i = 0; i < 3; ++i) ik.stagePhi[3 + i] = wristList.wristCand[k][i];
            phi = ik.stagePhi;
            armTransform();
            wristTransform();
            assert(count < static_cast<int>(solutions.size()));
            if (cpRefine(phi, solutions[count]) != 'N') ++count;
        }
    }
    return count;
}

}  // namespace kin
