#include "arm/forward_kinematics.hpp"

#include <algorithm>
#include <cmath>

#include "numeric/euler.hpp"
#include "numeric/frame.hpp"

namespace kin {

void moveLinks(const ArmModel& model, FkData& fk, int n, const double* q) {
    for (int i = 0; i < n; ++i) {
        const Frame& L = model.linkFrames[i];
        Frame& M = fk.movedFrames[i];
        if (model.jointTypes[i] == 'R') {
            const double cq = std::cos(q[i]);
            const double sq = std::sin(q[i]);
            M.X = {cq * L.X.x + sq * L.Y.x, cq * L.X.y + sq * L.Y.y, cq * L.X.z + sq * L.Y.z};
            M.Y = {cq * L.Y.x - sq * L.X.x, cq * L.Y.y - sq * L.X.y, cq * L.Y.z - sq * L.X.z};
            M.Z = L.Z;
            M.O = L.O;
        } else {
            M.X = L.X;
            M.Y = L.Y;
            M.Z = L.Z;
            M.O = {L.O.x + q[i] * L.X.x, L.O.y + q[i] * L.X.y, L.O.z + q[i] * L.X.z};
        }
    }
}

Vec3 chainPoint(const ArmModel& model, const FkData& fk, const Vec3& p, int n) {
    Vec3 t = p;
    for (int b = n - 1; b >= 0; --b) t = frameApplyPoint(fk.movedFrames[b], t);
    return frameApplyPoint(model.baseFrame, t);
}

Vec3 chainVector(const ArmModel& model, const FkData& fk, const Vec3& v, int n) {
    Vec3 t = v;
    for (int b = n - 1; b >= 0; --b) t = frameApplyVector(fk.movedFrames[b], t);
    return frameApplyVector(model.baseFrame, t);
}

void analys(const ArmModel& model, FkData& fk, int n, const double* q, Vec3& posOut,
            EulerZYZ& eulerOut) {
    n = std::clamp(n, 0, kMaxJoints);
    moveLinks(model, fk, n, q);
    posOut = chainPoint(model, fk, model.toolPoint, n);
    fk.fkAxisX = chainVector(model, fk, model.toolAxisX, n);
    fk.fkAxisY = chainVector(model, fk, model.toolAxisY, n);
    fk.fkAxisZ = cross3(fk.fkAxisX, fk.fkAxisY);
    eulerOut = axesToEuler(fk.fkAxisX, fk.fkAxisY, fk.fkAxisZ);
}

}  // namespace kin
