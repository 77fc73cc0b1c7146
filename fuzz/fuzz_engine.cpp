//! The kinematics engine fed arbitrary doubles, non-finite ones included:
//! an arm description (the built-in arm, the built-in arm with some entries
//! replaced, or anything at all) with arbitrary joint letters, then a few
//! inverse-kinematics calls with arbitrary target poses, neighbour vectors,
//! modes and joint counts, and the stages on their own. Every call must
//! return, and every count must stay within its list: 4 arm candidates,
//! 2 wrist candidates, 8 solutions (1 in CP mode).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "arm/builtin_arm.hpp"
#include "fuzz_input.hpp"
#include "ik/kinematics.hpp"
#include "numeric/euler.hpp"

namespace {

using fuzz::consumeDouble;
using kin::Axes;
using kin::Kinematics;
using kin::Joints;
using kin::Vec3;

Vec3 consumeVec(FuzzedDataProvider& in) {
    const double x = consumeDouble(in);
    const double y = consumeDouble(in);
    const double z = consumeDouble(in);
    return {x, y, z};
}

Axes consumeAxes(FuzzedDataProvider& in) {
    const Vec3 X = consumeVec(in);
    const Vec3 Y = consumeVec(in);
    const Vec3 Z = consumeVec(in);
    return {X, Y, Z};
}

Joints consumeJoints(FuzzedDataProvider& in) {
    Joints q{};
    for (double& v : q) v = consumeDouble(in);
    return q;
}

//! A joint letter: mostly 'R' or 'S', sometimes any byte (NUL ends the
//! string early, which leaves the later joints without a letter).
char consumeLetter(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
        case 1:
            return 'R';
        case 2:
        case 3:
            return 'S';
        default:
            return static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
    }
}

kin::ArmDescription consumeArm(FuzzedDataProvider& in) {
    kin::ArmDescription d = kin::builtinArm();
    for (int i = 0; i < kin::kMaxJoints; ++i) d.JTYPE[i] = consumeLetter(in);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:  // the built-in geometry
            break;
        case 1: {  // some entries replaced
            const int changes = in.ConsumeIntegralInRange<int>(1, 4);
            for (int c = 0; c < changes; ++c) {
                const int k = in.ConsumeIntegralInRange<int>(0, kin::kMaxJoints);
                if (in.ConsumeBool()) {
                    d.armJointPos[k] = consumeVec(in);
                } else {
                    d.armJointAxes[k] = consumeAxes(in);
                }
            }
            break;
        }
        default:  // anything at all
            d.armBasePos = consumeVec(in);
            d.armBaseAxes = consumeAxes(in);
            for (Vec3& p : d.armJointPos) p = consumeVec(in);
            for (Axes& a : d.armJointAxes) a = consumeAxes(in);
            break;
    }
    return d;
}

int consumeCount(FuzzedDataProvider& in) {
    if (in.ConsumeIntegralInRange<int>(0, 7) != 0) return 6;
    return in.ConsumeIntegral<int>();
}

int consumeMode(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return kin::kModePositionOnly;
        case 1:
            return kin::kModeCp;
        case 2:
            return kin::kModePtp;
        default:
            return in.ConsumeIntegral<int>();
    }
}

void checkLists(const Kinematics& e) {
    FUZZ_CHECK(e.ik.arm.armCandCount >= 0 && e.ik.arm.armCandCount <= 4);
    FUZZ_CHECK(e.ik.wrist.wristCandCount >= 0 && e.ik.wrist.wristCandCount <= 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    auto engine = std::make_unique<Kinematics>();
    Kinematics& e = *engine;

    const kin::ArmDescription arm = consumeArm(in);
    kin::Frame base{};
    std::array<kin::Frame, kin::kMaxJoints + 1> links{};
    e.armSetup(consumeCount(in), arm, base, links);

    // A few calls on the same engine: each must cope with what the one
    // before left in the working records.
    for (int call = 0; call < 3 && in.remaining_bytes() > 0; ++call) {
        Vec3 pos;
        Axes axes;
        if (in.ConsumeBool()) {
            // A pose the arm reaches: forward kinematics of arbitrary joints.
            kin::EulerZYZ euler;
            const Joints q = consumeJoints(in);
            e.analys(kin::kMaxJoints, q.data(), pos, euler);
            axes = kin::eulerToAxes(euler);
        } else {
            pos = consumeVec(in);
            axes = consumeAxes(in);
        }
        const Joints neighbour = consumeJoints(in);
        const int dof = consumeCount(in);
        const int mode = consumeMode(in);
        kin::SolutionList solutions{};
        const int sol = e.inverseKinematics(dof, pos, axes, neighbour, solutions, mode);
        FUZZ_CHECK(sol >= 0 && sol <= static_cast<int>(solutions.size()));
        if (dof == 6 && mode == kin::kModeCp) FUZZ_CHECK(sol <= 1);
        if (dof != 6) FUZZ_CHECK(sol == 0);
        checkLists(e);

        // The stages on their own, from arbitrary joints.
        if (in.ConsumeBool()) {
            e.ik.workPhi = consumeJoints(in);
            e.armTransform();
            e.wristTransform();
            e.solveArmCase();
            checkLists(e);
            e.wristSolve();
            checkLists(e);
            kin::Joints out{};
            const kin::PassStatus s = e.cpRefine(consumeJoints(in), out);
            FUZZ_CHECK(s == 'Y' || s == 'O' || s == 'P' || s == 'N');
            checkLists(e);
        }
    }
    return 0;
}
