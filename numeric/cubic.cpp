#include "numeric/polynomial.hpp"
namespace kin {
int solveCubic(double, double, double, std::span<double, 3>) { return 1; }  // placeholder
}
