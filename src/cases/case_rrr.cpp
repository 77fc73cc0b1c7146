//! Three turning joints. Joint 1 keeps both the height of a point (its z in
//! link frame 1) and its distance from the origin of link frame 1, which
//! gives two equations linear in (cos q0, sin q0):
//!   height:   Vc.z*cos q0 + Vs.z*sin q0 = R1(q2)
//!   distance: distC*cos q0 + distS*sin q0 = R2(q2)
//! Their determinant is zDistCross. When it is nonzero, eliminating q0 leaves
//! a conic in (cos q2, sin q2); otherwise one combination of the two is free
//! of q0 and fixes q2 alone.

#include <cmath>

#include "cases/case_helpers.hpp"
#include "cases/case_solvers.hpp"
#include "cases/trig_equations.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

namespace {


//! Everything the two branches share, computed once from w and the arm.
struct RrrTerms {
    detail::TurningJoint2 u;  //!< u(q2) = x*Uc + y*Us + Uk
    detail::TurningJoint0 v;  //!< V(q0) = cos*Vc + sin*Vs + Vk
    double ez;                //!< Uk.z - Vk.z
    double Nc, Ns, Nk;        //!< |u|^2 from the origin of link frame 1 = x*Nc + y*Ns + Nk
    double ek;                //!< Nk - distK
};

//! Appends (q0, q1, q2) for the point u(x, y) and the joint-0 direction
//! (c0, s0) when u lies off joint 1's axis.
void appendIfPlanar(const RrrTerms& t, double x, double y, double c0, double s0, double q2,
                    ArmCandidateList& out) {
    const Vec3& Uc = t.u.Uc;
    const Vec3& Us = t.u.Us;
    const Vec3& Uk = t.u.Uk;
    const Vec3& Vc = t.v.Vc;
    const Vec3& Vs = t.v.Vs;
    const Vec3& Vk = t.v.Vk;
    const double ux = y * Us.x + x * Uc.x + Uk.x;
    const double uy = y * Us.y + x * Uc.y + Uk.y;
    const double vx = s0 * Vs.x + c0 * Vc.x + Vk.x;
    const double vy = s0 * Vs.y + c0 * Vc.y + Vk.y;
    double q1 = 0.0;
    if (!detail::planarRotation(ux, uy, vx, vy, q1)) return;
    out.append(std::atan2(s0, c0), q1, q2);
}

//! |zDistCross| > eps: the conic in (x, y) = (cos q2, sin q2) that makes the
//! (cos q0, sin q0) solved from both equations a unit vector.
void solveGeneral(const RrrTerms& t, const StageOneCoefficients& s1, ArmCandidateList& out) {
    const double Ucz = t.u.Uc.z;
    const double Usz = t.u.Us.z;
    const double Nc = t.Nc;
    const double Ns = t.Ns;
    const double ez = t.ez;
    const double ek = t.ek;
    const double dn = s1.distNorm2;
    const double zn = s1.zNorm2;
    const double zd = s1.zDistDot;
    const double det = s1.zDistCross;

    const double A = dn * Ucz * Ucz + zn * Nc * Nc - 2 * zd * Nc * Ucz;
    const double B = dn * Usz * Usz + zn * Ns * Ns - 2 * zd * Ns * Usz;
    const double C = dn * Ucz * Usz + zn * Nc * Ns - zd * (Ns * Ucz + Nc * Usz);
    const double D = dn * Ucz * ez + zn * Nc * ek - zd * (ek * Ucz + Nc * ez);
    const double E = dn * Usz * ez + zn * Ns * ek - zd * (ek * Usz + Ns * ez);
    const double F = dn * ez * ez + zn * ek * ek - 2 * zd * ek * ez - det * det;

    CirclePoints p;
    const int n = solveTrigConic(A, B, C, D, E, F + B, p);
    for (int i = 0; i < n; ++i) {
        const double x = p.x[i];
        const double y = p.y[i];
        const double R2 = y * Ns + x * Nc + ek;
        const double R1 = y * Usz + x * Ucz + ez;
        const double c0 = (R2 * t.v.Vs.z - R1 * s1.distS) / det;
        const double s0 = (R1 * s1.distC - R2 * t.v.Vc.z) / det;
        appendIfPlanar(t, x, y, c0, s0, std::atan2(y, x), out);
    }
}

//! |zDistCross| <= eps: the two equations are dependent in (cos q0, sin q0).
//! A combination free of q0 gives q2; then one of them gives q0.
void solveDegenerate(const RrrTerms& t, const StageOneCoefficients& s1, ArmCandidateList& out) {
    const Vec3& Uc = t.u.Uc;
    const Vec3& Us = t.u.Us;
    const double Vcz = t.v.Vc.z;
    const double Vsz = t.v.Vs.z;

    double a, b, c;
    if (std::fabs(Vcz) > ikEps) {
        a = t.Nc * Vcz - Uc.z * s1.distC;
        b = t.Ns * Vcz - Us.z * s1.distC;
        c = t.ek * Vcz - t.ez * s1.distC;
    } else if (std::fabs(Vsz) > ikEps) {
        a = t.Nc * Vsz - Uc.z * s1.distS;
        b = t.Ns * Vsz - Us.z * s1.distS;
        c = t.ek * Vsz - t.ez * s1.distS;
    } else {
        // The height does not depend on q0.
        a = Uc.z;
        b = Us.z;
        c = t.ez;
    }

    CirclePoints p2;
    const int n2 = solveTrigLinear(a, b, c, p2);
    for (int i = 0; i < n2; ++i) {
        const double x = p2.x[i];
        const double y = p2.y[i];
        const double q2 = std::atan2(y, x);

        // q0 from the height equation when it depends on q0, else from the
        // distance equation.
        CirclePoints p0;
        int n0;
        if (std::fabs(Vcz) + std::fabs(Vsz) > ikEps) {
            const double R1 = x * Uc.z + y * Us.z + t.u.Uk.z - t.v.Vk.z;
            n0 = solveTrigLinear(Vcz, Vsz, -R1, p0);
        } else {
            const double R2 = x * t.Nc + y * t.Ns + t.Nk - s1.distK;
            n0 = solveTrigLinear(s1.distC, s1.distS, -R2, p0);
        }
        for (int j = 0; j < n0; ++j) appendIfPlanar(t, x, y, p0.x[j], p0.y[j], q2, out);
    }
}

}  // namespace

void solveCaseRRR(const CaseProblem& P, ArmCandidateList& out) {
    out.armCandCount = 0;

    const Vec3& w = P.w;
    const ArmConstants& arm = P.arm;
    RrrTerms t;
    t.u = detail::turningJoint2(P.link2, w);
    t.v = detail::turningJoint0(P.s1);
    t.ez = t.u.Uk.z - t.v.Vk.z;
    t.Nc = arm.link2XO2 * w.x + arm.link2YO2 * w.y;
    t.Ns = arm.link2YO2 * w.x - arm.link2XO2 * w.y;
    t.Nk = arm.link2ZO2 * w.z + (w.x * w.x + w.y * w.y + w.z * w.z) + arm.link2OO;
    t.ek = t.Nk - P.s1.distK;

    if (std::fabs(P.s1.zDistCross) > ikEps) {
        solveGeneral(t, P.s1, out);
    } else {
        solveDegenerate(t, P.s1, out);
    }
}

}  // namespace kin
