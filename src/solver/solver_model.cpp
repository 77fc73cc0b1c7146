//! The solver's record of an arm: which decomposition applies and the
//! constant points and turns it needs.

#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin {

namespace {

Vec3 unit(const Vec3& v) {
    const double n = vecNorm(v);
    return {v.x / n, v.y / n, v.z / n};
}

//! Distance of point x from the line through p along unit d.
double lineDistance(const Vec3& x, const Vec3& p, const Vec3& d) {
    return vecNorm(cross3(sub3(x, p), d));
}

//! The point nearest (least squares) to three lines; false when the lines
//! are (nearly) parallel so that no single point is determined.
bool nearestPoint(const Vec3 p[3], const Vec3 d[3], Vec3& x) {
    double A[3][3] = {};
    double b[3] = {};
    for (int i = 0; i < 3; ++i) {
        const double dv[3] = {d[i].x, d[i].y, d[i].z};
        const double pv[3] = {p[i].x, p[i].y, p[i].z};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const double P = (r == c ? 1.0 : 0.0) - dv[r] * dv[c];
                A[r][c] += P;
                b[r] += P * pv[c];
            }
        }
    }
    const double det = A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) -
                       A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
                       A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0]);
    if (!(std::fabs(det) > 1e-9)) return false;
    auto col = [&](int k) {
        double M[3][3];
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) M[r][c] = c == k ? b[r] : A[r][c];
        }
        return M[0][0] * (M[1][1] * M[2][2] - M[1][2] * M[2][1]) -
               M[0][1] * (M[1][0] * M[2][2] - M[1][2] * M[2][0]) +
               M[0][2] * (M[1][0] * M[2][1] - M[1][1] * M[2][0]);
    };
    x = {col(0) / det, col(1) / det, col(2) / det};
    return true;
}

bool isUp(const Vec3& z, double tol) {
    return std::fabs(z.x) <= tol && std::fabs(z.y) <= tol && z.z > 0.0;
}

//! The arm's kind and the constants of its decomposition.
int classify(const Kinematics& engine, SolverModel& out) {
    out = SolverModel{};
    out.model = engine.model;
    out.arm = engine.arm;
    const ArmModel& a = out.model;
    if (a.DOF != 6) return 0;
    for (int k = 0; k < 6; ++k) {
        if (a.jointTypes[k] != 'R' && a.jointTypes[k] != 'S') return 0;
    }
    out.toolRot = {a.toolAxisX, a.toolAxisY, cross3(a.toolAxisX, a.toolAxisY)};
    out.toolPoint = a.toolPoint;
    out.base0 = frameMul(a.baseFrame, a.linkFrames[0]);
    // The parts of link frame 5 for the public forward kinematics:
    // L5 Rz(q) v = cos q (X v.x + Y v.y) + sin q (Y v.x - X v.y) + Z v.z,
    // plus O for the tool point (X, Y, Z, O those of L5).
    const Frame& L = a.linkFrames[5];
    const Vec3 tool[3] = {a.toolPoint, a.toolAxisX, a.toolAxisY};
    for (int i = 0; i < 3; ++i) {
        const Vec3& v = tool[i];
        out.toolCos[i] = {L.X.x * v.x + L.Y.x * v.y, L.X.y * v.x + L.Y.y * v.y, L.X.z * v.x + L.Y.z * v.y};
        out.toolSin[i] = {L.Y.x * v.x - L.X.x * v.y, L.Y.y * v.x - L.X.y * v.y, L.Y.z * v.x - L.X.z * v.y};
        out.toolRest[i] = {L.Z.x * v.z, L.Z.y * v.z, L.Z.z * v.z};
    }
    out.toolRest[0] = {out.toolRest[0].x + L.O.x, out.toolRest[0].y + L.O.y, out.toolRest[0].z + L.O.z};
    out.valid = true;

    solver::ChainPose zero;
    solver::chainPose(out, Joints{}, zero);
    double reach = 0.0;
    for (const Frame& F : zero.joint) reach += vecNorm(F.O);
    out.scale = 1.0 + reach / 6.0 + vecNorm(zero.toolPos);

    const Frame& L3 = a.linkFrames[3];
    const Frame& L4 = a.linkFrames[4];
    const Frame& L5 = a.linkFrames[5];
    const bool wristTurns = a.jointTypes[3] == 'R' && a.jointTypes[4] == 'R' && a.jointTypes[5] == 'R';
    const double tol = 1e-10 * out.scale;

    // Spherical wrist: the three wrist axes, in joint frame 3 at zero, meet.
    if (wristTurns) {
        const Frame L45 = frameMul(L4, L5);
        const Vec3 p[3] = {{0.0, 0.0, 0.0}, L4.O, L45.O};
        const Vec3 d[3] = {{0.0, 0.0, 1.0}, unit(L4.Z), unit(L45.Z)};
        Vec3 c;
        if (nearestPoint(p, d, c)) {
            // Where the axes meet, or for other wrists the point nearest all
            // three: the general path starts from the closed form of the arm
            // with its wrist centre there.
            out.wristCentreArm = frameApplyPoint(L3, c);
            out.wristCentreLast = frameInvApplyPoint(L45, c);
            out.shoulderParallel = a.jointTypes[0] == 'R' && a.jointTypes[1] == 'R' &&
                                   a.jointTypes[2] == 'R' && isUp(a.linkFrames[2].Z, 1e-12);
            out.nearlySpherical = true;
            if (lineDistance(c, p[0], d[0]) <= tol && lineDistance(c, p[1], d[1]) <= tol &&
                lineDistance(c, p[2], d[2]) <= tol) {
                out.kind = WristKind::Spherical;
                return 1;
            }
        }
    }

    // Three parallel axes 1, 2, 3 (same direction) and axes 4, 5 meeting.
    bool allTurn = true;
    for (int k = 0; k < 6; ++k) allTurn = allTurn && a.jointTypes[k] == 'R';
    if (allTurn && isUp(a.linkFrames[2].Z, 1e-12) && isUp(L3.Z, 1e-12)) {
        // Axis 4 in joint frame 4: the Z axis through the origin. Axis 5: L5.
        const Vec3 z4{0.0, 0.0, 1.0};
        const Vec3 z5 = unit(L5.Z);
        const Vec3 nrm = cross3(z4, z5);
        const double s = vecNorm(nrm);
        if (s > 1e-6 && std::fabs(dot3(L5.O, nrm)) / s <= tol) {
            // The meeting point: on axis 5 where it crosses the Z axis.
            const double t = -(L5.O.x * z5.x + L5.O.y * z5.y) / (z5.x * z5.x + z5.y * z5.y);
            const Vec3 meet4{L5.O.x + t * z5.x, L5.O.y + t * z5.y, L5.O.z + t * z5.z};
            out.kind = WristKind::ParallelAxes;
            out.axisMeetLast = frameInvApplyPoint(L5, meet4);
            out.parallelTurn2 = std::atan2(a.linkFrames[2].X.y, a.linkFrames[2].X.x);
            out.parallelTurn3 = std::atan2(L3.X.y, L3.X.x);
            return 1;
        }
    }
    // Three slides: the wrist alone turns the tool.
    if (wristTurns && a.jointTypes[0] == 'S' && a.jointTypes[1] == 'S' && a.jointTypes[2] == 'S') {
        out.kind = WristKind::SlidingArm;
        return 1;
    }
    solver::buildElimination(out, out.cut);
    out.kind = out.cut.usable ? WristKind::Elimination : WristKind::General;
    return 1;
}

}  // namespace

int buildSolverModel(const Kinematics& engine, SolverModel& out) {
    if (!classify(engine, out)) return 0;
    solver::deriveClosedForms(out);
    return 1;
}

JointLimits modelLimits(const SolverModel& model) {
    JointLimits l;
    for (int k = 0; k < 6; ++k) {
        l.lower[k] = model.model.jointRange[k].lower;
        l.upper[k] = model.model.jointRange[k].upper;
    }
    return l;
}

void prepareWorkspace(const SolverModel& model, SolverWorkspace& ws) {
    ws.engine.model = model.model;
    ws.engine.arm = model.arm;
}

}  // namespace kin
