#pragma once
//! Joint frames of a Denavit-Hartenberg table.

#include <array>

#include <armkin/types.hpp>
#include <armkin/arm.hpp>

namespace armkin::io {

enum class DhConvention {
    //! Row k carries link k to frame k+1: Rz(theta + q) Tz(d) Tx(a) Rx(alpha);
    //! joint k moves about or along z of frame k (frame 0 is the base).
    standard,
    //! Row k carries frame k-1 to frame k: Rx(alpha) Tx(a) Rz(theta + q) Tz(d);
    //! joint k moves about or along z of frame k.
    modified,
};

//! One row; theta and d are the offsets at joint value 0. A turning joint
//! adds its value to theta, a sliding one to d.
struct DhRow {
    JointType type = JointType::Turning;
    double a = 0.0;
    double alpha = 0.0;
    double d = 0.0;
    double theta = 0.0;
};

//! The world frame of each joint at zero displacement, for a table whose
//! frame 0 (standard) or frame -1 (modified) sits at `base` in world
//! coordinates, and the last frame of the table (frame 6 of a standard
//! table, frame 5 of a modified one), to which a tool offset is relative.
//! A turning joint's frame is its DH frame; a sliding joint's frame has the
//! DH z axis (the sliding direction) as X, the DH x axis as Z and -y as Y.
void dhJointFrames(DhConvention convention, const std::array<DhRow, 6>& rows, const Frame& base,
                   std::array<Frame, 6>& joints, Frame& last);

}  // namespace armkin::io
