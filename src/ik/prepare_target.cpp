#include "ik/kinematics.hpp"
#include "numeric/euler.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

//! The coefficients of the positioning problem for target p0 (link frame 0)
//! and t = p0 through link1Inv, in dependency order.
void stageOneCoefficients(const ArmConstants& arm, const Frame& link2, const Vec3& p0,
                          StageOneCoefficients& s) {
    const Vec3& X1 = arm.link1Inv.X;
    const Vec3& Y1 = arm.link1Inv.Y;
    const Vec3& Z1 = arm.link1Inv.Z;
    const Vec3& O1 = arm.link1Inv.O;
    const Vec3& X2 = link2.X;
    auto& a = s.posCoef;
    for (int r = 0; r < 3; ++r) {
        const double x1 = component(X1, r);
        const double y1 = component(Y1, r);
        a[r][0] = x1 * p0.x + y1 * p0.y;
        a[r][1] = x1 * p0.y - y1 * p0.x;
        a[r][2] = component(Z1, r) * p0.z + component(O1, r);
    }
    const auto& ax = a[0];
    const auto& ay = a[1];
    const auto& az = a[2];

    s.distC = arm.link1InvXO2 * p0.x + arm.link1InvYO2 * p0.y;
    s.distS = arm.link1InvXO2 * p0.y - arm.link1InvYO2 * p0.x;
    s.distK = (p0.x * p0.x + p0.y * p0.y + p0.z * p0.z) + arm.link1InvZO2 * p0.z + arm.link1InvOO;
    s.zDistCross = s.distC * az[1] - s.distS * az[0];
    s.zNorm2 = az[0] * az[0] + az[1] * az[1];
    s.distNorm2 = s.distC * s.distC + s.distS * s.distS;
    s.zDistDot = az[1] * s.distS + az[0] * s.distC;

    const Vec3& t = s.tgtPos01;
    const double u = X1.z * t.x - X1.x * t.z;
    const double v = X1.z * t.y - X1.y * t.z;
    s.slideDot = X1.x * u + X1.y * v;
    s.slideNorm2 = u * u + v * v;
    s.tgt01Dot = X1.x * t.x + X1.y * t.y;
    s.tgt01Norm2 = t.x * t.x + t.y * t.y;

    s.yzCross = ay[0] * az[1] - ay[1] * az[0];
    s.yNorm2 = ay[0] * ay[0] + ay[1] * ay[1];
    s.yzDot = az[1] * ay[1] + az[0] * ay[0];
    s.yzCross2 = s.yzCross * s.yzCross;

    const double h = arm.link2Xh2;
    const double w = arm.link2Xz2;
    s.quadCC = h * az[0] * az[0] - (ax[0] * ax[0] + ay[0] * ay[0]) * w;
    s.quadSS = h * az[1] * az[1] - (ax[1] * ax[1] + ay[1] * ay[1]) * w;
    s.quadCS = h * az[0] * az[1] - (ax[0] * ax[1] + ay[0] * ay[1]) * w;
    s.quadCK = h * az[0] * az[2] - (ax[0] * ax[2] + ay[0] * ay[2]) * w;
    s.quadSK = h * az[1] * az[2] - (ax[1] * ax[2] + ay[1] * ay[2]) * w;
    s.quadKK = h * az[2] * az[2] - (ax[2] * ax[2] + ay[2] * ay[2]) * w + s.quadSS;

    s.link2CrossC = -X2.z * ay[0] + X2.y * az[0];
    s.link2CrossS = -X2.z * ay[1] + X2.y * az[1];
    s.link2CrossNorm2 = s.link2CrossC * s.link2CrossC + s.link2CrossS * s.link2CrossS;
}

}  // namespace

void Kinematics::prepareTarget(const Vec3& pos, const EulerZYZ& euler, const Joints& neighbour) {
    TargetPreparation& p = ik.prep;
    const Axes world = eulerToAxes(euler);
    p.tgtWorldX = world.X;
    p.tgtWorldY = world.Y;
    p.tgtWorldZ = world.Z;

    p.tgtPosB = frameInvApplyPoint(model.baseFrame, pos);
    p.tgtAxisX = frameInvApplyVector(model.baseFrame, p.tgtWorldX);
    p.tgtAxisY = frameInvApplyVector(model.baseFrame, p.tgtWorldY);
    p.tgtAxisZ = cross3(p.tgtAxisX, p.tgtAxisY);
    p.tgtPos0 = frameApplyPoint(arm.link0Inv, p.tgtPosB);

    // The last joint frame's X and Z axes that put the tool axes on the
    // target axes: R * (row x, row z of the tool rotation).
    const Vec3& tx = arm.ikToolX;
    const Vec3& ty = arm.ikToolY;
    const Vec3& tz = arm.ikToolZ;
    p.flangeAxisX = {p.tgtAxisX.x * tx.x + p.tgtAxisY.x * ty.x + p.tgtAxisZ.x * tz.x,
                     p.tgtAxisX.y * tx.x + p.tgtAxisY.y * ty.x + p.tgtAxisZ.y * tz.x,
                     p.tgtAxisX.z * tx.x + p.tgtAxisY.z * ty.x + p.tgtAxisZ.z * tz.x};
    p.flangeAxisZ = {p.tgtAxisX.x * tx.z + p.tgtAxisY.x * ty.z + p.tgtAxisZ.x * tz.z,
                     p.tgtAxisX.y * tx.z + p.tgtAxisY.y * ty.z + p.tgtAxisZ.y * tz.z,
                     p.tgtAxisX.z * tx.z + p.tgtAxisY.z * ty.z + p.tgtAxisZ.z * tz.z};

    ik.s1.tgtPos01 = frameApplyPoint(arm.link1Inv, p.tgtPos0);
    stageOneCoefficients(arm, model.linkFrames[2], p.tgtPos0, ik.s1);

    ik.workPhi = neighbour;
    ik.stagePhi = neighbour;
}

}  // namespace kin
