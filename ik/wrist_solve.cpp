#include "ik/engine.hpp"
namespace kin {
void Engine::wristSolve() {}
}
