#pragma once
// Six-joint arms with the geometries of real industrial arms, described from
// their published kinematic parameters, each with an independent forward
// kinematics: a plain product of 4x4 homogeneous transforms of the same
// parameter table, which shares no code with the engine's arm model.
//
// Two parameter forms are used.
//
// Ortho-parallel form (a1, a2, b, c1, c2, c3, c4), arm upright at zero: the
// waist turns about world Z through the origin; the shoulder axis is
// parallel to world Y through (a1, 0, c1); the upper arm of length c2 points
// straight up at zero, so the elbow axis (also parallel to Y) passes through
// (a1, 0, c1 + c2); from the elbow the forearm runs up by c3 with the elbow
// offset a2 along X and the lateral offset b along Y, so the wrist centre
// lies at (a1 + a2, b, c1 + c2 + c3) at zero. The forearm roll turns about
// the vertical line through the wrist centre, the wrist bend about Y through
// it, and the flange turns about the vertical line again; the flange (the
// tool point) sits c4 above the wrist centre, with the world axes as its
// axes at zero. Positive joint values turn right-handed about +Z or +Y. So
//   T(q) = Rz(q0) Tr(a1, 0, c1) Ry(q1) Tr(0, 0, c2) Ry(q2) Tr(a2, b, c3)
//          Rz(q3) Ry(q4) Rz(q5) Tr(0, 0, c4).
//
// Standard Denavit-Hartenberg form (d, a, alpha per joint): joint k turns
// about the Z axis of DH frame k (frame 0 is the world frame), and
//   T(q) = prod_k Rz(q_k) Tz(d_k) Tx(a_k) Rx(alpha_k);
// the tool is DH frame 6. The engine's joint frame k at zero is DH frame k
// at zero, so the joint values of both descriptions agree.

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "ik/engine.hpp"

namespace kin::testing {

// A homogeneous transform, row-major; only the top three rows are stored.
struct Mat4 {
    double m[3][4];
};

inline Mat4 identity4() { return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}}; }

inline Mat4 operator*(const Mat4& A, const Mat4& B) {
    Mat4 C;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            C.m[r][c] = A.m[r][0] * B.m[0][c] + A.m[r][1] * B.m[1][c] + A.m[r][2] * B.m[2][c] +
                        (c == 3 ? A.m[r][3] : 0.0);
        }
    }
    return C;
}

inline Mat4 rotZ(double q) {
    const double c = std::cos(q), s = std::sin(q);
    return {{{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}}};
}
inline Mat4 rotY(double q) {
    const double c = std::cos(q), s = std::sin(q);
    return {{{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}}};
}
inline Mat4 rotX(double q) {
    const double c = std::cos(q), s = std::sin(q);
    return {{{1, 0, 0, 0}, {0, c, -s, 0}, {0, s, c, 0}}};
}
inline Mat4 shift(double x, double y, double z) {
    return {{{1, 0, 0, x}, {0, 1, 0, y}, {0, 0, 1, z}}};
}

inline Vec3 column(const Mat4& T, int c) { return {T.m[0][c], T.m[1][c], T.m[2][c]}; }

struct OrthoParallel {
    double a1, a2, b, c1, c2, c3, c4;
};

struct DhRow {
    double d, a, alpha;
};

inline Mat4 orthoParallelFk(const OrthoParallel& p, const Joints& q) {
    return rotZ(q[0]) * shift(p.a1, 0, p.c1) * rotY(q[1]) * shift(0, 0, p.c2) * rotY(q[2]) *
           shift(p.a2, p.b, p.c3) * rotZ(q[3]) * rotY(q[4]) * rotZ(q[5]) * shift(0, 0, p.c4);
}

inline Mat4 dhFk(const std::array<DhRow, 6>& rows, const Joints& q) {
    Mat4 T = identity4();
    for (int k = 0; k < 6; ++k) {
        T = T * rotZ(q[k]) * shift(0, 0, rows[k].d) * shift(rows[k].a, 0, 0) * rotX(rows[k].alpha);
    }
    return T;
}

// Joint frames at zero from the chained parameters; every joint turns.
inline ArmDescription orthoParallelArm(const OrthoParallel& p) {
    const Axes upright{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Axes aboutY{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};  // Z along world Y
    const Vec3 shoulder{p.a1, 0, p.c1};
    const Vec3 elbow{p.a1, 0, p.c1 + p.c2};
    const Vec3 centre{elbow.x + p.a2, elbow.y + p.b, elbow.z + p.c3};
    const Vec3 flange{centre.x, centre.y, centre.z + p.c4};
    const Vec3 origins[7] = {{0, 0, 0}, shoulder, elbow, centre, centre, centre, flange};
    const Axes* axes[7] = {&upright, &aboutY, &aboutY, &upright, &aboutY, &upright, &upright};
    ArmDescription d;
    for (int k = 0; k < 6; ++k) d.JTYPE[k] = 'R';
    d.armBaseAxes = upright;
    for (int k = 0; k < 7; ++k) {
        d.armJointPos[k] = origins[k];
        d.armJointAxes[k] = *axes[k];
    }
    return d;
}

inline ArmDescription dhArm(const std::array<DhRow, 6>& rows) {
    ArmDescription d;
    for (int k = 0; k < 6; ++k) d.JTYPE[k] = 'R';
    d.armBaseAxes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Mat4 T = identity4();
    for (int k = 0; k <= 6; ++k) {
        d.armJointPos[k] = column(T, 3);
        d.armJointAxes[k] = {column(T, 0), column(T, 1), column(T, 2)};
        if (k < 6) {
            T = T * shift(0, 0, rows[k].d) * shift(rows[k].a, 0, 0) * rotX(rows[k].alpha);
        }
    }
    return d;
}

struct RealArm {
    std::string name;
    ArmDescription desc;
    bool dh;  // which parameter form below applies
    OrthoParallel op;
    std::array<DhRow, 6> rows;

    Mat4 fk(const Joints& q) const { return dh ? dhFk(rows, q) : orthoParallelFk(op, q); }
};

inline RealArm orthoParallelReal(std::string name, const OrthoParallel& p) {
    return {std::move(name), orthoParallelArm(p), false, p, {}};
}

inline RealArm dhReal(std::string name, const std::array<DhRow, 6>& rows) {
    return {std::move(name), dhArm(rows), true, {}, rows};
}

// A 6 kg-class arm of 0.7 m reach: the shoulder axis 0.025 forward of the
// waist axis, a small elbow offset, a spherical wrist.
inline RealArm sphericalWristShoulderOffset07() {
    return orthoParallelReal("spherical wrist, shoulder offset 0.025, 0.7 m",
                             {0.025, -0.035, 0.0, 0.400, 0.315, 0.365, 0.080});
}

// A 10 kg-class arm of 1.5 m reach: larger shoulder and elbow offsets, a
// spherical wrist.
inline RealArm sphericalWristShoulderOffset15() {
    return orthoParallelReal("spherical wrist, shoulder offset 0.1, 1.5 m",
                             {0.100, -0.135, 0.0, 0.615, 0.705, 0.755, 0.085});
}

// Shoulder, elbow and first wrist axes parallel, each wrist axis offset from
// the one before (no wrist centre), 0.85 m reach.
inline RealArm offsetWristThreeParallel() {
    const double h = M_PI / 2;
    return dhReal("offset wrist, three parallel axes, 0.85 m",
                  {{{0.089159, 0.0, h},
                    {0.0, -0.425, 0.0},
                    {0.0, -0.39225, 0.0},
                    {0.10915, 0.0, h},
                    {0.09465, 0.0, -h},
                    {0.0823, 0.0, 0.0}}});
}

inline std::vector<RealArm> realArms() {
    return {sphericalWristShoulderOffset07(), offsetWristThreeParallel(),
            sphericalWristShoulderOffset15()};
}

}  // namespace kin::testing
