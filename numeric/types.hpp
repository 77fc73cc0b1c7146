#pragma once
//! Geometric value types shared by every subsystem.

#include <array>

namespace kin {

//! A position or a direction: three doubles.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

//! The rotation part of a frame on its own: X, Y and Z axes (the columns).
struct Axes {
    Vec3 X;
    Vec3 Y;
    Vec3 Z;
};

//! A rigid transform: axes X, Y, Z (columns of R) then the origin O.
//! Maps a point p of its own coordinates to its parent's as R*p + O.
struct Frame {
    Vec3 X;
    Vec3 Y;
    Vec3 Z;
    Vec3 O;
};

//! ZYZ Euler angles: R = Rz(phi) * Ry(theta) * Rz(psi), radians.
struct EulerZYZ {
    double phi = 0.0;
    double theta = 0.0;
    double psi = 0.0;
};

//! One displacement per joint, joint 0 first (radians or length units).
using Joints = std::array<double, 6>;

//! The value of pi used throughout, as stored (fifteen significant digits).
inline constexpr double piValue = 3.14159265358979;

//! The identity frame at the origin.
inline constexpr Frame identityFrame() {
    return Frame{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, 0.0}};
}

}  // namespace kin
