//! The reach test: poses that no joint vector puts the tool near, told
//! from the arm's geometry alone, so that the numeric starts are not spent
//! on them.
//!
//! Both closed forms reduce the pose to one point X fixed in the last joint
//! frame (the wrist centre, or where axes 4 and 5 meet) that joints 0..2 (or
//! 0..3) must carry to a place the target fixes. The places X can reach are
//! computed exactly where the arm allows it and bounded from outside where
//! it does not; a pose is refused only when X lies farther from them than a
//! margin that covers the tolerances of a solution and rounding.
//!
//! Joint limits are left out: the branches are found without them and
//! dropped afterwards, and a pose whose only branches lie outside the
//! limits is answered OutsideLimits, not OutOfReach.

#include <algorithm>
#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! Room for rounding, relative to the arm's size and X's distance.
constexpr double kRound = 1e-9;
//! Widening (rad) of the arcs of joint 0 that keep X near the plane of the
//! annulus: their ends come from acos, which loses digits near +-1.
constexpr double kArcSlack = 1e-6;
//! Sliding directions at an angle whose sine is below this count as one.
constexpr double kSameDirection = 1e-15;

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 scaled(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double planar(const Vec3& v) { return std::hypot(v.x, v.y); }

//! Whether angle x (mod 2 pi) lies in [a, b], b - a <= 2 pi.
bool inArc(double a, double b, double x) {
    double d = std::fmod(x - a, 2.0 * M_PI);
    if (d < 0.0) d += 2.0 * M_PI;
    return d <= b - a;
}

//! Where joints 0..k place X when joint 0 turns and the joints after it
//! keep X in one plane across axis 1 and sweep it over an annulus there:
//! three turning joints with axes 1, 2 parallel (the wrist centre), or four
//! with axes 1, 2, 3 parallel (where axes 4 and 5 meet). Joint frame 0 at
//! q0 = 0 holds the plane n.x = h and the annulus's centre c; joint 0 turns
//! the whole about its Z axis.
struct SweptAnnulus {
    Vec3 n{};
    double h = 0.0;
    Vec3 c{};
    double rmin = 0.0;
    double rmax = 0.0;
};

//! False when point P (joint frame 0 at q0 = 0) lies farther than eps from
//! every place of s. At turn q0 the distance of Rz(-q0) P from the annulus
//! is sqrt(d^2 + a^2) with d its height over the plane and a its radial gap,
//! and its squared distance g from c is the radius squared plus d^2; both d
//! and g are sinusoids in q0. So: is there a q0 with |d| <= eps and g within
//! the annulus widened by eps?
bool annulusMayHold(const SweptAnnulus& s, const Vec3& P, double eps) {
    // v . Rz(-q) P = cos q (v.x P.x + v.y P.y) + sin q (v.x P.y - v.y P.x) + v.z P.z
    const double da = s.n.x * P.x + s.n.y * P.y;
    const double db = s.n.x * P.y - s.n.y * P.x;
    const double dc = s.n.z * P.z - s.h;
    const double ga = -2.0 * (s.c.x * P.x + s.c.y * P.y);
    const double gb = -2.0 * (s.c.x * P.y - s.c.y * P.x);
    const double gc = dot3(P, P) + dot3(s.c, s.c) - 2.0 * s.c.z * P.z;
    const double inner = std::max(0.0, s.rmin - eps);
    const double glo = inner * inner;
    const double ghi = (s.rmax + eps) * (s.rmax + eps) + eps * eps;
    const double rd = std::hypot(da, db);
    const double rg = std::hypot(ga, gb);
    if (!(rd > 0.0)) {
        // The height does not depend on q0.
        return std::fabs(dc) <= eps && gc - rg <= ghi && gc + rg >= glo;
    }
    // |d| <= eps: cos(q - pd) in [u1, u2], that is q - pd in [t1, t2] or [-t2, -t1].
    const double u1 = (-eps - dc) / rd;
    const double u2 = (eps - dc) / rd;
    if (u1 > 1.0 || u2 < -1.0) return false;
    const double t1 = std::max(0.0, (u2 >= 1.0 ? 0.0 : std::acos(u2)) - kArcSlack);
    const double t2 = std::min(M_PI, (u1 <= -1.0 ? M_PI : std::acos(u1)) + kArcSlack);
    // g = rg cos(q - pg) + gc = rg cos(t + psi) + gc with t = q - pd.
    const double psi = std::atan2(db, da) - std::atan2(gb, ga);
    for (const double sgn : {1.0, -1.0}) {
        const double a = sgn > 0.0 ? t1 : -t2;
        const double b = sgn > 0.0 ? t2 : -t1;
        const double ca = std::cos(a + psi), cb = std::cos(b + psi);
        const double hi = inArc(a, b, -psi) ? 1.0 : std::max(ca, cb);
        const double lo = inArc(a, b, M_PI - psi) ? -1.0 : std::min(ca, cb);
        if (gc + rg * lo <= ghi && gc + rg * hi >= glo) return true;
    }
    return false;
}

//! The annulus of the wrist centre w (joint frame 2) for a parallel shoulder.
SweptAnnulus shoulderAnnulus(const SolverModel& m) {
    const Frame& L1 = m.model.linkFrames[1];
    const Frame& L2 = m.model.linkFrames[2];
    const Vec3& w = m.wristCentreArm;
    const double a = planar(L2.O);
    const double b = planar(w);
    SweptAnnulus s;
    s.n = L1.Z;
    s.h = dot3(s.n, frameApplyPoint(frameMul(L1, L2), w));
    s.c = sub(L1.O, scaled(s.n, dot3(s.n, L1.O) - s.h));
    s.rmin = std::fabs(a - b);
    s.rmax = a + b;
    return s;
}

//! The annulus of the point where axes 4 and 5 meet, for three parallel axes.
SweptAnnulus parallelAnnulus(const SolverModel& m) {
    const Frame* L = m.model.linkFrames.data();
    const Vec3 meet3 = frameApplyPoint(frameMul(L[4], L[5]), m.axisMeetLast);
    const double a = planar(L[2].O);
    const double b = planar(L[3].O);
    const double c = planar(meet3);
    SweptAnnulus s;
    s.n = L[1].Z;
    s.h = dot3(s.n, frameApplyPoint(frameMul(frameMul(L[1], L[2]), L[3]), meet3));
    s.c = sub(L[1].O, scaled(s.n, dot3(s.n, L[1].O) - s.h));
    s.rmax = a + b + c;
    s.rmin = std::max(0.0, 2.0 * std::max({a, b, c}) - s.rmax);
    return s;
}

//! Farthest the wrist centre w (joint frame 2) gets from the origin of
//! joint frame 1 as joints 1 and 2 turn: |L2.O + R2 Rz(q2) w| at its largest.
double tailReach(const Frame& L2, const Vec3& w) {
    const Vec3 A = frameInvApplyVector(L2, L2.O);  // L2's origin seen from joint frame 2
    const double sq = dot3(A, A) + dot3(w, w) + 2.0 * A.z * w.z + 2.0 * planar(A) * planar(w);
    return std::sqrt(std::max(0.0, sq));
}

//! Bound for joints 0..2 that are not a parallel shoulder: the wrist centre
//! X (world) against the places joints 0..2 reach, bounded from outside.
//! Sliding joints ahead of every turning one move the rest along fixed
//! directions: X stays within the tail's reach of their span. Three turning
//! joints keep X within the chain's length of joint 0's origin. Other
//! orders give no bound.
bool chainMayHold(const SolverModel& m, const Vec3& X, double eps) {
    const ArmModel& a = m.model;
    int slides = 0;
    while (slides < 3 && a.jointTypes[slides] == 'S') ++slides;
    for (int k = slides; k < 3; ++k) {
        if (a.jointTypes[k] != 'R') return true;
    }
    // Joint frames at zero, world coordinates.
    Frame J[3];
    J[0] = frameMul(a.baseFrame, a.linkFrames[0]);
    J[1] = frameMul(J[0], a.linkFrames[1]);
    J[2] = frameMul(J[1], a.linkFrames[2]);
    const Vec3& w = m.wristCentreArm;
    if (slides == 0) {
        const double reach = vecNorm(a.linkFrames[1].O) + tailReach(a.linkFrames[2], w);
        return vecNorm(sub(X, J[0].O)) <= reach + eps;
    }
    // A point of the turning tail at zero slides and how far the tail keeps
    // the wrist centre from it.
    Vec3 c;
    double reach = 0.0;
    if (slides == 1) {
        c = J[1].O;
        reach = tailReach(a.linkFrames[2], w);
    } else if (slides == 2) {
        c = frameApplyPoint(J[2], {0.0, 0.0, w.z});  // on axis 2, level with w
        reach = planar(w);
    } else {
        c = frameApplyPoint(J[2], w);
    }
    // X's offset from c, less its components along the sliding directions.
    Vec3 r = sub(X, c);
    Vec3 basis[3];
    int rank = 0;
    for (int k = 0; k < slides; ++k) {
        Vec3 d = J[k].X;
        for (int i = 0; i < rank; ++i) d = sub(d, scaled(basis[i], dot3(d, basis[i])));
        const double len = vecNorm(d);
        if (!(len > kSameDirection * vecNorm(J[k].X))) continue;
        basis[rank] = scaled(d, 1.0 / len);
        r = sub(r, scaled(basis[rank], dot3(r, basis[rank])));
        ++rank;
    }
    return vecNorm(r) <= reach + eps;
}

}  // namespace

bool mayReach(const SolverModel& m, const Frame& target, const SolveOptions& o) {
    if (m.kind == WristKind::General) return true;
    const bool spherical = m.kind == WristKind::Spherical;
    const Vec3& xLast = spherical ? m.wristCentreLast : m.axisMeetLast;
    Axes R5;
    Vec3 O5;
    flangeOf(m, target, R5, O5);
    const Vec3 X = add(O5, applyAxes(R5, xLast));
    // A solution within the tolerances puts X within eps of where the
    // target puts it: the position error plus the rotation error times the
    // lever from the tool point to X.
    const Frame base0 = frameMul(m.model.baseFrame, m.model.linkFrames[0]);
    const double far = vecNorm(sub(X, base0.O));
    const double eps = o.positionTolerance + o.rotationTolerance * vecNorm(sub(xLast, m.toolPoint)) +
                       kRound * (m.scale + far);
    if (!(eps < INFINITY)) return true;
    if (spherical && !m.shoulderParallel) return chainMayHold(m, X, eps);
    const SweptAnnulus s = spherical ? shoulderAnnulus(m) : parallelAnnulus(m);
    return annulusMayHold(s, frameInvApplyPoint(base0, X), eps);
}

}  // namespace kin::solver
