#include "numeric/polynomial.hpp"
namespace kin {
int solveQuartic(double, double, double, double, std::span<double, 4>) { return 0; }  // placeholder
}
