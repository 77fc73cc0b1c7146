#include <algorithm>
#include <cmath>

#include "io/io_detail.hpp"
#include "numeric/frame.hpp"

namespace armkin::io {

Frame frameFromXyzRpy(const Vec3& xyz, const Vec3& rpy) {
    const double cr = std::cos(rpy.x), sr = std::sin(rpy.x);
    const double cp = std::cos(rpy.y), sp = std::sin(rpy.y);
    const double cy = std::cos(rpy.z), sy = std::sin(rpy.z);
    Frame f;
    f.X = {cy * cp, sy * cp, -sp};
    f.Y = {cy * sp * sr - sy * cr, sy * sp * sr + cy * cr, cp * sr};
    f.Z = {cy * sp * cr + sy * sr, sy * sp * cr - cy * sr, cp * cr};
    f.O = xyz;
    return f;
}

bool frameFromQuaternion(const Vec3& p, double x, double y, double z, double w, Frame& out) {
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    if (!std::isfinite(n) || n == 0.0) return false;
    x /= n;
    y /= n;
    z /= n;
    w /= n;
    out.X = {1.0 - 2.0 * (y * y + z * z), 2.0 * (x * y + z * w), 2.0 * (x * z - y * w)};
    out.Y = {2.0 * (x * y - z * w), 1.0 - 2.0 * (x * x + z * z), 2.0 * (y * z + x * w)};
    out.Z = {2.0 * (x * z + y * w), 2.0 * (y * z - x * w), 1.0 - 2.0 * (x * x + y * y)};
    out.O = p;
    return true;
}

bool isRigid(const Frame& f) {
    return kin::isFinite(f) && kin::axesFault({f.X, f.Y, f.Z}, kAxisTolerance) == kin::AxesFault::None;
}

bool unitAxis(const Vec3& v, Vec3& out) {
    const double m = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
    if (!std::isfinite(m) || m == 0.0) return false;
    const Vec3 w{v.x / m, v.y / m, v.z / m};
    const double n = std::sqrt(kin::dot3(w, w));
    if (!(m * n >= kMinAxisLength)) return false;
    out = {w.x / n, w.y / n, w.z / n};
    return true;
}

Axes jointAxes(JointType type, const Vec3& axis, const Frame& reference) {
    // The reference axis to complete the frame with: the one that should stay
    // perpendicular to the joint axis, or, when it lies nearly along the axis,
    // a second one that then lies well away from it (|cos| <= 0.44).
    const bool turning = type == JointType::Turning;
    Vec3 c = turning ? reference.X : reference.Z;
    if (std::fabs(kin::dot3(c, axis)) > 0.9) c = turning ? reference.Y : reference.X;
    const double k = kin::dot3(c, axis);
    Vec3 r{c.x - k * axis.x, c.y - k * axis.y, c.z - k * axis.z};
    const double n = std::sqrt(kin::dot3(r, r));
    r = {r.x / n, r.y / n, r.z / n};

    Axes a;
    if (turning) {
        a.Z = axis;
        a.X = r;
    } else {
        a.X = axis;
        a.Z = r;
    }
    a.Y = kin::cross3(a.Z, a.X);
    return a;
}

}  // namespace armkin::io
