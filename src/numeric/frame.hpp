#pragma once
//! Frame and vector routines. Sums are formed left to right in the order
//! written; no routine keeps state, allocates or fails.

#include <cmath>

#include "numeric/geometry_types.hpp"

namespace kin {

//! R*p + O: a point from the frame's coordinates to its parent's.
inline Vec3 frameApplyPoint(const Frame& F, const Vec3& p) {
    return {F.X.x * p.x + F.Y.x * p.y + F.Z.x * p.z + F.O.x,
            F.X.y * p.x + F.Y.y * p.y + F.Z.y * p.z + F.O.y,
            F.X.z * p.x + F.Y.z * p.y + F.Z.z * p.z + F.O.z};
}
//! R^T*(p - O): a point from the parent's coordinates to the frame's.
inline Vec3 frameInvApplyPoint(const Frame& F, const Vec3& p) {
    const Vec3 d{p.x - F.O.x, p.y - F.O.y, p.z - F.O.z};
    return {d.x * F.X.x + d.y * F.X.y + d.z * F.X.z,
            d.x * F.Y.x + d.y * F.Y.y + d.z * F.Y.z,
            d.x * F.Z.x + d.y * F.Z.y + d.z * F.Z.z};
}
//! R*v: a direction to the parent's coordinates (origin unused).
inline Vec3 frameApplyVector(const Frame& F, const Vec3& v) {
    return {F.X.x * v.x + F.Y.x * v.y + F.Z.x * v.z,
            F.X.y * v.x + F.Y.y * v.y + F.Z.y * v.z,
            F.X.z * v.x + F.Y.z * v.y + F.Z.z * v.z};
}
//! R^T*v: a direction to the frame's coordinates (origin unused).
inline Vec3 frameInvApplyVector(const Frame& F, const Vec3& v) {
    return {F.X.x * v.x + F.X.y * v.y + F.X.z * v.z,
            F.Y.x * v.x + F.Y.y * v.y + F.Y.z * v.z,
            F.Z.x * v.x + F.Z.y * v.y + F.Z.z * v.z};
}
//! a x b.
inline Vec3 cross3(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
//! sqrt of the sum of squares of v[0..n-1], accumulated as v[i]*v[i] + sum.
double vecNorm(const double* v, int n);
inline double vecNorm(const Vec3& v) {
    double sum = 0.0;
    sum = v.x * v.x + sum;
    sum = v.y * v.y + sum;
    sum = v.z * v.z + sum;
    return std::sqrt(sum);
}
//! A*B: frame B, given in A's coordinates, carried to A's parent.
inline Frame frameMul(const Frame& A, const Frame& B) {
    return {frameApplyVector(A, B.X), frameApplyVector(A, B.Y), frameApplyVector(A, B.Z),
            frameApplyPoint(A, B.O)};
}
//! The inverse of a rigid transform (rotation transposed).
Frame frameInverse(const Frame& A);

//! Component i (0, 1, 2 for x, y, z) of a vector.
inline double component(const Vec3& v, int i) {
    return i == 0 ? v.x : (i == 1 ? v.y : v.z);
}
//! Dot product summed x, then y, then z.
inline double dot3(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
//! a - b.
inline Vec3 sub3(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

//! Whether every component is a finite number.
inline bool isFinite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
inline bool isFinite(const Axes& a) { return isFinite(a.X) && isFinite(a.Y) && isFinite(a.Z); }
inline bool isFinite(const Frame& f) {
    return isFinite(f.X) && isFinite(f.Y) && isFinite(f.Z) && isFinite(f.O);
}

//! The first thing wrong with a set of finite axes, in this order: an axis
//! whose length differs from 1, two axes whose dot product differs from 0,
//! X x Y differing from Z in a component; each by more than tolerance.
enum class AxesFault { None, NotUnit, NotOrthogonal, NotRightHanded };
AxesFault axesFault(const Axes& a, double tolerance);

//! A public pose as a frame (its axes are the rotation's columns), and back.
inline Frame frameOf(const armkin::Pose& p) {
    const armkin::Rotation& R = p.rotation;
    return {{R[0][0], R[1][0], R[2][0]}, {R[0][1], R[1][1], R[2][1]}, {R[0][2], R[1][2], R[2][2]}, p.position};
}
inline armkin::Pose poseOf(const Frame& f) {
    armkin::Pose p;
    p.position = f.O;
    const Vec3* cols[3] = {&f.X, &f.Y, &f.Z};
    for (int c = 0; c < 3; ++c) {
        p.rotation[0][c] = cols[c]->x;
        p.rotation[1][c] = cols[c]->y;
        p.rotation[2][c] = cols[c]->z;
    }
    return p;
}

//! The angle between two rotations from the Frobenius norm of their
//! difference: |R1 - R2|_F = 2 sqrt(2) sin(angle / 2), exact, and accurate
//! for small angles where the trace formula is not. For a matrix that is
//! not quite a rotation it measures the distance to it as given.
inline double angleFromFrobenius(double frobenius) {
    const double x = frobenius / (2.0 * std::sqrt(2.0));
    // Below 2^-27, asin x rounds to x itself (x^3 / 6 is under half an ulp
    // of x): the C library returns x there too, so the call is left out.
    if (x < 0x1p-27) return 2.0 * x;
    return 2.0 * std::asin(std::fmin(1.0, x));
}

}  // namespace kin
