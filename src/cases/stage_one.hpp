#pragma once
//! Coefficients of the positioning problem that depend only on the target
//! and the arm, computed once per inverse-kinematics run.
//!
//! p0 is the target in link frame 0 (before joint 0 moves); X1, Y1, Z1, O1
//! are the axes and origin of link1Inv; X2 is the X axis of link frame 2;
//! a = posCoef. The squared distance of the target from the origin of link
//! frame 1 is distC*cos q0 + distS*sin q0 + distK.

#include "numeric/geometry_types.hpp"

namespace kin {

struct StageOneCoefficients {
    //! posCoef[r] = (cos, sin, constant) coefficients of component r (x, y,
    //! z) of link1Inv applied to p0 with joint 0's rotation undone.
    double posCoef[3][3] = {};
    double distC = 0.0, distS = 0.0, distK = 0.0;
    double zDistCross = 0.0, zNorm2 = 0.0, distNorm2 = 0.0, zDistDot = 0.0;
    Vec3 tgtPos01;  //!< p0 through link1Inv (joint 0 at zero)
    double slideDot = 0.0, slideNorm2 = 0.0, tgt01Dot = 0.0, tgt01Norm2 = 0.0;
    double yzCross = 0.0, yNorm2 = 0.0, yzDot = 0.0, yzCross2 = 0.0;
    double quadCC = 0.0, quadSS = 0.0, quadCS = 0.0, quadCK = 0.0, quadSK = 0.0;
    double quadKK = 0.0;  //!< includes + quadSS
    double link2CrossC = 0.0, link2CrossS = 0.0, link2CrossNorm2 = 0.0;
};

}  // namespace kin
