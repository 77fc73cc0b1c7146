#include "ik/engine.hpp"
namespace kin {
// placeholder
int Engine::inverseKinematics(int, const Vec3&, const Axes&, const Joints&, SolutionList&, int) { return 0; }
int Engine::ikCore(const Vec3&, const EulerZYZ&, const Joints&, SolutionList&, int) { return 0; }
}
