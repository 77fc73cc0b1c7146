#pragma once
//! Geometric value types shared by every subsystem: the public value types,
//! plus the engine's value of pi.

#include <armkin/types.hpp>

namespace kin {

using armkin::Axes;
using armkin::Joints;
using armkin::Vec3;

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

//! pi to fifteen significant digits, the value every angle computation of
//! the engine uses.
inline constexpr double piValue = 3.14159265358979;
//! 2 pi, formed as 2.0 * piValue.
inline constexpr double twoPi = 2.0 * piValue;

//! The identity frame at the origin.
inline constexpr Frame identityFrame() {
    return Frame{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, 0.0}};
}

}  // namespace kin
