#include <cstdio>
#include <cstring>

#include <armkin/arm.hpp>

#include "arm/builtin_arm.hpp"
#include "numeric/frame.hpp"

namespace armkin {

namespace {

//! The first problem of one set of axes: unit length, then orthogonality,
//! then handedness.
SetupError checkAxes(const Axes& a) {
    switch (kin::axesFault(a, kAxisTolerance)) {
    case kin::AxesFault::None: return SetupError::None;
    case kin::AxesFault::NotUnit: return SetupError::AxisNotUnit;
    case kin::AxesFault::NotOrthogonal: return SetupError::AxesNotOrthogonal;
    case kin::AxesFault::NotRightHanded: return SetupError::AxesNotRightHanded;
    }
    return SetupError::AxesNotRightHanded;
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
    if (!kin::isFinite(arm.armBasePos) || !kin::isFinite(arm.armBaseAxes)) return fail(SetupError::NonFinite, kBase);
    for (int k = 0; k < 7; ++k) {
        if (!kin::isFinite(arm.armJointPos[k]) || !kin::isFinite(arm.armJointAxes[k]))
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
