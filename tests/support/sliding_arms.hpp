#pragma once
// Test arms whose joints 0..2 slide or turn, one or more for each of the
// case numbers 1..7, and the sampling helpers the sliding-joint tests share.
//
// Every arm carries the same spherical wrist as the console program's arm
// (axes along world Z, Y, Z at zero, tool point 0.2 above the wrist centre);
// only joints 0..2 and the wrist centre differ.

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "ik/engine.hpp"
#include "numeric/frame.hpp"
#include "test_arms.hpp"

namespace kin::testing {

inline Vec3 normalized(const Vec3& v) {
    const double n = std::sqrt(dot3(v, v));
    return {v.x / n, v.y / n, v.z / n};
}

// One of joints 0..2 at zero displacement, in world coordinates: 'R' turns
// about `axis`, 'S' slides along it; `ref` fixes the other axes.
struct JointSpec {
    char type;
    Vec3 origin;
    Vec3 axis;
    Vec3 ref;
};

// Orthonormal right-handed axes with Z = axis ('R') or X = axis ('S').
inline Axes jointAxes(const JointSpec& j) {
    const Vec3 a = normalized(j.axis);
    const double k = dot3(j.ref, a);
    const Vec3 r = normalized({j.ref.x - k * a.x, j.ref.y - k * a.y, j.ref.z - k * a.z});
    Axes A;
    if (j.type == 'R') {
        A.Z = a;
        A.X = r;
        A.Y = cross3(A.Z, A.X);
    } else {
        A.X = a;
        A.Z = r;
        A.Y = cross3(A.Z, A.X);
    }
    return A;
}

// Which branch of its case solver the arm is meant to drive.
enum class Branch {
    General,
    SlideInPlane,      // a sliding axis in the xy-plane of link frame 1 (X1.z or X2.z zero)
    BothHeightsFixed,  // case 5, X1.z = X2.z = 0: no candidate at all
    EqualTilt,         // case 5, slideTiltDet negligible
    Dependent,         // cases 2, 4, 6: the y and z equations dependent in one unknown
    ParallelSlides,    // case 7, slideCrossX zero: no candidate at all
};

struct SlidingArm {
    std::string name;
    int armCase;
    Branch branch;
    std::array<JointSpec, 3> joints;
    Vec3 wristCentre;
    double slideLo = -0.5, slideHi = 0.5;  // sampled range of the sliding joints
};

inline ArmDescription describe(const SlidingArm& arm) {
    const Axes identity{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Axes aboutY{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    ArmDescription d;
    d.armBaseAxes = identity;
    for (int k = 0; k < 3; ++k) {
        d.JTYPE[k] = arm.joints[k].type;
        d.armJointPos[k] = arm.joints[k].origin;
        d.armJointAxes[k] = jointAxes(arm.joints[k]);
    }
    const Vec3 c = arm.wristCentre;
    const Axes* wrist[3] = {&identity, &aboutY, &identity};
    for (int k = 3; k < 6; ++k) {
        d.JTYPE[k] = 'R';
        d.armJointPos[k] = c;
        d.armJointAxes[k] = *wrist[k - 3];
    }
    d.armJointPos[6] = {c.x, c.y, c.z + 0.2};
    d.armJointAxes[6] = identity;
    return d;
}

// Largest number of candidates each case solver may return.
inline constexpr int kAtMost[8] = {4, 4, 4, 4, 2, 2, 2, 1};

// The table. Axes are world directions at zero displacement.
inline std::vector<SlidingArm> slidingArms() {
    const Vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    const Vec3 boom = normalized({1, 0.4, 0.2});
    using B = Branch;
    return {
        // Case 1: a rail tilted against the vertical shoulder axis, then an
        // elbow about a horizontal axis.
        {"SRR tilted rail", 1, B::General,
         {{{'S', {0, 0, 0}, {1, 0, 0.4}, z},
           {'R', {0.2, 0, 0.8}, z, x},
           {'R', {1.2, 0, 0.8}, {0.2, 1, 0.3}, x}}},
         {1.2, 0, 1.3}},
        {"SRR horizontal rail", 1, B::SlideInPlane,
         {{{'S', {0, 0, 0}, x, z}, {'R', {0.3, 0, 0.5}, z, x}, {'R', {1.2, 0, 0.5}, y, x}}},
         {1.2, 0, 1.0}},
        // Case 3: waist, shoulder and a telescopic boom.
        {"RRS skewed boom", 3, B::General,
         {{{'R', {0, 0, 0}, z, x},
           {'R', {0, 0, 1.0}, y, x},
           {'S', {0.3, 0.1, 1.0}, boom, z}}},
         {0.3 + 0.5 * boom.x, 0.1 + 0.5 * boom.y, 1.0 + 0.5 * boom.z}},
        {"RRS boom square to the shoulder", 3, B::SlideInPlane,
         {{{'R', {0, 0, 0}, z, x}, {'R', {0, 0, 1.0}, y, x}, {'S', {0, 0.15, 1.0}, x, z}}},
         {0.8, 0.15, 1.0},
         -0.3,
         0.5},
        // Case 5: a rail, a turntable and a lift.
        {"SRS tilted rail and lift", 5, B::General,
         {{{'S', {0, 0, 0}, {1, 0, 0.5}, z},
           {'R', {0.3, 0, 0.5}, z, x},
           {'S', {0.9, 0, 0.5}, {0.3, 0.2, 1}, x}}},
         {0.9, 0, 0.9}},
        {"SRS horizontal rail and lift", 5, B::SlideInPlane,
         {{{'S', {0, 0, 0}, x, z}, {'R', {0.3, 0, 0.5}, z, x}, {'S', {0.9, 0, 0.5}, {0.2, 0, 1}, x}}},
         {0.9, 0, 0.9}},
        {"SRS equally tilted slides", 5, B::EqualTilt,
         {{{'S', {0, 0, 0}, {1, 0, 1}, z},
           {'R', {0.3, 0, 0.5}, z, x},
           {'S', {0.9, 0, 0.5}, {0, 1, 1}, x}}},
         {0.9, 0, 0.9}},
        {"SRS both slides horizontal", 5, B::BothHeightsFixed,
         {{{'S', {0, 0, 0}, x, z}, {'R', {0.3, 0, 0.5}, z, x}, {'S', {0.9, 0, 0.5}, y, z}}},
         {0.9, 0, 0.9}},
        // Case 2: a waist, a slide and an elbow.
        {"RSR slide along a tilted waist", 2, B::General,
         {{{'R', {0, 0, 0}, z, x},
           {'S', {0.4, 0, 0.5}, {0.5, 0, 1}, {0.3, 1, 0.2}},
           {'R', {0.4, 0, 1.2}, {0.3, 1, 0.4}, x}}},
         {0.9, 0, 1.2}},
        {"RSR radial slide", 2, B::Dependent,
         {{{'R', {0, 0, 0}, z, x}, {'S', {0.3, 0, 1.0}, x, {0, 0.4, 1}}, {'R', {0.8, 0, 1.0}, {0.2, 1, 0.5}, x}}},
         {0.8, 0, 1.5}},
        // Case 4: a lift, a slide and a turning head.
        {"SSR head turning about the slide", 4, B::General,
         {{{'S', {0, 0, 0}, z, x},
           {'S', {0, 0, 0.5}, x, {0, 0.3, 1}},
           {'R', {0.5, 0, 0.5}, {1, 0.3, 0.2}, y}}},
         {0.7, 0.5, 0.5}},
        {"SSR head tilted across the slide", 4, B::Dependent,
         {{{'S', {0, 0, 0}, z, x}, {'S', {0, 0, 0.5}, x, {0, 0.3, 1}}, {'R', {0.5, 0, 0.5}, {0, 0.5, 1}, x}}},
         {0.9, 0.2, 0.5}},
        // Case 6: cylindrical arms.
        {"RSS lift then skewed boom", 6, B::General,
         {{{'R', {0, 0, 0}, z, x}, {'S', {0.2, 0, 0.3}, z, x}, {'S', {0.2, 0, 0.6}, {1, 0.3, 0.2}, z}}},
         {0.8, 0.1, 0.6}},
        {"RSS radial slide then tilted lift", 6, B::Dependent,
         {{{'R', {0, 0, 0}, z, x}, {'S', {0.2, 0, 0.3}, x, z}, {'S', {0.5, 0, 0.3}, {0.2, 0.3, 1}, x}}},
         {0.8, 0.1, 0.6}},
        // Case 7: gantries.
        {"SSS gantry", 7, B::General,
         {{{'S', {0, 0, 0}, y, z}, {'S', {0, 0, 0.2}, x, z}, {'S', {0, 0, 0.4}, z, x}}},
         {0.3, 0.2, 0.4}},
        {"SSS skewed gantry", 7, B::General,
         {{{'S', {0, 0, 0}, {0.2, 1, 0.3}, z},
           {'S', {0, 0, 0.2}, {1, 0.1, 0}, z},
           {'S', {0, 0, 0.4}, {0.1, -0.2, 1}, x}}},
         {0.3, 0.2, 0.4}},
        {"SSS all slides along x", 7, B::ParallelSlides,
         {{{'S', {0, 0, 0}, x, z}, {'S', {0, 0, 0.2}, x, z}, {'S', {0, 0, 0.4}, x, z}}},
         {0.3, 0.2, 0.4}},
        {"SSS slides 0 and 2 parallel", 7, B::ParallelSlides,
         {{{'S', {0, 0, 0}, y, z}, {'S', {0, 0, 0.2}, x, z}, {'S', {0, 0, 0.4}, y, z}}},
         {0.3, 0.2, 0.4}},
    };
}

// A random joint vector: arm joints by type, wrist joint 4 kept away from
// the aligned wrist axes (sin q4 = 0).
inline Joints randomJoints(const SlidingArm& arm, std::mt19937_64& rng) {
    std::uniform_real_distribution<double> angle(-3.0, 3.0);
    std::uniform_real_distribution<double> slide(arm.slideLo, arm.slideHi);
    std::uniform_real_distribution<double> bend(0.3, 2.8);
    std::bernoulli_distribution sign;
    Joints q;
    for (int k = 0; k < 3; ++k) q[k] = arm.joints[k].type == 'R' ? angle(rng) : slide(rng);
    q[3] = angle(rng);
    q[4] = sign(rng) ? bend(rng) : -bend(rng);
    q[5] = angle(rng);
    return q;
}

// Distance between two values of joint k: modulo 2 pi for a turning joint.
inline double jointGap(const SlidingArm& arm, int k, double a, double b) {
    return arm.joints[k].type == 'R' ? angleGap(a, b) : std::fabs(a - b);
}

}  // namespace kin::testing
