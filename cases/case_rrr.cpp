#include "cases/case_solvers.hpp"
namespace kin {
void solveCaseRRR(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }  // placeholder
}
