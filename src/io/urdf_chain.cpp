// From the chain of URDF joints to the arm description: each joint's frame
// carried into the base link's coordinates, its axis, type and limits, then
// the tool. The values are urdfdom's; the lines for the errors come from
// the structure pass.

#include <cmath>
#include <string>

#include "io/io_detail.hpp"
#include "io/urdf_detail.hpp"
#include "numeric/frame.hpp"

namespace armkin::urdf_io {

namespace {

using io::quoted;

//! The joint's origin, a rigid transform from its parent link's frame.
bool originOf(const urdf::Joint& j, const std::string& owner, const std::string& source, int line,
              Frame& step, LoadError& error) {
    const urdf::Pose& o = j.parent_to_joint_origin_transform;
    if (!io::frameFromQuaternion({o.position.x, o.position.y, o.position.z}, o.rotation.x, o.rotation.y,
                                 o.rotation.z, o.rotation.w, step) ||
        !kin::isFinite(step)) {
        error = {source, line, owner + ": non-finite origin"};
        return false;
    }
    return true;
}

//! A continuous joint has no limits, whatever its <limit> says; urdfdom
//! insists on them for revolute and prismatic joints.
bool rangeOf(const urdf::Joint& j, const std::string& owner, const std::string& source, int line,
             JointRange& range, LoadError& error) {
    range = io::kUnbounded;
    if (j.type != urdf::Joint::CONTINUOUS && j.limits) {
        range = {j.limits->lower, j.limits->upper};
        if (!std::isfinite(range.lower) || !std::isfinite(range.upper)) {
            error = {source, line, owner + ": non-finite limit"};
            return false;
        }
    }
    if (range.lower > range.upper) {
        error = {source, line, owner + ": lower limit " + io::formatNumber(range.lower) + " above upper limit " +
                                   io::formatNumber(range.upper)};
        return false;
    }
    return true;
}

}  // namespace

bool checkChainJoints(const XmlTree& tree, const XmlChain& chain, const urdf::ModelInterface& model,
                      const std::string& source, LoadError& error) {
    int movable = 0;
    for (const int index : chain.joints) {
        const XmlJoint& j = tree.joints[index];
        if (j.type == "floating" || j.type == "planar") {
            error = {source, j.line, "joint " + quoted(j.name) + ": unsupported joint type " + quoted(j.type) +
                                         " (arm joints are revolute, continuous or prismatic)"};
            return false;
        }
        if (j.type == "fixed") continue;
        ++movable;
        // A coupled joint follows another one and has no value of its own.
        const urdf::JointConstSharedPtr parsed = model.getJoint(j.name);
        if (parsed && parsed->mimic) {
            error = {source, j.line,
                     "joint " + quoted(j.name) + " is coupled: it mimics joint " +
                         quoted(parsed->mimic->joint_name) + "; armkin needs six independent joints"};
            return false;
        }
    }
    if (movable != 6) {
        error = {source, 0,
                 std::to_string(movable) + " movable joints between " + quoted(tree.links[chain.base].name) +
                     " and " + quoted(tree.links[chain.tip].name) + "; an arm has 6"};
        return false;
    }
    return true;
}

bool describeChain(const XmlTree& tree, const XmlChain& chain, const urdf::ModelInterface& model,
                   const Frame& toolOffset, const std::string& source, LoadedArm& arm, LoadError& error) {
    arm.name = model.getName();
    arm.description.armBasePos = {0, 0, 0};
    arm.description.armBaseAxes = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Frame link = kin::identityFrame();  // the current link's frame in the base link's
    int k = 0;
    for (const int index : chain.joints) {
        const XmlJoint& xj = tree.joints[index];
        const std::string owner = "joint " + quoted(xj.name);
        const auto found = model.joints_.find(xj.name);
        if (found == model.joints_.end() || !found->second) {
            error = {source, xj.line, owner + " is missing from the URDF reader's model"};
            return false;
        }
        const urdf::Joint& j = *found->second;
        Frame step;
        if (!originOf(j, owner, source, xj.line, step, error)) return false;
        link = kin::frameMul(link, step);
        if (j.type == urdf::Joint::FIXED) continue;

        const JointType type = j.type == urdf::Joint::PRISMATIC ? JointType::Sliding : JointType::Turning;
        if (type == JointType::Sliding && k >= 3) {
            error = {source, xj.line,
                     owner + " (arm joint " + std::to_string(k) + ") slides; joints 3 to 5 must turn"};
            return false;
        }
        Vec3 axis;
        if (!io::unitAxis({j.axis.x, j.axis.y, j.axis.z}, axis)) {
            error = {source, xj.line, owner + ": zero-length axis"};
            return false;
        }
        axis = kin::frameApplyVector(link, axis);
        JointRange range;
        if (!rangeOf(j, owner, source, xj.line, range, error)) return false;

        arm.description.JTYPE[k] = static_cast<char>(type);
        arm.description.armJointPos[k] = link.O;
        arm.description.armJointAxes[k] = io::jointAxes(type, axis, link);
        arm.limits[k] = range;
        arm.jointNames[k] = j.name;
        ++k;
    }
    const Frame tool = kin::frameMul(link, toolOffset);
    arm.description.armJointPos[6] = tool.O;
    arm.description.armJointAxes[6] = {tool.X, tool.Y, tool.Z};
    return true;
}

}  // namespace armkin::urdf_io
