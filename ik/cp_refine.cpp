#include "ik/engine.hpp"
namespace kin {
PassStatus Engine::cpRefine(const Joints&, Joints&) { return 'N'; }
PassStatus Engine::newtonStep(const Joints&, std::array<double, 3>&) { return 'N'; }
}
