#pragma once
// Arm descriptions and engine set-up shared by the tests.

#include <array>
#include <cmath>
#include <random>

#include "ik/engine.hpp"
#include "numeric/euler.hpp"

namespace kin::testing {

// The console program's arm: six turning joints standing straight up, a
// vertical waist, shoulder and elbow axes at heights 1.1 and 2.0, a wrist
// centre at 3.0 and the tool point at 3.2.
inline ArmDescription builtinArm() {
    const Axes identity{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Axes aboutY{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};  // joint turns about world Y
    ArmDescription d;
    for (int i = 0; i < 6; ++i) d.JTYPE[i] = 'R';
    d.armBaseAxes = identity;
    const double heights[7] = {0.0, 1.1, 2.0, 3.0, 3.0, 3.0, 3.2};
    const Axes* axes[7] = {&identity, &aboutY, &aboutY, &identity, &aboutY, &identity, &identity};
    for (int k = 0; k < 7; ++k) {
        d.armJointPos[k] = {0.0, 0.0, heights[k]};
        d.armJointAxes[k] = *axes[k];
    }
    return d;
}

// Sets an engine up from a description of six joints.
inline void setUp(Engine& engine, const ArmDescription& d) {
    Frame base;
    std::array<Frame, kMaxJoints + 1> links;
    engine.armSetup(6, d, base, links);
}

// Target pose (position, axes) of joint vector q.
struct Pose {
    Vec3 pos;
    EulerZYZ euler;
    Axes axes;
};

inline Pose poseOf(Engine& engine, const Joints& q) {
    Pose p;
    engine.analys(6, q.data(), p.pos, p.euler);
    p.axes = eulerToAxes(p.euler);
    return p;
}

// Angular distance modulo 2 pi.
inline double angleGap(double a, double b) {
    return std::fabs(std::remainder(a - b, 2.0 * M_PI));
}

}  // namespace kin::testing
