// From the values of an arm file to the arm: the same geometry as the
// native loaders (kin::describeDhArm for DH tables; io::frameFromXyzRpy,
// io::unitAxis and io::jointAxes for URDF chains), then validate().

#include "arm_input.hpp"

#include "io/io_detail.hpp"
#include "numeric/frame.hpp"

namespace armkin::web {

namespace {

std::string quoted(const std::string& s) { return io::quoted(s); }

//! The joint ranges of a DH table or frames file: as given (the reader has
//! checked their order), or unbounded.
void fileLimits(const ArmInput& input, LoadedArm& arm) {
    for (int k = 0; k < 6; ++k) {
        arm.limits[k] = input.hasLimits[k] ? input.limits[k] : io::kUnbounded;
        arm.jointNames[k] = input.jointNames[k];
    }
}

bool describeDh(const ArmInput& input, LoadedArm& arm, std::string& reason) {
    kin::DhTable table;
    table.convention = input.convention;
    table.rows = input.rows;
    table.base = io::frameFromXyzRpy(input.base.xyz, input.base.rpy);
    table.flange = io::frameFromXyzRpy(input.tool.xyz, input.tool.rpy);
    if (!kin::describeDhArm(table, arm.description)) {
        reason = "dh: the table gives non-finite frames";
        return false;
    }
    fileLimits(input, arm);
    return true;
}

//! The URDF chain carried into the base link's frame, as the native
//! loader's describeChain does with urdfdom's values.
bool describeUrdf(const ArmInput& input, LoadedArm& arm, std::string& reason) {
    int movable = 0;
    for (const UrdfJointInput& j : input.chain) {
        if (j.kind == UrdfJointKind::Unsupported) {
            reason = "joint " + quoted(j.name) + ": unsupported joint type (arm joints are revolute, continuous or prismatic)";
            return false;
        }
        movable += j.kind != UrdfJointKind::Fixed;
    }
    if (movable != 6) {
        reason = std::to_string(movable) + " movable joints between " + quoted(input.baseLink) + " and " +
                 quoted(input.tipLink) + "; an arm has 6";
        return false;
    }
    ArmDescription& d = arm.description;
    d.armBasePos = {0, 0, 0};
    d.armBaseAxes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    kin::Frame link = kin::identityFrame();
    int k = 0;
    for (const UrdfJointInput& j : input.chain) {
        const std::string owner = "joint " + quoted(j.name);
        const kin::Frame step = io::frameFromXyzRpy(j.xyz, j.rpy);
        if (!kin::isFinite(step)) {
            reason = owner + ": non-finite origin";
            return false;
        }
        link = kin::frameMul(link, step);
        if (j.kind == UrdfJointKind::Fixed) continue;
        const JointType type = j.kind == UrdfJointKind::Prismatic ? JointType::Sliding : JointType::Turning;
        if (type == JointType::Sliding && k >= 3) {
            reason = owner + " (arm joint " + std::to_string(k) + ") slides; joints 3 to 5 must turn";
            return false;
        }
        Vec3 axis;
        if (!io::unitAxis(j.axis, axis)) {
            reason = owner + ": zero-length axis";
            return false;
        }
        axis = kin::frameApplyVector(link, axis);
        // A continuous joint has no limits, whatever its <limit> says (the
        // reader has checked the order of the others).
        JointRange range = io::kUnbounded;
        if (j.kind != UrdfJointKind::Continuous && j.hasLimits) range = j.limits;
        d.JTYPE[k] = static_cast<char>(type);
        d.armJointPos[k] = link.O;
        d.armJointAxes[k] = io::jointAxes(type, axis, link);
        arm.limits[k] = range;
        arm.jointNames[k] = j.name;
        ++k;
    }
    d.armJointPos[6] = link.O;
    d.armJointAxes[6] = {link.X, link.Y, link.Z};
    return true;
}

}  // namespace

bool describeArm(const ArmInput& input, LoadedArm& arm, std::string& reason) {
    arm = LoadedArm{};
    arm.name = input.name;
    bool ok = false;
    switch (input.form) {
    case ArmForm::Builtin:
        arm.description = builtinArm();
        arm.limits.fill(io::kUnbounded);
        ok = true;
        break;
    case ArmForm::Frames:
        arm.description = input.frames;
        fileLimits(input, arm);
        // The axes as written must already be orthonormal and right-handed:
        // refused as the native reader refuses them, naming the entry.
        if (const SetupResult check = validate(arm.description); !check) {
            reason = describe(check);
            return false;
        }
        ok = true;
        break;
    case ArmForm::DhTable: ok = describeDh(input, arm, reason); break;
    case ArmForm::UrdfChain: ok = describeUrdf(input, arm, reason); break;
    }
    if (!ok) return false;
    // The loaders' own last step: default joint names, then validate().
    LoadResult r = io::finish(std::move(arm), "");
    if (!r) {
        reason = r.error.reason;
        return false;
    }
    arm = std::move(r.arm);
    return true;
}

}  // namespace armkin::web
