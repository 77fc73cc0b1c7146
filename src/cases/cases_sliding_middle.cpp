//! Arms whose joint 1 slides along the X axis of its link frame.
//!
//! Joint 1 then moves a point only along x in link frame 1, so both sides
//! must agree in
//!   y equation:  u.y = V.y
//!   z equation:  u.z = V.z
//! and joint 1's slide is simply d1 = V.x - u.x. The two equations fix the
//! other two unknowns; nothing is rejected after they are solved.

#include <array>
#include <cmath>

#include "cases/case_helpers.hpp"
#include "cases/trig_equations.hpp"
#include "numeric/frame.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

//! Joints 0 and 2 turn, joint 1 slides.
void solveCaseRSR(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const auto [Uc, Us, Uk] = detail::turningJoint2(P.link2, P.w);
    const auto [Vc, Vs, Vk] = detail::turningJoint0(P.s1);
    const StageOneCoefficients& s1 = P.s1;
    // Residuals Ry = u.y - Vk.y and Rz = u.z - Vk.z, as functions of theta2,
    // must equal the theta0-dependent parts of V.y and V.z.
    const double ey = Uk.y - Vk.y;
    const double ez = Uk.z - Vk.z;
    CirclePoints pts;

    if (std::fabs(s1.yzCross) > ikEps) {
        // Solve the y and z equations for (cos, sin) theta0; cos^2 + sin^2 = 1
        // leaves a conic in (cos, sin) theta2:
        //   yNorm2*Rz^2 + zNorm2*Ry^2 - 2*yzDot*Ry*Rz - yzCross^2 = 0.
        const double yN = s1.yNorm2;
        const double zN = s1.zNorm2;
        const double yz = s1.yzDot;
        const double A = yN * Uc.z * Uc.z + zN * Uc.y * Uc.y - 2 * yz * Uc.y * Uc.z;
        const double B = yN * Us.z * Us.z + zN * Us.y * Us.y - 2 * yz * Us.y * Us.z;
        const double C = yN * Uc.z * Us.z + zN * Uc.y * Us.y - yz * (Us.y * Uc.z + Uc.y * Us.z);
        const double D = yN * Uc.z * ez + zN * Uc.y * ey - yz * (Uc.z * ey + Uc.y * ez);
        const double E = yN * Us.z * ez + zN * Us.y * ey - yz * (Us.z * ey + Us.y * ez);
        const double F = yN * ez * ez + zN * ey * ey - 2 * yz * ey * ez - s1.yzCross2;
        const int nPts = solveTrigConic(A, B, C, D, E, F + B, pts);
        for (int i = 0; i < nPts; ++i) {
            const double x = pts.x[i];
            const double y = pts.y[i];
            const double Ry = y * Us.y + x * Uc.y + ey;
            const double Rz = y * Us.z + x * Uc.z + ez;
            const double c0 = (Ry * Vs.z - Rz * Vs.y) / s1.yzCross;
            const double s0 = (Rz * Vc.y - Ry * Vc.z) / s1.yzCross;
            const double ux = y * Us.x + x * Uc.x + Uk.x;
            const double vx = s0 * Vs.x + c0 * Vc.x + Vk.x;
            out.append(std::atan2(s0, c0), vx - ux, std::atan2(y, x));
        }
        return;
    }

    // The two equations are dependent in theta0: a combination of them free
    // of theta0 fixes theta2, then one equation gives theta0.
    double a = 0.0, b = 0.0, c = 0.0;
    if (std::fabs(Vc.y) > ikEps) {
        a = Uc.z * Vc.y - Uc.y * Vc.z;
        b = Us.z * Vc.y - Us.y * Vc.z;
        c = ez * Vc.y - ey * Vc.z;
    } else if (std::fabs(Vs.y) > ikEps) {
        a = Uc.z * Vs.y - Uc.y * Vs.z;
        b = Us.z * Vs.y - Us.y * Vs.z;
        c = ez * Vs.y - ey * Vs.z;
    } else {
        // V.y does not depend on theta0: the y equation involves theta2 only.
        a = Uc.y;
        b = Us.y;
        c = ey;
    }
    const int nPts = solveTrigLinear(a, b, c, pts);
    for (int i = 0; i < nPts; ++i) {
        const double x = pts.x[i];
        const double y = pts.y[i];
        const double theta2 = std::atan2(y, x);
        const double Ry = x * Uc.y + y * Us.y + ey;
        const double Rz = x * Uc.z + y * Us.z + ez;
        CirclePoints pts0;
        const int nPts0 = std::fabs(Vc.y) + std::fabs(Vs.y) <= ikEps
                              ? solveTrigLinear(Vc.z, Vs.z, -Rz, pts0)
                              : solveTrigLinear(Vc.y, Vs.y, -Ry, pts0);
        for (int j = 0; j < nPts0; ++j) {
            const double c0 = pts0.x[j];
            const double s0 = pts0.y[j];
            const double ux = y * Us.x + x * Uc.x + Uk.x;
            const double vx = s0 * Vs.x + c0 * Vc.x + Vk.x;
            out.append(std::atan2(s0, c0), vx - ux, theta2);
        }
    }
}

//! Joints 0 and 1 slide, joint 2 turns.
void solveCaseSSR(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const auto [Uc, Us, Uk] = detail::turningJoint2(P.link2, P.w);
    const Vec3& X1 = P.arm.link1Inv.X;
    const Vec3& Q0 = P.s1.tgtPos01;
    // Determinant of the y and z equations in (cos, sin) theta2.
    const double det = Uc.y * Us.z - Uc.z * Us.y;

    if (std::fabs(det) > ikEps) {
        // Solve the two equations for (cos, sin) theta2 as functions of d0;
        // cos^2 + sin^2 = 1 is a quadratic in d0.
        const double Pq = X1.z * Us.y - X1.y * Us.z;
        const double G = X1.z * Uc.y - X1.y * Uc.z;
        const double Ky = (Q0.y - Uk.y) * Us.z - (Q0.z - Uk.z) * Us.y;
        const double Kz = (Q0.y - Uk.y) * Uc.z - (Q0.z - Uk.z) * Uc.y;
        std::array<double, 2> d0s{};
        const int nRoots =
            solveQuadraticFull(G * G + Pq * Pq, G * Kz + Pq * Ky, (Kz * Kz + Ky * Ky) - det * det, d0s);
        for (int j = 0; j < nRoots; ++j) {
            const double d0 = d0s[j];
            const double ry = (Q0.y - Uk.y) - X1.y * d0;
            const double rz = (Q0.z - Uk.z) - X1.z * d0;
            const double x = (ry * Us.z - rz * Us.y) / det;
            const double y = (rz * Uc.y - ry * Uc.z) / det;
            const double d1 = (Q0.x - X1.x * d0) - (y * Us.x + x * Uc.x + Uk.x);
            out.append(d0, d1, std::atan2(y, x));
        }
        return;
    }

    // The equations are dependent in theta2: a combination free of theta2
    // fixes d0 as k*d0 = r, then one equation gives theta2.
    double k = 0.0, r = 0.0;
    if (std::fabs(Uc.y) > ikEps) {
        k = X1.z * Uc.y - X1.y * Uc.z;
        r = (Q0.z - Uk.z) * Uc.y - (Q0.y - Uk.y) * Uc.z;
    } else if (std::fabs(Us.y) > ikEps) {
        k = X1.z * Us.y - X1.y * Us.z;
        r = (Q0.z - Uk.z) * Us.y - (Q0.y - Uk.y) * Us.z;
    } else {
        // u.y does not depend on theta2: the y equation involves d0 only.
        k = X1.y;
        r = Q0.y - Uk.y;
    }
    if (std::fabs(k) <= ikEps) return;
    const double d0 = r / k;
    CirclePoints pts;
    const int nPts = std::fabs(Uc.y) + std::fabs(Us.y) <= ikEps
                         ? solveTrigLinear(Uc.z, Us.z, X1.z * d0 + (Uk.z - Q0.z), pts)
                         : solveTrigLinear(Uc.y, Us.y, X1.y * d0 + (Uk.y - Q0.y), pts);
    for (int i = 0; i < nPts; ++i) {
        const double x = pts.x[i];
        const double y = pts.y[i];
        const double d1 = (Q0.x - X1.x * d0) - (y * Us.x + x * Uc.x + Uk.x);
        out.append(d0, d1, std::atan2(y, x));
    }
}

//! Joint 0 turns, joints 1 and 2 slide.
void solveCaseRSS(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const Vec3 U0 = frameApplyPoint(P.link2, P.w);
    const Vec3& X2 = P.link2.X;
    const auto [Vc, Vs, Vk] = detail::turningJoint0(P.s1);
    const StageOneCoefficients& s1 = P.s1;
    // The y and z equations, solved for (cos, sin) theta0 by Cramer's rule,
    // have numerators link2CrossS*d2 + Ks and -(link2CrossC*d2 + Kc).
    const double Ks = (U0.y - Vk.y) * Vs.z - (U0.z - Vk.z) * Vs.y;
    const double Kc = (U0.y - Vk.y) * Vc.z - (U0.z - Vk.z) * Vc.y;

    if (std::fabs(s1.yzCross) > ikEps) {
        // cos^2 + sin^2 = 1 is a quadratic in d2.
        std::array<double, 2> d2s{};
        const int nRoots = solveQuadraticFull(s1.link2CrossNorm2,
                                              s1.link2CrossC * Kc + s1.link2CrossS * Ks,
                                              (Kc * Kc + Ks * Ks) - s1.yzCross2, d2s);
        for (int j = 0; j < nRoots; ++j) {
            const double d2 = d2s[j];
            const double ry = X2.y * d2 + U0.y - Vk.y;
            const double rz = X2.z * d2 + U0.z - Vk.z;
            const double c0 = (ry * Vs.z - rz * Vs.y) / s1.yzCross;
            const double s0 = (rz * Vc.y - ry * Vc.z) / s1.yzCross;
            const double d1 = ((s0 * Vs.x + c0 * Vc.x + Vk.x) - U0.x) - X2.x * d2;
            out.append(std::atan2(s0, c0), d1, d2);
        }
        return;
    }

    // The equations are dependent in theta0: a combination free of theta0
    // fixes d2 as k*d2 = r, then one equation gives theta0.
    double k = 0.0, r = 0.0;
    if (std::fabs(Vc.y) > ikEps) {
        k = -s1.link2CrossC;
        r = Kc;
    } else if (std::fabs(Vs.y) > ikEps) {
        k = -s1.link2CrossS;
        r = Ks;
    } else {
        // V.y does not depend on theta0: the y equation involves d2 only.
        k = X2.y;
        r = Vk.y - U0.y;
    }
    if (std::fabs(k) <= ikEps) return;
    const double d2 = r / k;
    CirclePoints pts;
    const int nPts = std::fabs(Vc.y) + std::fabs(Vs.y) <= ikEps
                         ? solveTrigLinear(Vc.z, Vs.z, (Vk.z - U0.z) - X2.z * d2, pts)
                         : solveTrigLinear(Vc.y, Vs.y, (Vk.y - U0.y) - X2.y * d2, pts);
    for (int i = 0; i < nPts; ++i) {
        const double c0 = pts.x[i];
        const double s0 = pts.y[i];
        const double d1 = ((s0 * Vs.x + c0 * Vc.x + Vk.x) - U0.x) - X2.x * d2;
        out.append(std::atan2(s0, c0), d1, d2);
    }
}

//! All three joints slide: a 2x2 linear system in d0 and d2.
void solveCaseSSS(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const Vec3 U0 = frameApplyPoint(P.link2, P.w);
    const Vec3& X1 = P.arm.link1Inv.X;
    const Vec3& X2 = P.link2.X;
    const Vec3& Q0 = P.s1.tgtPos01;
    const double det = P.arm.slideCrossX;
    // Slides of joints 0 and 2 parallel in the y-z plane of link frame 1:
    // they cannot span both equations.
    if (!(std::fabs(det) > ikEps)) return;
    const double ty = Q0.y - U0.y;
    const double tz = Q0.z - U0.z;
    const double d0 = (X2.z * ty - X2.y * tz) / det;
    const double d2 = (X1.y * tz - X1.z * ty) / det;
    const double d1 = ((Q0.x - X1.x * d0) - U0.x) - X2.x * d2;
    out.append(d0, d1, d2);
}

}  // namespace kin
