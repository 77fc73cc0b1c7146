#include "ik/engine.hpp"
namespace kin {
void Engine::armTransform() {}
void Engine::wristTransform() {}
}
