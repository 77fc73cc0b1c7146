#pragma once
//! What the elimination method knows about one arm: where it cuts the
//! closed loop (target, six joints) and the constant coefficients of the
//! loop's side that holds no target. Written once per arm by
//! buildElimination; only read afterwards.

#include <array>

#include "numeric/geometry_types.hpp"

namespace kin::solver {

//! The loop equations kept after the cut: the joint-axis direction l and
//! point p of the cut joint, p.p, l.p, l x p and l (p.p) - 2 p (l.p).
inline constexpr int kLoopEquations = 14;
//! Coefficients per equation on the constant side: three joints, each
//! through (1, cos u, sin u), or (1, u, u^2) for a sliding joint.
inline constexpr int kLeftTerms = 27;

//! Coefficients of the 14 equations over the 27 terms of loop positions
//! 2, 3, 4 (position 2's term varies slowest).
using LeftCoefficients = std::array<std::array<double, kLeftTerms>, kLoopEquations>;

//! The loop, read in one direction from one joint: K0 E0 K1 E1 ... K5 E5 is
//! the identity, K the joint motions and E the links after them, one of
//! which holds the target. Positions 0, 1 are eliminated, 2 is
//! the variable of the final equation, 3, 4 come from its null vector, 5 is
//! cut (a turning joint: its axis is what the equations follow).
struct LoopCut {
    bool usable = false;      //!< the arm has a cut whose answers recover its own poses
    bool reversed = false;    //!< the loop runs from the tool to the base
    int targetAt = 5;         //!< which link holds the target
    std::array<int, 6> joint{};       //!< arm joint at each loop position
    std::array<double, 6> sign{};     //!< loop variable = sign * joint value
    std::array<char, 6> type{};       //!< 'R' turning, 'S' sliding
    std::array<Frame, 6> link{};      //!< E at each position (scaled); the target's is per pose
    Frame baseLink{};         //!< base frame times the first link (scaled)
    Frame toolInverse{};      //!< the tool frame's inverse (scaled)
    double scale = 1.0;       //!< lengths are divided by this
    //! The constant side's coefficients, when it holds no target (targetAt
    //! 0 or 5); otherwise found per pose.
    LeftCoefficients left{};
    double recovery = 0.0;    //!< worst joint error on the set-up check poses
    double highTerms = 0.0;   //!< largest determinant term above degree 8 there
    int detSamples = 32;      //!< determinant samples per turn: 32, or 18 for degree 8
};

}  // namespace kin::solver
