#include "cli/arm_report.hpp"

#include <cmath>

namespace armkin::cli {

namespace {

constexpr double kTol = 1e-9;

Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scale(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }

struct Line {
    Vec3 p, d;  //!< a point and a unit direction
};

double distanceToLine(const Vec3& x, const Line& l) { return norm(cross(sub(x, l.p), l.d)); }

//! The midpoint of the closest points of two lines that are not parallel,
//! and the gap between them.
bool closestPoint(const Line& a, const Line& b, Vec3& mid, double& gap) {
    const Vec3 n = cross(a.d, b.d);
    const double n2 = dot(n, n);
    if (n2 < kTol * kTol) return false;
    const Vec3 w = sub(b.p, a.p);
    const double s = dot(cross(w, b.d), n) / n2;
    const double t = dot(cross(w, a.d), n) / n2;
    const Vec3 pa = add(a.p, scale(a.d, s));
    const Vec3 pb = add(b.p, scale(b.d, t));
    mid = scale(add(pa, pb), 0.5);
    gap = norm(sub(pa, pb));
    return true;
}

//! The joint axis line: Z through the origin for a turning joint, X for a
//! sliding one.
Line axisOf(const ArmDescription& d, int k) {
    return {d.armJointPos[k], d.JTYPE[k] == 'S' ? d.armJointAxes[k].X : d.armJointAxes[k].Z};
}

}  // namespace

ArmReport reportArm(const LoadedArm& arm, const Engine& engine) {
    const ArmDescription& d = arm.description;
    ArmReport r;
    r.letters.assign(d.JTYPE.data(), 6);

    const Line w[3] = {axisOf(d, 3), axisOf(d, 4), axisOf(d, 5)};
    const int pairs[3][2] = {{0, 1}, {1, 2}, {0, 2}};
    for (const auto& pr : pairs) {
        Vec3 mid;
        double gap = 0.0;
        if (!closestPoint(w[pr[0]], w[pr[1]], mid, gap)) continue;
        r.wristMeets = gap <= kTol && distanceToLine(mid, w[0]) <= kTol &&
                       distanceToLine(mid, w[1]) <= kTol && distanceToLine(mid, w[2]) <= kTol;
        r.wristCentre = mid;
        break;
    }
    if (r.wristMeets) r.toolFromWrist = norm(sub(d.armJointPos[6], r.wristCentre));

    r.method = engine.solverMethod();
    if (r.method == SolverMethod::General)
        r.warnings.push_back(
            "no closed form fits this arm: the solver polishes numeric starts and may miss "
            "branches");
    return r;
}

}  // namespace armkin::cli
