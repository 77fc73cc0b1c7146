#include "io/dh_table.hpp"

#include <cmath>

#include "io/io_detail.hpp"

namespace armkin::io {

namespace {

//! Rz(theta) Tz(d) Tx(a) Rx(alpha).
Frame standardLink(const DhRow& r) {
    const double ct = std::cos(r.theta), st = std::sin(r.theta);
    const double ca = std::cos(r.alpha), sa = std::sin(r.alpha);
    return {{ct, st, 0.0}, {-st * ca, ct * ca, sa}, {st * sa, -ct * sa, ca}, {r.a * ct, r.a * st, r.d}};
}

//! Rx(alpha) Tx(a) Rz(theta) Tz(d).
Frame modifiedLink(const DhRow& r) {
    const double ct = std::cos(r.theta), st = std::sin(r.theta);
    const double ca = std::cos(r.alpha), sa = std::sin(r.alpha);
    return {{ct, st * ca, st * sa}, {-st, ct * ca, ct * sa}, {0.0, -sa, ca}, {r.a, -r.d * sa, r.d * ca}};
}

//! The joint frame of a DH frame: unchanged for a turning joint; for a
//! sliding one X := z, Y := -y, Z := x (still right-handed).
Frame jointFrame(JointType type, const Frame& dh) {
    if (type == JointType::Turning) return dh;
    return {dh.Z, {-dh.Y.x, -dh.Y.y, -dh.Y.z}, dh.X, dh.O};
}

}  // namespace

void dhJointFrames(DhConvention convention, const std::array<DhRow, 6>& rows, const Frame& base,
                   std::array<Frame, 6>& joints, Frame& last) {
    Frame f = base;
    for (int k = 0; k < 6; ++k) {
        if (convention == DhConvention::standard) {
            joints[k] = jointFrame(rows[k].type, f);
            f = compose(f, standardLink(rows[k]));
        } else {
            f = compose(f, modifiedLink(rows[k]));
            joints[k] = jointFrame(rows[k].type, f);
        }
    }
    last = f;
}

}  // namespace armkin::io
