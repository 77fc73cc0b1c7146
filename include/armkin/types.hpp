#pragma once
//! Value types of the public interface: vectors, axes, joint vectors and
//! poses (the one transform type). Plain aggregates of doubles; nothing here computes anything.

#include <array>

namespace armkin {

//! A position or a direction: three doubles.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

//! The axes of a frame: X, Y and Z (the columns of its rotation). The arm
//! description gives each joint's this way.
struct Axes {
    Vec3 X;
    Vec3 Y;
    Vec3 Z;
};

//! One displacement per joint, joint 0 first: radians for a turning joint,
//! metres (length units) for a sliding one.
using Joints = std::array<double, 6>;

//! A 3x3 rotation matrix, row by row: rotation[r][c]. Its columns are the
//! tool's X, Y and Z axes in world coordinates.
using Rotation = std::array<std::array<double, 3>, 3>;

//! A rigid transform: a tool pose, or any frame, in world coordinates. Maps
//! a point p of its own coordinates to world coordinates as R*p + position.
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
