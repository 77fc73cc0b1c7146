#include "arm/dh_table.hpp"

#include <cmath>

#include "numeric/frame.hpp"

namespace kin {

namespace {

Frame rotZ(double t) {
    const double c = std::cos(t);
    const double s = std::sin(t);
    return {{c, s, 0.0}, {-s, c, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, 0.0}};
}

Frame rotX(double t) {
    const double c = std::cos(t);
    const double s = std::sin(t);
    return {{1.0, 0.0, 0.0}, {0.0, c, s}, {0.0, -s, c}, {0.0, 0.0, 0.0}};
}

Frame shift(double x, double z) {
    Frame f = identityFrame();
    f.O = {x, 0.0, z};
    return f;
}

//! The table's transform of row r with every joint at zero.
Frame rowTransform(DhConvention convention, const DhRow& r) {
    if (convention == DhConvention::Standard) {
        return frameMul(frameMul(rotZ(r.offset), shift(r.a, r.d)), rotX(r.alpha));
    }
    return frameMul(frameMul(rotX(r.alpha), shift(r.a, 0.0)), frameMul(rotZ(r.offset), shift(0.0, r.d)));
}

//! The joint frame the arm model wants for a DH frame whose Z axis carries
//! the joint: unchanged for a turning joint; for a sliding joint the axes
//! are relabelled (X <- Z, Y <- X, Z <- Y) so that the slide runs along X.
void putJoint(const Frame& dh, char type, Vec3& pos, Axes& axes) {
    pos = dh.O;
    if (type == 'R') {
        axes = {dh.X, dh.Y, dh.Z};
    } else {
        axes = {dh.Z, dh.X, dh.Y};
    }
}

bool finite(const Frame& f) {
    const Vec3* v[4] = {&f.X, &f.Y, &f.Z, &f.O};
    for (const Vec3* p : v) {
        if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z)) return false;
    }
    return true;
}

}  // namespace

int describeDhArm(const DhTable& table, ArmDescription& out) {
    for (const DhRow& r : table.rows) {
        if (r.type != 'R' && r.type != 'S') return 0;
        if (!std::isfinite(r.a) || !std::isfinite(r.alpha) || !std::isfinite(r.d) ||
            !std::isfinite(r.offset)) {
            return 0;
        }
    }
    if (!finite(table.flange) || !finite(table.base)) return 0;

    ArmDescription d;
    d.armBasePos = {0.0, 0.0, 0.0};
    d.armBaseAxes = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    Frame T = table.base;
    for (int k = 0; k < kMaxJoints; ++k) {
        const DhRow& r = table.rows[k];
        d.JTYPE[k] = r.type;
        if (table.convention == DhConvention::Standard) {
            // Joint k moves about the Z axis of the frame before its row.
            putJoint(T, r.type, d.armJointPos[k], d.armJointAxes[k]);
            T = frameMul(T, rowTransform(table.convention, r));
        } else {
            // Joint k moves about the Z axis of the frame its row ends in.
            T = frameMul(T, rowTransform(table.convention, r));
            putJoint(T, r.type, d.armJointPos[k], d.armJointAxes[k]);
        }
    }
    const Frame tool = frameMul(T, table.flange);
    d.armJointPos[kMaxJoints] = tool.O;
    d.armJointAxes[kMaxJoints] = {tool.X, tool.Y, tool.Z};
    d.JTYPE[kMaxJoints] = '\0';
    d.JTYPE[kMaxJoints + 1] = '\0';
    out = d;
    return 1;
}

}  // namespace kin
