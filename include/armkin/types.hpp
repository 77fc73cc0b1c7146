#pragma once
//! Value types of the public interface: vectors, frames, joint vectors and
//! poses. Plain aggregates of doubles; nothing here computes anything.

#include <array>

namespace armkin {

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

//! One displacement per joint, joint 0 first: radians for a turning joint,
//! metres (length units) for a sliding one.
using Joints = std::array<double, 6>;

//! A 3x3 rotation matrix, row by row: rotation[r][c]. Its columns are the
//! tool's X, Y and Z axes in world coordinates.
using Rotation = std::array<std::array<double, 3>, 3>;

//! A tool pose in world coordinates.
struct Pose {
    Vec3 position;
    Rotation rotation{{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
};

//! Lower and upper bound of one joint, both inclusive.
struct JointRange {
    double lower = 0.0;
    double upper = 0.0;
};

}  // namespace armkin
