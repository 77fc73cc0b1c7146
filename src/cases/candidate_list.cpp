#include <cassert>

#include "cases/case_solvers.hpp"

namespace kin {

void ArmCandidateList::append(double q0, double q1, double q2) {
    assert(armCandCount < static_cast<int>(armCand.size()));
    if (armCandCount >= static_cast<int>(armCand.size())) return;
    armCand[armCandCount] = {q0, q1, q2};
    ++armCandCount;
}

}  // namespace kin
