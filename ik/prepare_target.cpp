#include "ik/engine.hpp"
namespace kin {
void Engine::prepareTarget(const Vec3&, const EulerZYZ&, const Joints&) {}
}
