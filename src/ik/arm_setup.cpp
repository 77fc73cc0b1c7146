#include "ik/kinematics.hpp"

namespace kin {

int Kinematics::armSetup(int n, std::string_view jtype, const Vec3& basePos, const Axes& baseAxes,
                     std::span<const Vec3> jointPos, std::span<const Axes> jointAxes,
                     Frame& baseOut, std::span<Frame> linksOut) {
    const int r = deriveLinks(model, n, jtype, basePos, baseAxes, jointPos, jointAxes, baseOut,
                              linksOut);
    if (r != 0) classifyArm();
    return r;
}

int Kinematics::armSetup(int dof, const ArmDescription& d, Frame& baseOut, std::span<Frame> linksOut) {
    return armSetup(dof, std::string_view(d.JTYPE.data()), d.armBasePos, d.armBaseAxes,
                    d.armJointPos, d.armJointAxes, baseOut, linksOut);
}

}  // namespace kin
