#pragma once
//! The eight arm cases: the letters of joints 0..2 and the closed-form
//! solver for each. The classification looks a case up by its letters; the
//! dispatch runs its solver.

#include <array>

#include "cases/case_solvers.hpp"

namespace kin {

using CaseSolver = void (*)(const CaseProblem&, ArmCandidateList&);

struct ArmCase {
    char letters[4];  //!< joints 0, 1, 2, then NUL
    CaseSolver solve;
};

//! Indexed by the case number armCase.
inline constexpr std::array<ArmCase, 8> kArmCases{{
    {"RRR", solveCaseRRR},  // 0
    {"SRR", solveCaseSRR},  // 1
    {"RSR", solveCaseRSR},  // 2
    {"RRS", solveCaseRRS},  // 3
    {"SSR", solveCaseSSR},  // 4
    {"SRS", solveCaseSRS},  // 5
    {"RSS", solveCaseRSS},  // 6
    {"SSS", solveCaseSSS},  // 7
}};

//! The case number of the letters t[0..2], or -1 when one of them is
//! neither 'R' nor 'S'.
int armCaseOfLetters(const char* t);

//! Sets wristPointArm to wristFrame applied to the tool point, then runs the
//! solver of arm.armCase into out. A case number outside 0..7 runs nothing
//! and leaves out as it was.
void solveArmCase(const ArmConstants& arm, const Frame& link2, const StageOneCoefficients& s1,
                  const Frame& wristFrame, Vec3& wristPointArm, ArmCandidateList& out);

}  // namespace kin
