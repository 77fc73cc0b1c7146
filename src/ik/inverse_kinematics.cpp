#include <cassert>
#include <cmath>
#include <cstdio>

#include "ik/kinematics.hpp"
#include "numeric/euler.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

constexpr double kReach = 1e-5;  //!< position-only acceptance (sum of coordinate errors)
constexpr int kRetryLimit = 5;
//! Position-only answers closer than this in each arm joint are one.
constexpr double kSameRoot = 1e-9;   //!< perturbed retries of an empty PTP candidate list

//! Sum of the absolute coordinate differences between the tool point reached
//! with arm joints q (the wrist as the last solve left it) and the target.
double reachError(Kinematics& e, const std::array<double, 3>& q, Vec3& miss) {
    for (int i = 0; i < 3; ++i) e.ik.workPhi[i] = q[i];
    e.armTransform();
    const Vec3 reach = frameApplyPoint(e.ik.armFrame, e.ik.wristPointArm);
    const Vec3& tgt = e.ik.prep.tgtPosB;
    miss = {reach.x - tgt.x, reach.y - tgt.y, reach.z - tgt.z};
    return std::fabs(miss.x) + std::fabs(miss.y) + std::fabs(miss.z);
}

//! Newton steps on the tool position over the arm joints, for a candidate
//! that misses the target. Near a double root of the case solver's
//! equation (two nearly equal elbow solutions, say) a candidate can miss by
//! far more than rounding although a solution lies close by. The Jacobian
//! is taken by forward differences. Turning joints are folded back into
//! [-pi, pi]. Returns the final reach error (not a number when a step fails).
double polishCandidate(Kinematics& e, std::array<double, 3>& q) {
    constexpr int kSteps = 8;
    constexpr double kDelta = 1e-7;
    Vec3 miss;
    double err = reachError(e, q, miss);
    for (int k = 0; k < kSteps && err > 1e-13; ++k) {
        double J[3][3];
        for (int j = 0; j < 3; ++j) {
            std::array<double, 3> moved = q;
            moved[j] += kDelta;
            Vec3 m;
            reachError(e, moved, m);
            J[0][j] = (m.x - miss.x) / kDelta;
            J[1][j] = (m.y - miss.y) / kDelta;
            J[2][j] = (m.z - miss.z) / kDelta;
        }
        const double c0 = J[1][1] * J[2][2] - J[1][2] * J[2][1];
        const double c1 = J[1][2] * J[2][0] - J[1][0] * J[2][2];
        const double c2 = J[1][0] * J[2][1] - J[1][1] * J[2][0];
        const double det = J[0][0] * c0 + J[0][1] * c1 + J[0][2] * c2;
        const double b[3] = {miss.x, miss.y, miss.z};
        const double step[3] = {
            (c0 * b[0] + (J[0][2] * J[2][1] - J[0][1] * J[2][2]) * b[1] +
             (J[0][1] * J[1][2] - J[0][2] * J[1][1]) * b[2]) / det,
            (c1 * b[0] + (J[0][0] * J[2][2] - J[0][2] * J[2][0]) * b[1] +
             (J[0][2] * J[1][0] - J[0][0] * J[1][2]) * b[2]) / det,
            (c2 * b[0] + (J[0][1] * J[2][0] - J[0][0] * J[2][1]) * b[1] +
             (J[0][0] * J[1][1] - J[0][1] * J[1][0]) * b[2]) / det};
        for (int i = 0; i < 3; ++i) {
            if (!std::isfinite(step[i])) return NAN;
            q[i] -= step[i];
            if (e.arm.ikJtype[i] == 'R') {
                if (q[i] > piValue) q[i] -= twoPi;
                if (q[i] < -piValue) q[i] += twoPi;
            }
        }
        err = reachError(e, q, miss);
    }
    return err;
}

}  // namespace

int Kinematics::inverseKinematics(int dof, const Vec3& pos, const Axes& axes, const Joints& neighbour,
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

int Kinematics::ikCore(const Vec3& pos, const EulerZYZ& euler, const Joints& neighbour,
                   SolutionList& solutions, int mode) {
    prepareTarget(pos, euler, neighbour);
    armTransform();
    wristTransform();
    Joints& phi = ik.workPhi;

    if (mode == kModePositionOnly) {
        // Every distinct arm candidate that reaches the target and lies in
        // range, wrist joints as given. A candidate that misses is polished first
        // and kept if it then reaches.
        int count = 0;
        solveArmCase();
        const Vec3& tgt = ik.prep.tgtPosB;
        for (int j = 0; j < ik.arm.armCandCount; ++j) {
            std::array<double, 3> cand = ik.arm.armCand[j];
            for (int i = 0; i < 3; ++i) phi[i] = cand[i];
            armTransform();
            const Vec3 reach = frameApplyPoint(ik.armFrame, ik.wristPointArm);
            const double err = std::fabs(reach.x - tgt.x) + std::fabs(reach.y - tgt.y) +
                               std::fabs(reach.z - tgt.z);
            if (!(err < kReach) && !(polishCandidate(*this, cand) < kReach)) continue;
            bool inRange = true;
            for (int i = 0; i < 3 && inRange; ++i) {
                const JointRange& r = arm.ikJointRange[i];
                inRange = r.lower <= cand[i] && cand[i] <= r.upper;
            }
            if (!inRange) continue;
            // Two candidates can polish onto one root: list it once.
            bool listed = false;
            for (int k = 0; k < count && !listed; ++k) {
                listed = std::fabs(solutions[k][0] - cand[0]) <= kSameRoot &&
                         std::fabs(solutions[k][1] - cand[1]) <= kSameRoot &&
                         std::fabs(solutions[k][2] - cand[2]) <= kSameRoot;
            }
            if (listed) continue;
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
