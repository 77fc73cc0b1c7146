#pragma once
//! Working records of one inverse-kinematics run. They live in the engine
//! and keep their values between runs; every run rewrites what it reads
//! before reading it.

#include <array>

#include "cases/case_solvers.hpp"
#include "cases/stage_one.hpp"
#include "numeric/geometry_types.hpp"

namespace kin {

//! Status of a decomposition pass or a refinement: 'Y' clean, 'O' the wrist
//! solve needed nudges of the arm joints, 'P' the arm solve needed nudges of
//! the wrist joints, 'N' failed.
using PassStatus = char;

//! The target as the caller gave it.
struct TargetRecord {
    Vec3 tgtPosIn;
    Axes tgtAxesIn;  //!< X, Y, Z axes (rows of the caller's 3x3)
    EulerZYZ tgtEuler;
};

//! The target carried into the frames the solvers work in.
struct TargetPreparation {
    Vec3 tgtWorldX, tgtWorldY, tgtWorldZ;  //!< axes rebuilt from tgtEuler
    Vec3 tgtPosB;                          //!< target position, base frame
    Vec3 tgtAxisX, tgtAxisY, tgtAxisZ;     //!< base frame; Z = X x Y
    Vec3 flangeAxisX, flangeAxisZ;         //!< required axes of the last joint frame
    Vec3 tgtPos0;                          //!< target in link frame 0
};

//! Wrist-joint candidates (joints 3..5): 0 or 2 entries.
struct WristCandidateList {
    std::array<std::array<double, 3>, 2> wristCand{};
    int wristCandCount = 0;
};

//! Working vectors of the refinement, kept between calls so that a failed
//! pass that writes no change leaves the previous value in place.
struct RefineWork {
    Joints res{}, res2{};
    std::array<double, 3> diff{}, diff2{};
    Joints baseRes{}, pertRes{};
    std::array<double, 3> baseDiff{}, pertDiff{};
    Joints passRecord{};  //!< start record of the decomposition pass
};

struct IkData {
    TargetRecord target;
    TargetPreparation prep;
    StageOneCoefficients s1;
    Joints workPhi{};   //!< joints the decomposition transforms read
    Joints stagePhi{};  //!< combination being polished (PTP)
    Frame armFrame{};   //!< joints 0..2: frame in which joint 3 starts, base coordinates
    Frame wristFrame{};  //!< joints 3..5: last joint frame in that frame
    Vec3 wristPointArm;  //!< tool point through wristFrame
    ArmCandidateList arm;
    WristCandidateList wrist;
    RefineWork refine;
};

}  // namespace kin
