#pragma once
//! Joints 3 and 5 of a wrist of three turning joints for one root of q4, in
//! lanes (one root, or one branch, per lane). Internal to solver/.

#include "numeric/arctan.hpp"
#include "solver/internal.hpp"
#include "solver/lane_chain.hpp"

namespace kin::solver {

//! q3, q5 and their turns for one root of q4 per lane.
template <class T>
struct WristRoot {
    T q3, c3, s3, q5, c5, s5;
};

//! Joints 3 and 5 once q4 turns by (c4, s4): axis 5 (v) and the last
//! frame's X axis (x), both seen from joint frame 3 before q3 turns, fix
//! them. Writes r in every lane; returns a mask with bit k clear where lane
//! k has axis 5 along axis 3 (q3 free) or x along axis 5 (no turn for q5):
//! there r is not to be used, and the caller takes its own path.
template <class T>
unsigned wristRoot(const Frame& L4, const Frame& L5, const V3<T>& v, const V3<T>& x, const T& c4, const T& s4,
                   WristRoot<T>& r) {
    // Joint frame 4's rotation after q4 turns, seen from joint frame 3
    // after q3, and axis 5 (w) in it: L4 Rz(q4) L5.Z.
    const T Xx = c4 * L4.X.x + s4 * L4.Y.x, Xy = c4 * L4.X.y + s4 * L4.Y.y, Xz = c4 * L4.X.z + s4 * L4.Y.z;
    const T Yx = c4 * L4.Y.x - s4 * L4.X.x, Yy = c4 * L4.Y.y - s4 * L4.X.y, Yz = c4 * L4.Y.z - s4 * L4.X.z;
    const Vec3& u = L5.Z;
    const T wx = Xx * u.x + Yx * u.y + L4.Z.x * u.z;
    const T wy = Xy * u.x + Yy * u.y + L4.Z.y * u.z;
    // q3 turns w's xy-part onto v's (planarTurn).
    const T nw2 = wx * wx + wy * wy;
    const T nv2 = v.x * v.x + v.y * v.y;
    const T cross = wx * v.y - wy * v.x;
    const T dot = wx * v.x + wy * v.y;
    const T q3 = arcTan2(cross, dot);
    const T inv = 1.0 / laneSqrt(dot * dot + cross * cross);
    const T c3 = dot * inv, s3 = cross * inv;
    // The last frame's X axis seen from joint frame 5 before q5 turns:
    // L5^T R4^T Rz(q3)^T x, whose turn about Z is q5.
    const T x3x = c3 * x.x + s3 * x.y, x3y = c3 * x.y - s3 * x.x;
    const T ax = x3x * Xx + x3y * Xy + x.z * Xz;
    const T ay = x3x * Yx + x3y * Yy + x.z * Yz;
    const T az = x3x * L4.Z.x + x3y * L4.Z.y + x.z * L4.Z.z;
    const T x5x = ax * L5.X.x + ay * L5.X.y + az * L5.X.z;
    const T x5y = ax * L5.Y.x + ay * L5.Y.y + az * L5.Y.z;
    const T h5 = laneSqrt(x5x * x5x + x5y * x5y);
    r = {q3, c3, s3, arcTan2(x5y, x5x), x5x / h5, x5y / h5};
    unsigned ok = 0;
    for (int k = 0; k < kLanes<T>; ++k) {
        const bool fine = lane(nw2, k) > kAlignedAxes * kAlignedAxes && lane(nv2, k) > kAlignedAxes * kAlignedAxes &&
                          lane(h5, k) > 0.0;
        ok |= static_cast<unsigned>(fine) << k;
    }
    return ok;
}

}  // namespace kin::solver
