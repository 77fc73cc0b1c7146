//! The reach test: poses that no joint vector puts the tool near, told
//! from the arm's geometry alone, so that the numeric starts are not spent
//! on them.
//!
//! Both closed forms reduce the pose to one point X fixed in the last joint
//! frame (the wrist centre, or where axes 4 and 5 meet) that joints 0..2 (or
//! 0..3) must carry to a place the target fixes. The places X can reach are
//! computed exactly where the arm allows it and bounded from outside where
//! it does not; for three parallel axes the orientation then narrows them
//! further. A pose is refused only when X lies farther from them than a
//! margin that covers the tolerances of a solution and rounding, so the
//! numeric starts could not have found a solution either.
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
//! Widening (rad) of the arcs of a joint found by acos, which loses digits
//! near +-1.
constexpr double kArcSlack = 1e-6;
//! Sliding directions at an angle whose sine is below this count as one: a
//! pose off their common line would take a slide 1e15 times its distance.
constexpr double kSameDirection = 1e-15;

Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scaled(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double planar(const Vec3& v) { return std::hypot(v.x, v.y); }

//! Whether angle x (mod 2 pi) lies in [a, b], b - a <= 2 pi.
bool inArc(double a, double b, double x) {
    double d = std::fmod(x - a, kFullTurn);
    if (d < 0.0) d += kFullTurn;
    return d <= b - a;
}

//! The least and greatest cos t over t in [a, b], b - a <= 2 pi.
void cosRange(double a, double b, double& lo, double& hi) {
    const double ca = std::cos(a), cb = std::cos(b);
    hi = inArc(a, b, 0.0) ? 1.0 : std::max(ca, cb);
    lo = inArc(a, b, M_PI) ? -1.0 : std::min(ca, cb);
}

//! The arcs [lo[i], hi[i]] of t on which a cos t + b sin t + c lies within
//! e of zero, widened by kArcSlack at either end. Returns how many (0 to 2);
//! -1 when a and b vanish, so that the value does not depend on t.
int arcsNearZero(double a, double b, double c, double e, double lo[2], double hi[2]) {
    const double r = std::hypot(a, b);
    if (!(r > 0.0)) return -1;
    // r cos(t - p) within [-e - c, e - c].
    const double u1 = (-e - c) / r;
    const double u2 = (e - c) / r;
    if (u1 > 1.0 || u2 < -1.0) return 0;
    const double p = std::atan2(b, a);
    const double t1 = std::max(0.0, (u2 >= 1.0 ? 0.0 : std::acos(u2)) - kArcSlack);
    const double t2 = std::min(M_PI, (u1 <= -1.0 ? M_PI : std::acos(u1)) + kArcSlack);
    lo[0] = p + t1;
    hi[0] = p + t2;
    lo[1] = p - t2;
    hi[1] = p - t1;
    return 2;
}

//! Rz(-q) v.
Vec3 unturned(const Vec3& v, double q) {
    const double c = std::cos(q), s = std::sin(q);
    return {c * v.x + s * v.y, c * v.y - s * v.x, v.z};
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

//! What the orientation adds for three parallel axes 1, 2, 3 (n, joint
//! frame 1's Z): with the frames of joints 1..3 turned by phi about n in
//! all (phi = q1 + q2 + q3 + constants), axis 5 is Rz(phi) D(q4) and the
//! meeting point X is O3 + Rz(phi) m3, in joint frame 1 (before q1), with
//! D(q4) = L4 Rz(q4) L5.Z and m3 fixed in joint frame 3. So the tilt of the
//! target's axis 5 against n fixes q4 (n . D(q4) = a4 cos q4 + b4 sin q4 +
//! c4), its direction across n then fixes phi, and phi fixes O3 = X -
//! Rz(phi) m3, whose distance from axis 1 must lie within [|l1 - l2|, l1 +
//! l2] (l1, l2: the plane lengths of links 2 and 3).
struct WristTilt {
    Frame L1{};
    Frame L4{};
    Vec3 u{};           //!< axis 5 in joint frame 4 (L5.Z)
    double a4 = 0.0, b4 = 0.0, c4 = 0.0;
    double l1 = 0.0, l2 = 0.0;
    double offset = 0.0;       //!< |m3| across n
    double offsetAngle = 0.0;  //!< its direction across n
    Vec3 axis5{};              //!< the target's axis 5, joint frame 0 at q0 = 0
    double rotEps = 0.0;       //!< how far a solution's axis 5 may turn from it
};

//! Arcs of q0 or q4 wider than this are not narrowed further: the bounds
//! below hold for any width but lose their use.
constexpr double kNarrow = 1e-3;

//! False when no q0 in [qa, qb] (a short arc on which X stays within eps of
//! the plane of the annulus) lets the wrist take the target's orientation
//! with O3 inside its annulus. Over the arc, and for a solution within the
//! tolerances, X moves at most eps + (X's distance from axis 0) times the
//! half width, and axis 5 turns at most rotEps + the half width; each bound
//! below widens the angles and radii by as much.
bool tiltMayHold(const WristTilt& t, const Vec3& P, double qa, double qb, double eps) {
    const double w = 0.5 * (qb - qa);
    if (!(w <= kNarrow)) return true;
    const double q0 = qa + w;
    const Vec3 M = frameInvApplyPoint(t.L1, unturned(P, q0));
    const Vec3 Z = frameInvApplyVector(t.L1, unturned(t.axis5, q0));
    const double moved = eps + planar(P) * w;
    const double turned = t.rotEps + planar(t.axis5) * w;
    // Axis 5's direction across n, to within alpha1.
    const double across = planar(Z);
    if (!(turned < 0.5 * across)) return true;
    const double alpha1 = std::asin(turned / across);
    double lo4[2], hi4[2];
    const int n4 = arcsNearZero(t.a4, t.b4, t.c4 - Z.z, turned, lo4, hi4);
    if (n4 < 0) return true;
    const double inner = std::max(0.0, std::fabs(t.l1 - t.l2) - moved);
    const double outer = t.l1 + t.l2 + moved;
    const double mr = planar(M);
    for (int i = 0; i < n4; ++i) {
        const double w4 = 0.5 * (hi4[i] - lo4[i]);
        if (!(w4 <= kNarrow)) return true;
        // D(q4) over the arc: within |u across axis 4| w4 of its middle.
        const Axes A4 = mulAxes({t.L4.X, t.L4.Y, t.L4.Z}, rotZAxes(lo4[i] + w4));
        const Vec3 D = applyAxes(A4, t.u);
        const double d = planar(D);
        const double drift = planar(t.u) * w4;
        if (!(drift < 0.5 * d)) return true;
        const double spread = alpha1 + std::asin(drift / d);
        // phi turns D across n onto Z across n; Rz(phi) m3 then points at theta.
        const double theta = std::atan2(Z.y, Z.x) - std::atan2(D.y, D.x) + t.offsetAngle;
        // |O3|^2 = |M|^2 + offset^2 - 2 offset |M| cos(theta - angle of M).
        const double rel = theta - std::atan2(M.y, M.x);
        double clo, chi;
        cosRange(rel - spread, rel + spread, clo, chi);
        const double base = mr * mr + t.offset * t.offset;
        const double gmin = base - 2.0 * t.offset * mr * chi;
        const double gmax = base - 2.0 * t.offset * mr * clo;
        if (gmin <= outer * outer && gmax >= inner * inner) return true;
    }
    return false;
}

//! False when point P (joint frame 0 at q0 = 0) lies farther than eps from
//! every place of s (or, given tilt, when no q0 that brings it within eps
//! lets the wrist follow). At turn q0 the distance of Rz(-q0) P from the
//! annulus is sqrt(d^2 + a^2) with d its height over the plane and a its
//! radial gap, and its squared distance g from c is the radius squared plus
//! d^2; both d and g are sinusoids in q0. So: is there a q0 with |d| <= eps
//! and g within the annulus widened by eps?
bool annulusMayHold(const SweptAnnulus& s, const Vec3& P, double eps, const WristTilt* tilt) {
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
    const double rg = std::hypot(ga, gb);
    double lo[2] = {-M_PI, 0.0}, hi[2] = {M_PI, 0.0};
    int arcs = arcsNearZero(da, db, dc, eps, lo, hi);
    if (arcs < 0) {
        // The height does not depend on q0.
        if (!(std::fabs(dc) <= eps)) return false;
        arcs = 1;
    }
    // g = rg cos(q - pg) + gc.
    const double pg = std::atan2(gb, ga);
    for (int i = 0; i < arcs; ++i) {
        double clo, chi;
        cosRange(lo[i] - pg, hi[i] - pg, clo, chi);
        if (!(gc + rg * clo <= ghi && gc + rg * chi >= glo)) continue;
        if (tilt == nullptr || tiltMayHold(*tilt, P, lo[i], hi[i], eps)) return true;
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
    s.c = sub3(L1.O, scaled(s.n, dot3(s.n, L1.O) - s.h));
    s.rmin = std::fabs(a - b);
    s.rmax = a + b;
    return s;
}

//! The annulus of the point where axes 4 and 5 meet, for three parallel
//! axes, and what the wrist adds (all but the target's axis 5).
SweptAnnulus parallelAnnulus(const SolverModel& m, WristTilt& tilt) {
    const Frame* L = m.model.linkFrames.data();
    const Vec3 meet3 = frameApplyPoint(frameMul(L[4], L[5]), m.axisMeetLast);
    const double a = planar(L[2].O);
    const double b = planar(L[3].O);
    const double c = planar(meet3);
    SweptAnnulus s;
    s.n = L[1].Z;
    s.h = dot3(s.n, frameApplyPoint(frameMul(frameMul(L[1], L[2]), L[3]), meet3));
    s.c = sub3(L[1].O, scaled(s.n, dot3(s.n, L[1].O) - s.h));
    s.rmax = a + b + c;
    s.rmin = std::max(0.0, 2.0 * std::max({a, b, c}) - s.rmax);
    const Vec3& u = L[5].Z;
    const Frame& L4 = L[4];
    tilt.L1 = L[1];
    tilt.L4 = L4;
    tilt.u = u;
    tilt.a4 = L4.X.z * u.x + L4.Y.z * u.y;
    tilt.b4 = L4.Y.z * u.x - L4.X.z * u.y;
    tilt.c4 = L4.Z.z * u.z;
    tilt.l1 = a;
    tilt.l2 = b;
    tilt.offset = c;
    tilt.offsetAngle = std::atan2(meet3.y, meet3.x);
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
        return vecNorm(sub3(X, J[0].O)) <= reach + eps;
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
    Vec3 r = sub3(X, c);
    Vec3 basis[3];
    int rank = 0;
    for (int k = 0; k < slides; ++k) {
        Vec3 d = J[k].X;
        for (int i = 0; i < rank; ++i) d = sub3(d, scaled(basis[i], dot3(d, basis[i])));
        const double len = vecNorm(d);
        if (!(len > kSameDirection * vecNorm(J[k].X))) continue;
        basis[rank] = scaled(d, 1.0 / len);
        r = sub3(r, scaled(basis[rank], dot3(r, basis[rank])));
        ++rank;
    }
    return vecNorm(r) <= reach + eps;
}

}  // namespace

bool mayReach(const SolverModel& m, const Frame& target, const SolveOptions& o) {
    if (!hasClosedForm(m.kind)) return true;
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
    const double far = vecNorm(sub3(X, base0.O));
    const double eps = o.positionTolerance + o.rotationTolerance * vecNorm(sub3(xLast, m.toolPoint)) +
                       kRound * (m.scale + far);
    if (!(eps < INFINITY)) return true;
    const Vec3 P = frameInvApplyPoint(base0, X);
    if (spherical) {
        return m.shoulderParallel ? annulusMayHold(shoulderAnnulus(m), P, eps, nullptr)
                                  : chainMayHold(m, X, eps);
    }
    WristTilt tilt;
    const SweptAnnulus s = parallelAnnulus(m, tilt);
    tilt.axis5 = frameInvApplyVector(base0, R5.Z);
    tilt.rotEps = o.rotationTolerance + kRound;
    return annulusMayHold(s, P, eps, &tilt);
}

}  // namespace kin::solver
