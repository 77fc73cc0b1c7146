#include "cases/case_solvers.hpp"
namespace kin {
// placeholders
void solveCaseRSR(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
void solveCaseSSR(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
void solveCaseRSS(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
void solveCaseSSS(const CaseProblem&, ArmCandidateList& out) { out.armCandCount = 0; }
}  // namespace kin
