#include "cases/case_solvers.hpp"
namespace kin {
// placeholders
void solveCaseSRR(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
void solveCaseRRS(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
void solveCaseSRS(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
}  // namespace kin
