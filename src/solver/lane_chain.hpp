#pragma once
//! Frames whose every component is a double or a vector of lanes (one
//! candidate per lane), and the check's chain on them: the same operations
//! in the same order as the solver's chain on Frame, so each lane's result
//! is the one a single candidate gives, to the bit. Internal to solver/.

#include "numeric/lanes.hpp"
#include "solver/solver.hpp"

namespace kin::solver {

template <class T>
struct V3 {
    T x, y, z;
};
template <class T>
struct F3 {
    V3<T> X, Y, Z, O;
};

//! v in every lane, and a frame in every lane.
template <class T>
V3<T> spread(const Vec3& v) {
    return {splat<T>(v.x), splat<T>(v.y), splat<T>(v.z)};
}
template <class T>
F3<T> spread(const Frame& F) {
    return {spread<T>(F.X), spread<T>(F.Y), spread<T>(F.Z), spread<T>(F.O)};
}

template <class T, class U>
V3<T> sub(const V3<T>& a, const U& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <class T>
T dot(const V3<T>& a, const V3<T>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <class T>
V3<T> cross(const V3<T>& a, const V3<T>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
template <class T>
T det3(const V3<T>& a, const V3<T>& b, const V3<T>& c) {
    return dot(a, cross(b, c));
}
//! F's rotation applied to a direction, and to a point (frameApplyVector,
//! frameApplyPoint); v and p fixed (Vec3) or in lanes (V3<T>).
template <class T, class V>
V3<T> apply(const F3<T>& F, const V& v) {
    return {F.X.x * v.x + F.Y.x * v.y + F.Z.x * v.z, F.X.y * v.x + F.Y.y * v.y + F.Z.y * v.z,
            F.X.z * v.x + F.Y.z * v.y + F.Z.z * v.z};
}
template <class T, class V>
V3<T> applyPoint(const F3<T>& F, const V& p) {
    return {F.X.x * p.x + F.Y.x * p.y + F.Z.x * p.z + F.O.x,
            F.X.y * p.x + F.Y.y * p.y + F.Z.y * p.z + F.O.y,
            F.X.z * p.x + F.Y.z * p.y + F.Z.z * p.z + F.O.z};
}
//! A direction and a fixed point seen from F (frameInvApplyVector,
//! frameInvApplyPoint).
template <class T, class V>
V3<T> invApply(const F3<T>& F, const V& v) {
    return {F.X.x * v.x + F.X.y * v.y + F.X.z * v.z, F.Y.x * v.x + F.Y.y * v.y + F.Y.z * v.z,
            F.Z.x * v.x + F.Z.y * v.y + F.Z.z * v.z};
}
template <class T>
V3<T> invApplyPoint(const F3<T>& F, const Vec3& p) {
    const V3<T> d{p.x - F.O.x, p.y - F.O.y, p.z - F.O.z};
    return {d.x * F.X.x + d.y * F.X.y + d.z * F.X.z, d.x * F.Y.x + d.y * F.Y.y + d.z * F.Y.z,
            d.x * F.Z.x + d.y * F.Z.y + d.z * F.Z.z};
}
//! F turned about its Z axis by the angle whose cosine and sine are c, s
//! (turnFrame).
template <class T>
void turn(F3<T>& F, const T& c, const T& s) {
    const V3<T> X = F.X;
    F.X = {c * X.x + s * F.Y.x, c * X.y + s * F.Y.y, c * X.z + s * F.Y.z};
    F.Y = {c * F.Y.x - s * X.x, c * F.Y.y - s * X.y, c * F.Y.z - s * X.z};
}
//! prev times the frame L, fixed (Frame) or in lanes (frameMul).
template <class T, class F>
F3<T> mul(const F3<T>& prev, const F& L) {
    return {apply(prev, L.X), apply(prev, L.Y), apply(prev, L.Z), applyPoint(prev, L.O)};
}
//! The inverse of a rigid transform (frameInverse).
template <class T>
F3<T> inverse(const F3<T>& A) {
    F3<T> B;
    B.X = {A.X.x, A.Y.x, A.Z.x};
    B.Y = {A.X.y, A.Y.y, A.Z.y};
    B.Z = {A.X.z, A.Y.z, A.Z.z};
    B.O = {(-B.X.x) * A.O.x - B.Y.x * A.O.y - B.Z.x * A.O.z, (-B.X.y) * A.O.x - B.Y.y * A.O.y - B.Z.y * A.O.z,
           (-B.X.z) * A.O.x - B.Y.z * A.O.y - B.Z.z * A.O.z};
    return B;
}
//! The frame after the next joint: prev times its link frame L, turned.
template <class T>
F3<T> advance(const F3<T>& prev, const Frame& L, const T& c, const T& s) {
    F3<T> F = mul(prev, L);
    turn(F, c, s);
    return F;
}
//! The linear part of a turning joint's Jacobian column, taken about x.
template <class T>
V3<T> about(const F3<T>& F, const V3<T>& x) {
    return cross(F.Z, sub(x, F.O));
}

//! What the check leaves per lane: the tool's squared distance and the
//! squared Frobenius distance of its axes from the target, and the
//! Jacobian's determinant.
template <class T>
struct Measured {
    T position2, frobenius2, det;
};

//! The tool of last joint frame J5 against target: writes r.position2 and
//! r.frobenius2.
template <class T>
void measureTool(const SolverModel& m, const F3<T>& J5, const Frame& target, Measured<T>& r) {
    const V3<T> d = sub(applyPoint(J5, m.toolPoint), target.O);
    r.position2 = d.x * d.x + d.y * d.y + d.z * d.z;
    const V3<T> dX = sub(apply(J5, m.toolRot.X), target.X);
    const V3<T> dY = sub(apply(J5, m.toolRot.Y), target.Y);
    const V3<T> dZ = sub(apply(J5, m.toolRot.Z), target.Z);
    r.frobenius2 = dot(dX, dX) + dot(dY, dY) + dot(dZ, dZ);
}

//! A spherical wrist's arm factor of the Jacobian determinant: joints
//! 0..2's linear parts about the wrist centre (the same for both wrist
//! solutions of a branch), from the world frames after each of them.
template <class T>
T sphericalArmFactor(const SolverModel& m, const F3<T>& J0, const F3<T>& J1, const F3<T>& J2) {
    const V3<T> w = applyPoint(J2, m.wristCentreArm);
    return dot(about(J0, w), cross(about(J1, w), about(J2, w)));
}

//! A spherical wrist's check from joint frame 3 before q3 turns (next) and
//! the branch's arm factor, for the turns (c, s) of joints 3..5.
template <class T>
Measured<T> measureSpherical(const SolverModel& m, const F3<T>& next, const T& armFactor, const Frame& target,
                             const T* c, const T* s) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    Measured<T> r;
    F3<T> J3 = next;
    turn(J3, c[0], s[0]);
    const F3<T> J4 = advance(J3, L[4], c[1], s[1]);
    const F3<T> J5 = advance(J4, L[5], c[2], s[2]);
    r.det = armFactor * det3(J3.Z, J4.Z, J5.Z);
    measureTool(m, J5, target, r);
    return r;
}

//! Three parallel axes' check from joint frame 0 (J0) and joint frame 1
//! before q1 turns (next), for the turns (c, s) of joints 1..5: the
//! determinant about the point where axes 4 and 5 meet.
template <class T>
Measured<T> measureParallel(const SolverModel& m, const F3<T>& J0, const F3<T>& next, const Frame& target,
                            const T* c, const T* s) {
    const std::array<Frame, kMaxJoints>& L = m.model.linkFrames;
    Measured<T> r;
    F3<T> J1 = next;
    turn(J1, c[0], s[0]);
    const F3<T> J2 = advance(J1, L[2], c[1], s[1]);
    const F3<T> J3 = advance(J2, L[3], c[2], s[2]);
    const F3<T> J4 = advance(J3, L[4], c[3], s[3]);
    const F3<T> J5 = advance(J4, L[5], c[4], s[4]);
    const V3<T> x = applyPoint(J5, m.axisMeetLast);
    const V3<T> v3 = about(J3, x);
    r.det = det3(sub(about(J1, x), v3), sub(about(J2, x), v3), about(J0, x)) * det3(J1.Z, J4.Z, J5.Z);
    measureTool(m, J5, target, r);
    return r;
}

}  // namespace kin::solver
