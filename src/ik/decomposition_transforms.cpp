#include <cmath>

#include "ik/kinematics.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

//! Product of link frames first..first+2, each followed by its joint's
//! motion: a turn about the local Z axis for 'R', a slide along the local X
//! axis for any other letter.
Frame chainJoints(const ArmModel& model, const ArmConstants& arm, const Joints& q, int first) {
    Frame T = identityFrame();
    for (int k = first; k < first + 3; ++k) {
        // The first product, identity x link frame, was formed by classifyArm.
        const Frame M = k > first ? frameMul(T, model.linkFrames[k])
                                  : (first == 0 ? arm.armChainStart : arm.wristChainStart);
        if (arm.ikJtype[k] == 'R') {
            const double c = std::cos(q[k]);
            const double s = std::sin(q[k]);
            T.X = {c * M.X.x + s * M.Y.x, c * M.X.y + s * M.Y.y, c * M.X.z + s * M.Y.z};
            T.Y = {-s * M.X.x + c * M.Y.x, -s * M.X.y + c * M.Y.y, -s * M.X.z + c * M.Y.z};
            T.Z = M.Z;
            T.O = M.O;
        } else {
            T.X = M.X;
            T.Y = M.Y;
            T.Z = M.Z;
            T.O = {M.X.x * q[k] + M.O.x, M.X.y * q[k] + M.O.y, M.X.z * q[k] + M.O.z};
        }
    }
    return T;
}

}  // namespace

void Kinematics::armTransform() { ik.armFrame = chainJoints(model, arm, ik.workPhi, 0); }

void Kinematics::wristTransform() { ik.wristFrame = chainJoints(model, arm, ik.workPhi, 3); }

}  // namespace kin
