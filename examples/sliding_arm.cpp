// A cylindrical arm used through the public interface: describe it, run
// forward kinematics, ask for every solution of the pose and check each.
//
// Joint 0 turns the column about world Z, joint 1 lifts the carriage along
// world Z, joint 2 slides the boom along world X; joints 3 to 5 are a
// spherical wrist (about Z, Y, Z) at the end of the boom.

#include <cstdio>

#include <armkin/armkin.hpp>

int main() {
    // Axes of each joint frame at zero displacement, in world coordinates.
    // A turning joint turns about its frame's Z axis, a sliding joint moves
    // along its frame's X axis.
    const armkin::Axes upright{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const armkin::Axes lift{{0, 0, 1}, {0, -1, 0}, {1, 0, 0}};   // X along world Z
    const armkin::Axes aboutY{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};  // Z along world Y

    armkin::ArmDescription arm;
    const char letters[] = "RSSRRR";
    for (int i = 0; i < 6; ++i) arm.JTYPE[i] = letters[i];
    arm.armBaseAxes = upright;
    const armkin::Vec3 wrist{0.8, 0.0, 0.6};
    const armkin::Vec3 origins[7] = {{0, 0, 0}, {0.2, 0, 0.3}, {0.2, 0, 0.6}, wrist,
                                     wrist,     wrist,         {0.8, 0, 0.8}};  // last: tool
    const armkin::Axes axes[7] = {upright, lift, upright, upright, aboutY, upright, upright};
    for (int k = 0; k < 7; ++k) {
        arm.armJointPos[k] = origins[k];
        arm.armJointAxes[k] = axes[k];
    }

    armkin::Engine engine;
    if (const armkin::SetupResult r = engine.setUp(arm); !r) {
        std::fprintf(stderr, "bad arm: %s\n", armkin::describe(r).c_str());
        return 2;
    }

    // Forward kinematics: radians for turning joints, metres for slides.
    armkin::Pose pose;
    engine.forward({0.7, 0.25, 0.4, -0.5, 1.2, 0.3}, pose);

    // Every branch of that pose, each to 1e-10 m and 1e-10 rad.
    armkin::SolveResult found;
    if (engine.solve(pose, armkin::SolveOptions{}, found) == 0) {
        std::fprintf(stderr, "no solution: %s\n", armkin::describe(found));
        return 1;
    }
    bool allGood = true;
    for (int k = 0; k < found.count; ++k) {
        const armkin::Solution& s = found.solutions[k];
        std::printf("q = (%7.4f %7.4f %7.4f %7.4f %7.4f %7.4f)  off by %.1e m, %.1e rad, %s\n",
                    s.joints[0], s.joints[1], s.joints[2], s.joints[3], s.joints[4], s.joints[5],
                    s.positionError, s.rotationError, armkin::name(s.status));
        allGood = allGood && s.positionError <= 1e-10 && s.rotationError <= 1e-10;
    }
    std::printf("%d solutions, %s\n", found.count, allGood ? "all reproduce the pose" : "MISMATCH");
    return allGood ? 0 : 1;
}
