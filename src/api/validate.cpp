#include <cmath>
#include <cstdio>
#include <cstring>

#include <armkin/arm.hpp>

#include "arm/builtin_arm.hpp"

namespace armkin {

namespace {

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool finite(const Axes& a) { return finite(a.X) && finite(a.Y) && finite(a.Z); }

double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

//! The first problem of one set of axes: unit length, then orthogonality,
//! then handedness.
SetupError checkAxes(const Axes& a) {
    for (const Vec3* v : {&a.X, &a.Y, &a.Z}) {
        if (!(std::fabs(std::sqrt(dot(*v, *v)) - 1.0) <= kAxisTolerance))
            return SetupError::AxisNotUnit;
    }
    if (!(std::fabs(dot(a.X, a.Y)) <= kAxisTolerance) ||
        !(std::fabs(dot(a.Y, a.Z)) <= kAxisTolerance) ||
        !(std::fabs(dot(a.Z, a.X)) <= kAxisTolerance))
        return SetupError::AxesNotOrthogonal;
    const Vec3 c{a.X.y * a.Y.z - a.X.z * a.Y.y, a.X.z * a.Y.x - a.X.x * a.Y.z,
                 a.X.x * a.Y.y - a.X.y * a.Y.x};
    if (!(std::fabs(c.x - a.Z.x) <= kAxisTolerance && std::fabs(c.y - a.Z.y) <= kAxisTolerance &&
          std::fabs(c.z - a.Z.z) <= kAxisTolerance))
        return SetupError::AxesNotRightHanded;
    return SetupError::None;
}

SetupResult fail(SetupError e, int entry) {
    return {Status::InvalidArm, e, static_cast<DescriptionEntry>(entry)};
}

}  // namespace

ArmDescription builtinArm() noexcept { return kin::builtinArm(); }

SetupResult validate(const ArmDescription& arm) noexcept {
    constexpr int kLetters = static_cast<int>(DescriptionEntry::Letters);
    constexpr int kBase = static_cast<int>(DescriptionEntry::Base);
    const std::size_t n = strnlen(arm.JTYPE.data(), arm.JTYPE.size());
    if (n != 6) return fail(SetupError::JointCount, kLetters);
    for (int i = 0; i < 6; ++i) {
        const char c = arm.JTYPE[i];
        if (c != static_cast<char>(JointType::Turning) && c != static_cast<char>(JointType::Sliding))
            return fail(SetupError::UnknownJointType, i);
    }
    for (int i = 3; i < 6; ++i) {
        if (arm.JTYPE[i] != static_cast<char>(JointType::Turning))
            return fail(SetupError::SlidingWristJoint, i);
    }
    if (!finite(arm.armBasePos) || !finite(arm.armBaseAxes)) return fail(SetupError::NonFinite, kBase);
    for (int k = 0; k < 7; ++k) {
        if (!finite(arm.armJointPos[k]) || !finite(arm.armJointAxes[k]))
            return fail(SetupError::NonFinite, k);
    }
    if (const SetupError e = checkAxes(arm.armBaseAxes); e != SetupError::None) return fail(e, kBase);
    for (int k = 0; k < 7; ++k) {
        if (const SetupError e = checkAxes(arm.armJointAxes[k]); e != SetupError::None)
            return fail(e, k);
    }
    return {};
}

const char* describe(SetupError error) noexcept {
    switch (error) {
    case SetupError::None: return "ok";
    case SetupError::JointCount: return "the arm must have exactly 6 joints";
    case SetupError::UnknownJointType: return "a joint type other than R (turning) or S (sliding)";
    case SetupError::SlidingWristJoint: return "joints 3 to 5 must turn (R); a sliding wrist joint is not supported";
    case SetupError::NonFinite: return "a position or axis component is not a finite number";
    case SetupError::AxisNotUnit: return "an axis is not of unit length";
    case SetupError::AxesNotOrthogonal: return "the axes are not orthogonal";
    case SetupError::AxesNotRightHanded: return "the axes are not right-handed (X x Y must be Z)";
    }
    return "unknown error";
}

std::string describe(const SetupResult& result) {
    if (result) return "ok";
    const int e = static_cast<int>(result.entry);
    char where[32];
    if (result.entry == DescriptionEntry::Letters) {
        std::snprintf(where, sizeof where, "joint types");
    } else if (result.entry == DescriptionEntry::Base) {
        std::snprintf(where, sizeof where, "base");
    } else if (result.entry == DescriptionEntry::Tool) {
        std::snprintf(where, sizeof where, "tool");
    } else {
        std::snprintf(where, sizeof where, "joint %d", e);
    }
    std::string text = std::string(where) + ": " + describe(result.error);
    if (result.error == SetupError::AxisNotUnit || result.error == SetupError::AxesNotOrthogonal ||
        result.error == SetupError::AxesNotRightHanded) {
        char tol[48];
        std::snprintf(tol, sizeof tol, " (tolerance %g)", kAxisTolerance);
        text += tol;
    }
    return text;
}

}  // namespace armkin
