#include "cases/trig_equations.hpp"
namespace kin {
int solveTrigLinear(double, double, double, CirclePoints&) { return 0; }  // placeholder
int solveTrigConic(double, double, double, double, double, double, CirclePoints&) { return 0; }
int solveQuadraticFull(double, double, double, std::array<double, 2>&) { return 0; }
}  // namespace kin
