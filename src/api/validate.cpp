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
            return SetupError::axisNotUnit;
    }
    if (!(std::fabs(dot(a.X, a.Y)) <= kAxisTolerance) ||
        !(std::fabs(dot(a.Y, a.Z)) <= kAxisTolerance) ||
        !(std::fabs(dot(a.Z, a.X)) <= kAxisTolerance))
        return SetupError::axesNotOrthogonal;
    const Vec3 c{a.X.y * a.Y.z - a.X.z * a.Y.y, a.X.z * a.Y.x - a.X.x * a.Y.z,
                 a.X.x * a.Y.y - a.X.y * a.Y.x};
    if (!(std::fabs(c.x - a.Z.x) <= kAxisTolerance && std::fabs(c.y - a.Z.y) <= kAxisTolerance &&
          std::fabs(c.z - a.Z.z) <= kAxisTolerance))
        return SetupError::axesNotRightHanded;
    return SetupError::none;
}

SetupResult fail(SetupError e, int entry) { return {e, static_cast<DescriptionEntry>(entry)}; }

}  // namespace

ArmDescription builtinArm() noexcept { return kin::builtinArm(); }

SetupResult validate(const ArmDescription& arm) noexcept {
    constexpr int kLetters = static_cast<int>(DescriptionEntry::letters);
    constexpr int kBase = static_cast<int>(DescriptionEntry::base);
    const std::size_t n = strnlen(arm.JTYPE.data(), arm.JTYPE.size());
    if (n != 6) return fail(SetupError::jointCount, kLetters);
    for (int i = 0; i < 6; ++i) {
        const char c = arm.JTYPE[i];
        if (c != static_cast<char>(JointType::turning) && c != static_cast<char>(JointType::sliding))
            return fail(SetupError::unknownJointType, i);
    }
    for (int i = 3; i < 6; ++i) {
        if (arm.JTYPE[i] != static_cast<char>(JointType::turning))
            return fail(SetupError::slidingWristJoint, i);
    }
    if (!finite(arm.armBasePos) || !finite(arm.armBaseAxes)) return fail(SetupError::nonFinite, kBase);
    for (int k = 0; k < 7; ++k) {
        if (!finite(arm.armJointPos[k]) || !finite(arm.armJointAxes[k]))
            return fail(SetupError::nonFinite, k);
    }
    if (const SetupError e = checkAxes(arm.armBaseAxes); e != SetupError::none) return fail(e, kBase);
    for (int k = 0; k < 7; ++k) {
        if (const SetupError e = checkAxes(arm.armJointAxes[k]); e != SetupError::none)
            return fail(e, k);
    }
    return {};
}

const char* describe(SetupError error) noexcept {
    switch (error) {
    case SetupError::none: return "ok";
    case SetupError::jointCount: return "the arm must have exactly 6 joints";
    case SetupError::unknownJointType: return "a joint type other than R (turning) or S (sliding)";
    case SetupError::slidingWristJoint: return "joints 3 to 5 must turn (R); a sliding wrist joint is not supported";
    case SetupError::nonFinite: return "a position or axis component is not a finite number";
    case SetupError::axisNotUnit: return "an axis is not of unit length";
    case SetupError::axesNotOrthogonal: return "the axes are not orthogonal";
    case SetupError::axesNotRightHanded: return "the axes are not right-handed (X x Y must be Z)";
    }
    return "unknown error";
}

std::string describe(const SetupResult& result) {
    if (result) return "ok";
    const int e = static_cast<int>(result.entry);
    char where[32];
    if (result.entry == DescriptionEntry::letters) {
        std::snprintf(where, sizeof where, "joint types");
    } else if (result.entry == DescriptionEntry::base) {
        std::snprintf(where, sizeof where, "base");
    } else if (result.entry == DescriptionEntry::tool) {
        std::snprintf(where, sizeof where, "tool");
    } else {
        std::snprintf(where, sizeof where, "joint %d", e);
    }
    std::string text = std::string(where) + ": " + describe(result.error);
    if (result.error == SetupError::axisNotUnit || result.error == SetupError::axesNotOrthogonal ||
        result.error == SetupError::axesNotRightHanded) {
        char tol[48];
        std::snprintf(tol, sizeof tol, " (tolerance %g)", kAxisTolerance);
        text += tol;
    }
    return text;
}

}  // namespace armkin
