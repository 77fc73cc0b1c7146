#pragma once
//! Geometric value types shared by every subsystem: the public value types,
//! plus the engine's value of pi.

#include <armkin/types.hpp>

namespace kin {

using armkin::Axes;
using armkin::EulerZYZ;
using armkin::Frame;
using armkin::Joints;
using armkin::Vec3;

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
