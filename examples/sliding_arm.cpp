// A cylindrical arm used through the engine as a library: describe it, run
// forward kinematics, ask for every PTP solution of the pose and check each.
//
// Joint 0 turns the column about world Z, joint 1 lifts the carriage along
// world Z, joint 2 slides the boom along world X; joints 3 to 5 are a
// spherical wrist (about Z, Y, Z) at the end of the boom.

#include <cmath>
#include <cstdio>

#include "ik/engine.hpp"
#include "numeric/euler.hpp"

int main() {
    using namespace kin;

    // Axes of each joint frame at zero displacement, in world coordinates.
    // A turning joint turns about its frame's Z axis, a sliding joint moves
    // along its frame's X axis.
    const Axes upright{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Axes liftAxes{{0, 0, 1}, {0, -1, 0}, {1, 0, 0}};  // X along world Z
    const Axes aboutY{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};     // Z along world Y

    ArmDescription arm;
    const char letters[] = "RSSRRR";
    for (int i = 0; i < 6; ++i) arm.JTYPE[i] = letters[i];
    arm.armBasePos = {0, 0, 0};
    arm.armBaseAxes = upright;
    const Vec3 wristCentre{0.8, 0.0, 0.6};
    const Vec3 origins[7] = {{0, 0, 0},   {0.2, 0, 0.3}, {0.2, 0, 0.6}, wristCentre,
                             wristCentre, wristCentre,   {0.8, 0, 0.8}};  // last: tool point
    const Axes* axes[7] = {&upright, &liftAxes, &upright, &upright, &aboutY, &upright, &upright};
    for (int k = 0; k < 7; ++k) {
        arm.armJointPos[k] = origins[k];
        arm.armJointAxes[k] = *axes[k];
    }

    Engine engine;
    Frame base;
    std::array<Frame, 7> links;
    engine.armSetup(6, arm, base, links);

    // Forward kinematics: radians for turning joints, metres for slides.
    const Joints typed{0.7, 0.25, 0.4, -0.5, 1.2, 0.3};
    Vec3 pos;
    EulerZYZ euler;
    engine.analys(typed, pos, euler);
    const Axes toolAxes = eulerToAxes(euler);

    // Every solution of that pose; the start vector only seeds the search.
    SolutionList solutions{};
    const int count = engine.inverseKinematics(6, pos, toolAxes, Joints{}, solutions, kModePtp);

    // Check each solution by forward kinematics.
    bool allGood = count > 0;
    for (int k = 0; k < count; ++k) {
        Vec3 p;
        EulerZYZ e;
        engine.analys(solutions[k], p, e);
        const Axes a = eulerToAxes(e);
        const double gap = std::fabs(p.x - pos.x) + std::fabs(p.y - pos.y) +
                           std::fabs(p.z - pos.z) + std::fabs(a.Z.x - toolAxes.Z.x) +
                           std::fabs(a.Z.y - toolAxes.Z.y) + std::fabs(a.Z.z - toolAxes.Z.z) +
                           std::fabs(a.X.x - toolAxes.X.x) + std::fabs(a.X.y - toolAxes.X.y) +
                           std::fabs(a.X.z - toolAxes.X.z);
        allGood = allGood && gap < 1e-4;
    }
    std::printf("%d solutions, %s\n", count, allGood ? "all reproduce the pose" : "MISMATCH");
    return allGood ? 0 : 1;
}
