#include "arm/dh_table.hpp"

#include <cmath>

#include "numeric/frame.hpp"

namespace kin {

namespace {

//! Rz(theta) Tz(d) Tx(a) Rx(alpha).
Frame standardLink(const DhRow& r) {
    const double ct = std::cos(r.offset), st = std::sin(r.offset);
    const double ca = std::cos(r.alpha), sa = std::sin(r.alpha);
    return {{ct, st, 0.0}, {-st * ca, ct * ca, sa}, {st * sa, -ct * sa, ca}, {r.a * ct, r.a * st, r.d}};
}

//! Rx(alpha) Tx(a) Rz(theta) Tz(d).
Frame modifiedLink(const DhRow& r) {
    const double ct = std::cos(r.offset), st = std::sin(r.offset);
    const double ca = std::cos(r.alpha), sa = std::sin(r.alpha);
    return {{ct, st * ca, st * sa}, {-st, ct * ca, ct * sa}, {0.0, -sa, ca}, {r.a, -r.d * sa, r.d * ca}};
}

//! The joint's position and axes for the DH frame carrying it.
void putJoint(const Frame& dh, char type, Vec3& pos, Axes& axes) {
    pos = dh.O;
    if (type == 'R') {
        axes = {dh.X, dh.Y, dh.Z};
    } else {
        axes = {dh.Z, {-dh.Y.x, -dh.Y.y, -dh.Y.z}, dh.X};
    }
}

}  // namespace

int describeDhArm(const DhTable& table, ArmDescription& out) {
    for (const DhRow& r : table.rows) {
        if (r.type != 'R' && r.type != 'S') return 0;
    }
    ArmDescription d;
    d.armBasePos = table.base.O;
    d.armBaseAxes = {table.base.X, table.base.Y, table.base.Z};
    Frame T = table.base;
    for (int k = 0; k < kMaxJoints; ++k) {
        const DhRow& r = table.rows[k];
        d.JTYPE[k] = r.type;
        if (table.convention == DhConvention::Standard) {
            putJoint(T, r.type, d.armJointPos[k], d.armJointAxes[k]);
            T = frameMul(T, standardLink(r));
        } else {
            T = frameMul(T, modifiedLink(r));
            putJoint(T, r.type, d.armJointPos[k], d.armJointAxes[k]);
        }
        if (!kin::isFinite(T)) return 0;
    }
    const Frame tool = frameMul(T, table.flange);
    if (!kin::isFinite(tool)) return 0;
    d.armJointPos[kMaxJoints] = tool.O;
    d.armJointAxes[kMaxJoints] = {tool.X, tool.Y, tool.Z};
    d.JTYPE[kMaxJoints] = '\0';
    d.JTYPE[kMaxJoints + 1] = '\0';
    out = d;
    return 1;
}

}  // namespace kin
