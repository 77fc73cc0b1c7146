//! Arms whose joint 1 turns while joint 0, joint 2 or both slide.
//!
//! A turning joint 1 keeps the height of a point in link frame 1 and its
//! distance from joint 1's Z axis, so both sides must agree in
//!   height:  u.z = V.z
//!   radius:  u.x^2 + u.y^2 = V.x^2 + V.y^2
//! and theta1 then follows from the planar rotation that carries (u.x, u.y)
//! onto (V.x, V.y). A sliding joint makes its side linear in a displacement:
//! V(d0) = Q0 - d0*X1, u(d2) = U0 + d2*X2.

#include <array>
#include <cmath>
#include <span>

#include "cases/case_helpers.hpp"
#include "cases/trig_equations.hpp"
#include "numeric/frame.hpp"
#include "numeric/polynomial.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

using detail::planarRotation;

//! Joint 0 slides (d0), joints 1 and 2 turn.
void solveCaseSRR(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const auto [Uc, Us, Uk] = detail::turningJoint2(P.link2, P.w);
    const Vec3& X1 = P.arm.link1Inv.X;
    const StageOneCoefficients& s1 = P.s1;
    const Vec3& Q0 = s1.tgtPos01;
    CirclePoints pts;
    double theta1 = 0.0;

    if (std::fabs(X1.z) <= ikEps) {
        // Joint 0 slides at constant height: the height equation alone fixes
        // theta2, then the radius equation is a quadratic in d0 (X1 taken as
        // a unit vector in the xy-plane).
        const int nPts = solveTrigLinear(Uc.z, Us.z, Uk.z - Q0.z, pts);
        for (int i = 0; i < nPts; ++i) {
            const double x = pts.x[i];
            const double y = pts.y[i];
            const double theta2 = std::atan2(y, x);
            const double ux = y * Us.x + x * Uc.x + Uk.x;
            const double uy = y * Us.y + x * Uc.y + Uk.y;
            const double n = ux * ux + uy * uy;
            std::array<double, 2> d0s{};
            const int nRoots = solveQuadratic(-s1.tgt01Dot, s1.tgt01Norm2 - n,
                                              std::span<double, 2>(d0s));
            for (int j = 0; j < nRoots; ++j) {
                const double d0 = d0s[j];
                const double vx = Q0.x - X1.x * d0;
                const double vy = Q0.y - X1.y * d0;
                if (planarRotation(ux, uy, vx, vy, theta1)) out.append(d0, theta1, theta2);
            }
        }
        return;
    }

    // The height equation gives d0 = (Q0.z - R) / X1.z with R = u.z; put into
    // the radius equation (times X1.z^2) it is a conic in (cos, sin) theta2:
    //   h*R^2 + 2*slideDot*R + slideNorm2 - g*(u.x^2 + u.y^2) = 0.
    const double h = P.arm.link1InvXh2;
    const double g = P.arm.link1InvXz2;
    const double A = h * Uc.z * Uc.z - g * (Uc.y * Uc.y + Uc.x * Uc.x);
    const double B = h * Us.z * Us.z - g * (Us.y * Us.y + Us.x * Us.x);
    const double C = h * Uc.z * Us.z - g * (Uc.y * Us.y + Uc.x * Us.x);
    const double D = s1.slideDot * Uc.z + h * Uc.z * Uk.z - g * (Uc.y * Uk.y + Uc.x * Uk.x);
    const double E = s1.slideDot * Us.z + h * Us.z * Uk.z - g * (Us.y * Uk.y + Us.x * Uk.x);
    const double F = 2 * s1.slideDot * Uk.z + h * Uk.z * Uk.z - g * (Uk.y * Uk.y + Uk.x * Uk.x) +
                     s1.slideNorm2;
    const int nPts = solveTrigConic(A, B, C, D, E, F + B, pts);
    for (int i = 0; i < nPts; ++i) {
        const double x = pts.x[i];
        const double y = pts.y[i];
        const double R = y * Us.z + x * Uc.z + Uk.z;
        const double d0 = (Q0.z - R) / X1.z;
        const double vx = Q0.x - X1.x * d0;
        const double vy = Q0.y - X1.y * d0;
        const double ux = y * Us.x + x * Uc.x + Uk.x;
        const double uy = y * Us.y + x * Uc.y + Uk.y;
        if (planarRotation(ux, uy, vx, vy, theta1)) out.append(d0, theta1, std::atan2(y, x));
    }
}

//! Joints 0 and 1 turn, joint 2 slides (d2).
void solveCaseRRS(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const Vec3 U0 = frameApplyPoint(P.link2, P.w);
    const Vec3& X2 = P.link2.X;
    const auto [Vc, Vs, Vk] = detail::turningJoint0(P.s1);
    const StageOneCoefficients& s1 = P.s1;
    CirclePoints pts;
    double theta1 = 0.0;

    if (std::fabs(X2.z) <= ikEps) {
        // Joint 2 slides at constant height: the height equation alone fixes
        // theta0, then the radius equation is a quadratic in d2 (X2 taken as
        // a unit vector in the xy-plane).
        const int nPts = solveTrigLinear(Vc.z, Vs.z, Vk.z - U0.z, pts);
        for (int i = 0; i < nPts; ++i) {
            const double c0 = pts.x[i];
            const double s0 = pts.y[i];
            const double theta0 = std::atan2(s0, c0);
            const double vx = s0 * Vs.x + c0 * Vc.x + Vk.x;
            const double vy = s0 * Vs.y + c0 * Vc.y + Vk.y;
            const double p = X2.y * U0.y + X2.x * U0.x;
            const double q = (U0.y * U0.y + U0.x * U0.x) - vx * vx - vy * vy;
            std::array<double, 2> d2s{};
            const int nRoots = solveQuadratic(p, q, std::span<double, 2>(d2s));
            for (int j = 0; j < nRoots; ++j) {
                const double d2 = d2s[j];
                const double ux = X2.x * d2 + U0.x;
                const double uy = X2.y * d2 + U0.y;
                if (planarRotation(ux, uy, vx, vy, theta1, ikEps)) out.append(theta0, theta1, d2);
            }
        }
        return;
    }

    // The height equation gives d2 = (V.z - U0.z) / X2.z; put into the radius
    // equation (times X2.z^2) it is a conic in (cos, sin) theta0 whose
    // target-only part is precomputed in the quad* coefficients:
    //   link2Xh2*V.z^2 + 2m*V.z + G - link2Xz2*(V.x^2 + V.y^2) = 0.
    const double a = X2.z * U0.x - X2.x * U0.z;
    const double b = X2.z * U0.y - X2.y * U0.z;
    const double m = X2.y * b + X2.x * a;
    const double G = b * b + a * a;
    const int nPts = solveTrigConic(s1.quadCC, s1.quadSS, s1.quadCS, m * Vc.z + s1.quadCK,
                                    m * Vs.z + s1.quadSK, 2 * m * Vk.z + s1.quadKK + G, pts);
    for (int i = 0; i < nPts; ++i) {
        const double c0 = pts.x[i];
        const double s0 = pts.y[i];
        const double vz = s0 * Vs.z + c0 * Vc.z + Vk.z;
        const double d2 = (vz - U0.z) / X2.z;
        const double vx = s0 * Vs.x + c0 * Vc.x + Vk.x;
        const double vy = s0 * Vs.y + c0 * Vc.y + Vk.y;
        const double ux = X2.x * d2 + U0.x;
        const double uy = X2.y * d2 + U0.y;
        if (planarRotation(ux, uy, vx, vy, theta1)) out.append(std::atan2(s0, c0), theta1, d2);
    }
}

//! Joints 0 and 2 slide (d0, d2), joint 1 turns.
void solveCaseSRS(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;
    const Vec3 U0 = frameApplyPoint(P.link2, P.w);
    const Vec3& X1 = P.arm.link1Inv.X;
    const Vec3& X2 = P.link2.X;
    const StageOneCoefficients& s1 = P.s1;
    const Vec3& Q0 = s1.tgtPos01;
    std::array<double, 2> roots{};
    double theta1 = 0.0;

    if (std::fabs(X1.z) <= ikEps) {
        // Neither slide can change the height: no target is reachable in
        // general, and none is solved.
        if (std::fabs(X2.z) <= ikEps) return;
        // Only joint 2 changes the height, which fixes d2; the radius
        // equation is then a quadratic in d0 (X1 a unit vector in the
        // xy-plane).
        const double d2 = (Q0.z - U0.z) / X2.z;
        const double ux = X2.x * d2 + U0.x;
        const double uy = X2.y * d2 + U0.y;
        const double n = ux * ux + uy * uy;
        const int nRoots =
            solveQuadratic(-s1.tgt01Dot, s1.tgt01Norm2 - n, std::span<double, 2>(roots));
        for (int j = 0; j < nRoots; ++j) {
            const double d0 = roots[j];
            const double vx = Q0.x - X1.x * d0;
            const double vy = Q0.y - X1.y * d0;
            if (planarRotation(ux, uy, vx, vy, theta1)) out.append(d0, theta1, d2);
        }
        return;
    }

    // The height equation gives d0 in terms of d2; the radius equation
    // (times X1.z^2) is then a quadratic in d2 whose leading coefficient
    // slideTiltDet vanishes when both slides are equally tilted.
    const double a = X1.z * Q0.x - (Q0.z - U0.z) * X1.x;
    const double b = X1.z * Q0.y - (Q0.z - U0.z) * X1.y;
    const double k = (X1.y * b + X1.x * a) * X2.z - (X2.y * U0.y + X2.x * U0.x) * P.arm.link1InvXz2;
    const double l = (b * b + a * a) - (U0.y * U0.y + U0.x * U0.x) * P.arm.link1InvXz2;
    const int nRoots = solveQuadraticFull(P.arm.slideTiltDet, k, l, roots);
    for (int j = 0; j < nRoots; ++j) {
        const double d2 = roots[j];
        const double d0 = ((Q0.z - U0.z) - X2.z * d2) / X1.z;
        const double vx = Q0.x - X1.x * d0;
        const double vy = Q0.y - X1.y * d0;
        const double ux = X2.x * d2 + U0.x;
        const double uy = X2.y * d2 + U0.y;
        if (planarRotation(ux, uy, vx, vy, theta1)) out.append(d0, theta1, d2);
    }
}

}  // namespace kin
