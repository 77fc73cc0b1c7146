#include "numeric/polynomial.hpp"
namespace kin {
int solveQuadratic(double, double, std::span<double, 2>) { return 0; }  // placeholder
}
