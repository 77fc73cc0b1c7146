#pragma once
//! Closed-form solvers for arm joints 0..2: every (q0, q1, q2) that brings
//! the point w (the tool point seen from the frame in which joint 3 starts)
//! to the target, for each turning/sliding combination of the three joints.
//!
//! The problem is split at joint 1: M1(q1) * u = V with
//! u = L2 * M2(q2) * w and V = link1Inv * M0(q0)^-1 * p0.

#include <array>

#include "cases/arm_constants.hpp"
#include "cases/stage_one.hpp"

namespace kin {

//! Arm-joint candidates; no case solver produces more than four.
struct ArmCandidateList {
    std::array<std::array<double, 3>, 4> armCand{};
    int armCandCount = 0;

    //! Appends (q0, q1, q2); a fifth candidate would be a solver bug and is
    //! dropped (asserted in debug builds).
    void append(double q0, double q1, double q2);
};

//! What a case solver reads.
struct CaseProblem {
    const ArmConstants& arm;        //!< X1 = arm.link1Inv.X and the link constants
    const Frame& link2;             //!< link frame 2: X2, Y2, Z2, O2
    const StageOneCoefficients& s1;  //!< target coefficients
    const Vec3& w;                  //!< wristPointArm
};

//! Each solver clears the list, then appends its candidates in order.
void solveCaseRRR(const CaseProblem& P, ArmCandidateList& out);  // case 0
void solveCaseSRR(const CaseProblem& P, ArmCandidateList& out);  // case 1
void solveCaseRSR(const CaseProblem& P, ArmCandidateList& out);  // case 2
void solveCaseRRS(const CaseProblem& P, ArmCandidateList& out);  // case 3
void solveCaseSSR(const CaseProblem& P, ArmCandidateList& out);  // case 4
void solveCaseSRS(const CaseProblem& P, ArmCandidateList& out);  // case 5
void solveCaseRSS(const CaseProblem& P, ArmCandidateList& out);  // case 6
void solveCaseSSS(const CaseProblem& P, ArmCandidateList& out);  // case 7

}  // namespace kin
