#pragma once
//! Frame and vector routines. Sums are formed left to right in the order
//! written; no routine keeps state, allocates or fails.

#include <cmath>

#include "numeric/geometry_types.hpp"

namespace kin {

//! R*p + O: a point from the frame's coordinates to its parent's.
Vec3 frameApplyPoint(const Frame& F, const Vec3& p);
//! R^T*(p - O): a point from the parent's coordinates to the frame's.
Vec3 frameInvApplyPoint(const Frame& F, const Vec3& p);
//! R*v: a direction to the parent's coordinates (origin unused).
Vec3 frameApplyVector(const Frame& F, const Vec3& v);
//! R^T*v: a direction to the frame's coordinates (origin unused).
Vec3 frameInvApplyVector(const Frame& F, const Vec3& v);
//! a x b.
Vec3 cross3(const Vec3& a, const Vec3& b);
//! sqrt of the sum of squares of v[0..n-1], accumulated as v[i]*v[i] + sum.
double vecNorm(const double* v, int n);
double vecNorm(const Vec3& v);
//! A*B: frame B, given in A's coordinates, carried to A's parent.
Frame frameMul(const Frame& A, const Frame& B);
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
    return 2.0 * std::asin(std::fmin(1.0, frobenius / (2.0 * std::sqrt(2.0))));
}

}  // namespace kin
