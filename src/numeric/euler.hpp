#pragma once
//! Conversions between ZYZ Euler angles and a set of three axes.

#include "numeric/geometry_types.hpp"

namespace kin {

//! The X, Y and Z axes of Rz(phi) * Ry(theta) * Rz(psi).
Axes eulerToAxes(const EulerZYZ& E);

//! ZYZ angles of a rotation given by its axes. Reads only X.y, X.z, Y.y,
//! Y.z and Z. When the Z axis is within 1e-6 of vertical the whole turn
//! about it goes to psi and phi is 0.
EulerZYZ axesToEuler(const Vec3& X, const Vec3& Y, const Vec3& Z);
inline EulerZYZ axesToEuler(const Axes& A) { return axesToEuler(A.X, A.Y, A.Z); }

}  // namespace kin
