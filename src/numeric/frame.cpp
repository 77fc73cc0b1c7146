#include "numeric/frame.hpp"

#include <cmath>

namespace kin {

Vec3 frameApplyPoint(const Frame& F, const Vec3& p) {
    return {F.X.x * p.x + F.Y.x * p.y + F.Z.x * p.z + F.O.x,
            F.X.y * p.x + F.Y.y * p.y + F.Z.y * p.z + F.O.y,
            F.X.z * p.x + F.Y.z * p.y + F.Z.z * p.z + F.O.z};
}

Vec3 frameInvApplyPoint(const Frame& F, const Vec3& p) {
    const Vec3 d{p.x - F.O.x, p.y - F.O.y, p.z - F.O.z};
    return {d.x * F.X.x + d.y * F.X.y + d.z * F.X.z,
            d.x * F.Y.x + d.y * F.Y.y + d.z * F.Y.z,
            d.x * F.Z.x + d.y * F.Z.y + d.z * F.Z.z};
}

Vec3 frameApplyVector(const Frame& F, const Vec3& v) {
    return {F.X.x * v.x + F.Y.x * v.y + F.Z.x * v.z,
            F.X.y * v.x + F.Y.y * v.y + F.Z.y * v.z,
            F.X.z * v.x + F.Y.z * v.y + F.Z.z * v.z};
}

Vec3 frameInvApplyVector(const Frame& F, const Vec3& v) {
    return {F.X.x * v.x + F.X.y * v.y + F.X.z * v.z,
            F.Y.x * v.x + F.Y.y * v.y + F.Y.z * v.z,
            F.Z.x * v.x + F.Z.y * v.y + F.Z.z * v.z};
}

Vec3 cross3(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double vecNorm(const double* v, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum = v[i] * v[i] + sum;
    return std::sqrt(sum);
}

double vecNorm(const Vec3& v) {
    double sum = 0.0;
    sum = v.x * v.x + sum;
    sum = v.y * v.y + sum;
    sum = v.z * v.z + sum;
    return std::sqrt(sum);
}

AxesFault axesFault(const Axes& a, double tolerance) {
    for (const Vec3* v : {&a.X, &a.Y, &a.Z}) {
        if (!(std::fabs(std::sqrt(dot3(*v, *v)) - 1.0) <= tolerance)) return AxesFault::NotUnit;
    }
    if (!(std::fabs(dot3(a.X, a.Y)) <= tolerance) || !(std::fabs(dot3(a.Y, a.Z)) <= tolerance) ||
        !(std::fabs(dot3(a.Z, a.X)) <= tolerance))
        return AxesFault::NotOrthogonal;
    const Vec3 c = cross3(a.X, a.Y);
    if (!(std::fabs(c.x - a.Z.x) <= tolerance && std::fabs(c.y - a.Z.y) <= tolerance &&
          std::fabs(c.z - a.Z.z) <= tolerance))
        return AxesFault::NotRightHanded;
    return AxesFault::None;
}

namespace {
//! A's rotation applied to a direction (the columns of A*B).
Vec3 rotate(const Frame& A, const Vec3& b) {
    return {A.X.x * b.x + A.Y.x * b.y + A.Z.x * b.z,
            A.X.y * b.x + A.Y.y * b.y + A.Z.y * b.z,
            A.X.z * b.x + A.Y.z * b.y + A.Z.z * b.z};
}
}  // namespace

Frame frameMul(const Frame& A, const Frame& B) {
    Frame C;
    C.X = rotate(A, B.X);
    C.Y = rotate(A, B.Y);
    C.Z = rotate(A, B.Z);
    C.O = {A.X.x * B.O.x + A.Y.x * B.O.y + A.Z.x * B.O.z + A.O.x,
           A.X.y * B.O.x + A.Y.y * B.O.y + A.Z.y * B.O.z + A.O.y,
           A.X.z * B.O.x + A.Y.z * B.O.y + A.Z.z * B.O.z + A.O.z};
    return C;
}

Frame frameInverse(const Frame& A) {
    Frame B;
    // B's axes are the rows of A's rotation.
    B.X = {A.X.x, A.Y.x, A.Z.x};
    B.Y = {A.X.y, A.Y.y, A.Z.y};
    B.Z = {A.X.z, A.Y.z, A.Z.z};
    // Origin i = -(A's axis i . A's origin), with B[i] = A axis i x-component.
    B.O = {(-B.X.x) * A.O.x - B.Y.x * A.O.y - B.Z.x * A.O.z,
           (-B.X.y) * A.O.x - B.Y.y * A.O.y - B.Z.y * A.O.z,
           (-B.X.z) * A.O.x - B.Y.z * A.O.y - B.Z.z * A.O.z};
    return B;
}

}  // namespace kin
