#pragma once
//! Arm classification: the case number from the letters of joints 0..2 and
//! every arm-dependent constant the inverse kinematics reads.

#include <array>

#include "arm/arm_model.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

struct ArmConstants {
    //! 0..7 from the letters of joints 0, 1, 2: RRR 0, SRR 1, RSR 2, RRS 3,
    //! SSR 4, SRS 5, RSS 6, SSS 7.
    //! Kept as it was when a letter is neither 'R' nor 'S'.
    int armCase = 0;
    std::array<char, 8> ikJtype{};  //!< copy of the joint letters, no terminator
    std::array<JointRange, kMaxJoints> ikJointRange{};
    std::array<double, kMaxJoints> ikJointStep{};  //!< (upper - lower) / ikGridDivisions
    static constexpr int ikGridDivisions = 30;
    Vec3 ikToolPoint;
    Vec3 ikToolX;
    Vec3 ikToolY;
    Vec3 ikToolZ;  //!< ikToolX x ikToolY
    Frame link0Inv{};
    Frame link1Inv{};  //!< X1, Y1, Z1, O1 of the case solvers
    double link2XO2 = 0.0, link2YO2 = 0.0, link2ZO2 = 0.0;  //!< 2(X2.O2), 2(Y2.O2), 2(Z2.O2)
    double link2OO = 0.0;                                   //!< O2.O2
    double link1InvXO2 = 0.0, link1InvYO2 = 0.0, link1InvZO2 = 0.0;  //!< 2(X1.O1), ...
    double link1InvOO = 0.0;                                         //!< O1.O1
    double link1InvXh2 = 0.0;  //!< X1.x^2 + X1.y^2
    double link1InvXz2 = 0.0;  //!< X1.z^2
    double link2Xh2 = 0.0;     //!< X2.x^2 + X2.y^2
    double link2Xz2 = 0.0;     //!< X2.z^2
    double slideTiltDet = 0.0;  //!< link1InvXh2*link2Xz2 - link1InvXz2*link2Xh2
    double slideCrossX = 0.0;   //!< X1.y*X2.z - X1.z*X2.y
    double link4Zz = 0.0, link5Zz = 0.0;    //!< z of link frames 4, 5's Z axes
    double link4Zh2 = 0.0, link5Zh2 = 0.0;  //!< Z.x^2 + Z.y^2 of the same
    //! frameMul(identity, link frame 0) and frameMul(identity, link frame 3):
    //! the first product of armTransform and wristTransform, which depends on
    //! the arm alone, kept here so the transforms do not form it every time.
    Frame armChainStart{};
    Frame wristChainStart{};
};

//! Recomputes every record from the model. Returns 1.
int classifyArm(const ArmModel& model, ArmConstants& arm);

}  // namespace kin
