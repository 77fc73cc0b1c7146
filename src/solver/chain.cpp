#include "solver/chain.hpp"

#include <cmath>

#include "arm/forward_kinematics.hpp"
#include "numeric/arctan.hpp"
#include "numeric/frame.hpp"
#include "numeric/sincos.hpp"

namespace kin::solver {

void moveJoint(Frame& F, char type, double q) {
    if (type == 'R') {
        turnFrame(F, {std::cos(q), std::sin(q)});
    } else {
        F.O = {F.O.x + q * F.X.x, F.O.y + q * F.X.y, F.O.z + q * F.X.z};
    }
}

double jointGap(char type, double a, double b) {
    const double d = std::fabs(a - b);
    if (type != 'R' || d <= 0.5 * kFullTurn) return d;
    // Up to 1.5 turns the remainder is d less one turn, exactly.
    if (d < 4.0) return std::fabs(d - kFullTurn);
    return std::fabs(wrapTurn(d));
}

void chainPose(const SolverModel& m, const Joints& q, const ChainTrig& t, ChainPose& c, int from,
               const Frame* before) {
    for (int k = from; k < 6; ++k) {
        Frame F = k == from && before != nullptr ? *before
                  : k == 0                       ? m.base0
                                                 : frameMul(c.joint[k - 1], m.model.linkFrames[k]);
        if (m.model.jointTypes[k] == 'R') {
            turnFrame(F, t[k]);
        } else {
            F.O = {F.O.x + q[k] * F.X.x, F.O.y + q[k] * F.X.y, F.O.z + q[k] * F.X.z};
        }
        c.joint[k] = F;
    }
    const Frame& F = c.joint[5];
    c.toolPos = frameApplyPoint(F, m.toolPoint);
    c.toolAxes = {frameApplyVector(F, m.toolRot.X), frameApplyVector(F, m.toolRot.Y),
                  frameApplyVector(F, m.toolRot.Z)};
}

void chainPose(const SolverModel& m, const Joints& q, ChainPose& c) {
    Frame F = m.model.baseFrame;
    for (int k = 0; k < 6; ++k) {
        F = frameMul(F, m.model.linkFrames[k]);
        moveJoint(F, m.model.jointTypes[k], q[k]);
        c.joint[k] = F;
    }
    c.toolPos = frameApplyPoint(F, m.toolPoint);
    c.toolAxes = {frameApplyVector(F, m.toolRot.X), frameApplyVector(F, m.toolRot.Y),
                  frameApplyVector(F, m.toolRot.Z)};
}

void chainPoseFk(const SolverModel& m, FkData& fk, const Joints& q, const Frame& target,
                 ChainPose& c, double& positionError, double& rotationError) {
    moveLinks(m.model, fk, 6, q.data());
    Frame F = m.model.baseFrame;
    for (int k = 0; k < 6; ++k) {
        F = frameMul(F, fk.movedFrames[k]);
        c.joint[k] = F;
    }
    c.toolPos = frameApplyPoint(F, m.toolPoint);
    c.toolAxes = {frameApplyVector(F, m.toolRot.X), frameApplyVector(F, m.toolRot.Y),
                  frameApplyVector(F, m.toolRot.Z)};
    residualsFromFk(m, fk, target, positionError, rotationError);
}

void toolResiduals(const ChainPose& c, const Frame& target, double& positionError, double& rotationError) {
    positionError = vecNorm(sub3(c.toolPos, target.O));
    const Vec3 dX = sub3(c.toolAxes.X, target.X);
    const Vec3 dY = sub3(c.toolAxes.Y, target.Y);
    const Vec3 dZ = sub3(c.toolAxes.Z, target.Z);
    const double frobenius = std::sqrt(dot3(dX, dX) + dot3(dY, dY) + dot3(dZ, dZ));
    rotationError = angleFromFrobenius(frobenius);
    if (!std::isfinite(positionError) || !std::isfinite(rotationError)) {
        positionError = rotationError = 1e300;
    }
}

namespace {

//! The tool point p and axes X, Y carried through link frame L moved by its
//! joint: turned by the angle whose sine and cosine are s and c ('R'), or
//! slid by q. The moved frame's X and Y columns depend on the joint alone,
//! so they are ready before the three arrive; each sum is then formed as
//! two halves added at the end, which leaves one multiply and two adds on
//! the dependent path per joint.
[[gnu::always_inline]] inline void carryThrough(const Frame& L, char type, double q, double s, double c,
                                                Vec3& p, Vec3& X, Vec3& Y) {
    Vec3 U = L.X;  // the moved frame's X and Y columns and origin
    Vec3 V = L.Y;
    Vec3 O = L.O;
    if (type == 'R') {
        U = {c * L.X.x + s * L.Y.x, c * L.X.y + s * L.Y.y, c * L.X.z + s * L.Y.z};
        V = {c * L.Y.x - s * L.X.x, c * L.Y.y - s * L.X.y, c * L.Y.z - s * L.X.z};
    } else {
        O = {L.O.x + q * L.X.x, L.O.y + q * L.X.y, L.O.z + q * L.X.z};
    }
    const Vec3& W = L.Z;
    p = {(U.x * p.x + V.x * p.y) + (W.x * p.z + O.x), (U.y * p.x + V.y * p.y) + (W.y * p.z + O.y),
         (U.z * p.x + V.z * p.y) + (W.z * p.z + O.z)};
    X = {(U.x * X.x + V.x * X.y) + W.x * X.z, (U.y * X.x + V.y * X.y) + W.y * X.z,
         (U.z * X.x + V.z * X.y) + W.z * X.z};
    Y = {(U.x * Y.x + V.x * Y.y) + W.x * Y.z, (U.y * Y.x + V.y * Y.y) + W.y * Y.z,
         (U.z * Y.x + V.z * Y.y) + W.z * Y.z};
}

}  // namespace

Frame toolFrame(const SolverModel& m, const Joints& q) {
    const ArmModel& a = m.model;
    // All six sines and cosines first (a slide's go unused): they do not
    // depend on one another and overlap, where formed joint by joint each
    // held up the dependent chain behind it.
    std::array<double, 6> s, c;
    sinCosSix(q, s, c);
    // Then the tool point and axes carried through each link frame moved by
    // its joint, from the last joint to the base. For a turn of joint 5 the
    // parts of link frame 5 formed at setup (toolCos, toolSin, toolRest)
    // leave two products and two sums a component. Joint 0 moves base0 (the
    // base frame times link frame 0, also formed at setup), which saves
    // carrying the three through the base. Written out joint by joint: as a
    // loop the compiler kept the three in memory between joints.
    Vec3 p, X, Y;
    if (a.jointTypes[5] == 'R') {
        const auto turned = [&](int i) {
            const Vec3& A = m.toolCos[i];
            const Vec3& B = m.toolSin[i];
            const Vec3& C = m.toolRest[i];
            return Vec3{(c[5] * A.x + s[5] * B.x) + C.x, (c[5] * A.y + s[5] * B.y) + C.y,
                        (c[5] * A.z + s[5] * B.z) + C.z};
        };
        p = turned(0);
        X = turned(1);
        Y = turned(2);
    } else {
        p = a.toolPoint;
        X = a.toolAxisX;
        Y = a.toolAxisY;
        carryThrough(a.linkFrames[5], a.jointTypes[5], q[5], s[5], c[5], p, X, Y);
    }
    carryThrough(a.linkFrames[4], a.jointTypes[4], q[4], s[4], c[4], p, X, Y);
    carryThrough(a.linkFrames[3], a.jointTypes[3], q[3], s[3], c[3], p, X, Y);
    carryThrough(a.linkFrames[2], a.jointTypes[2], q[2], s[2], c[2], p, X, Y);
    carryThrough(a.linkFrames[1], a.jointTypes[1], q[1], s[1], c[1], p, X, Y);
    carryThrough(m.base0, a.jointTypes[0], q[0], s[0], c[0], p, X, Y);
    return {X, Y, cross3(X, Y), p};
}

void movedLinks(const SolverModel& m, const Joints& q, std::array<Frame, 6>& moved) {
    const ArmModel& a = m.model;
    for (int k = 0; k < 6; ++k) {
        moved[k] = a.linkFrames[k];
        if (a.jointTypes[k] == 'R') {
            JointTrig t;
            sinCos(q[k], t.s, t.c);
            turnFrame(moved[k], t);
        } else {
            moveJoint(moved[k], a.jointTypes[k], q[k]);
        }
    }
}

Frame armFrame(const SolverModel& m, double q0, double q1, double q2) {
    const double q[3] = {q0, q1, q2};
    Frame F = m.model.baseFrame;
    for (int k = 0; k < 3; ++k) {
        F = frameMul(F, m.model.linkFrames[k]);
        moveJoint(F, m.model.jointTypes[k], q[k]);
    }
    return F;
}

Twist poseTwist(const ChainPose& c, const Frame& t) {
    const Vec3 a = cross3(c.toolAxes.X, t.X);
    const Vec3 b = cross3(c.toolAxes.Y, t.Y);
    const Vec3 d = cross3(c.toolAxes.Z, t.Z);
    return {t.O.x - c.toolPos.x,        t.O.y - c.toolPos.y,        t.O.z - c.toolPos.z,
            0.5 * (a.x + b.x + d.x), 0.5 * (a.y + b.y + d.y), 0.5 * (a.z + b.z + d.z)};
}

void poseResiduals(const SolverModel& m, FkData& fk, const Joints& q, const Frame& target,
                   double& positionError, double& rotationError) {
    moveLinks(m.model, fk, 6, q.data());
    residualsFromFk(m, fk, target, positionError, rotationError);
}

void residualsFromFk(const SolverModel& m, const FkData& fk, const Frame& target,
                     double& positionError, double& rotationError) {
    const Vec3 p = chainPoint(m.model, fk, m.model.toolPoint, 6);
    const Vec3 X = chainVector(m.model, fk, m.model.toolAxisX, 6);
    const Vec3 Y = chainVector(m.model, fk, m.model.toolAxisY, 6);
    const Vec3 Z = cross3(X, Y);
    positionError = vecNorm(sub3(p, target.O));
    const Vec3 dX = sub3(X, target.X);
    const Vec3 dY = sub3(Y, target.Y);
    const Vec3 dZ = sub3(Z, target.Z);
    const double frobenius = std::sqrt(dot3(dX, dX) + dot3(dY, dY) + dot3(dZ, dZ));
    rotationError = angleFromFrobenius(frobenius);
    if (!std::isfinite(positionError) || !std::isfinite(rotationError)) {
        positionError = rotationError = 1e300;
    }
}

void jacobian(const SolverModel& m, const ChainPose& c, Jacobian& J) {
    for (int k = 0; k < 6; ++k) {
        const Frame& F = c.joint[k];
        if (m.model.jointTypes[k] == 'R') {
            const Vec3 v = cross3(F.Z, sub3(c.toolPos, F.O));
            J[k] = {v.x, v.y, v.z, F.Z.x, F.Z.y, F.Z.z};
        } else {
            J[k] = {F.X.x, F.X.y, F.X.z, 0.0, 0.0, 0.0};
        }
    }
}

double volumeRatio(const Jacobian& Jin) {
    // Gaussian elimination with partial pivoting on a copy, columns
    // normalised first so the ratio is the determinant. Rows are swapped
    // through the index row[], not moved.
    double A[6][6];
    for (int k = 0; k < 6; ++k) {
        double n = 0.0;
        for (int r = 0; r < 6; ++r) n += Jin[k][r] * Jin[k][r];
        if (!(n > 0.0)) return 0.0;
        const double inv = 1.0 / std::sqrt(n);
        for (int r = 0; r < 6; ++r) A[r][k] = Jin[k][r] * inv;
    }
    int row[6] = {0, 1, 2, 3, 4, 5};
    double det = 1.0;
    for (int col = 0; col < 6; ++col) {
        int piv = col;
        for (int r = col + 1; r < 6; ++r) {
            if (std::fabs(A[row[r]][col]) > std::fabs(A[row[piv]][col])) piv = r;
        }
        const double* P = A[row[piv]];
        if (P[col] == 0.0) return 0.0;
        row[piv] = row[col];
        det *= P[col];
        const double inv = 1.0 / P[col];
        for (int r = col + 1; r < 6; ++r) {
            double* R = A[row[r]];
            const double f = R[col] * inv;
            for (int j = col; j < 6; ++j) R[j] -= f * P[j];
        }
    }
    return std::fabs(det);
}

Axes mulAxes(const Axes& A, const Axes& B) {
    return {applyAxes(A, B.X), applyAxes(A, B.Y), applyAxes(A, B.Z)};
}

Axes transposeAxes(const Axes& A) {
    return {{A.X.x, A.Y.x, A.Z.x}, {A.X.y, A.Y.y, A.Z.y}, {A.X.z, A.Y.z, A.Z.z}};
}

Vec3 applyAxes(const Axes& A, const Vec3& v) {
    return {A.X.x * v.x + A.Y.x * v.y + A.Z.x * v.z, A.X.y * v.x + A.Y.y * v.y + A.Z.y * v.z,
            A.X.z * v.x + A.Y.z * v.y + A.Z.z * v.z};
}

Axes rotZAxes(double t) {
    const double c = std::cos(t);
    const double s = std::sin(t);
    return {{c, s, 0.0}, {-s, c, 0.0}, {0.0, 0.0, 1.0}};
}

CosSinEquation cosSinEquation(double a, double b) {
    CosSinEquation e;
    e.a = a;
    e.b = b;
    e.r = std::sqrt(a * a + b * b);
    e.phi = arcTan2(b, a);  // a cos t + b sin t = r cos(t - phi)
    e.cp = a / e.r;
    e.sp = b / e.r;
    return e;
}

int solveCosSin(const CosSinEquation& e, double c, double slack, std::array<double, 2>& t,
                std::array<JointTrig, 2>& cs) {
    const double r = e.r;
    if (!(r > 1e-14)) return -1;
    double k = c / r;
    if (!std::isfinite(k)) return 0;
    if (std::fabs(k) > 1.0) {
        if (std::fabs(k) > 1.0 + slack) return 0;
        k = k > 0.0 ? 1.0 : -1.0;
    }
    const double d = arcCos(k);
    const double cp = e.cp, sp = e.sp;                    // cos phi, sin phi
    const double sd = std::sqrt((1.0 - k) * (1.0 + k));  // sin d; cos d = k
    t[0] = e.phi + d;
    cs[0] = {cp * k - sp * sd, sp * k + cp * sd};
    if (d == 0.0 || d == M_PI) return 1;
    t[1] = e.phi - d;
    cs[1] = {cp * k + sp * sd, sp * k - cp * sd};
    return 2;
}

int solveCosSin(double a, double b, double c, double slack, std::array<double, 2>& t,
                std::array<JointTrig, 2>& cs) {
    const double r = std::sqrt(a * a + b * b);
    if (!(r > 1e-14)) return -1;
    return solveCosSin(cosSinEquation(a, b), c, slack, t, cs);
}

int solveCosSin(double a, double b, double c, double slack, std::array<double, 2>& t) {
    std::array<JointTrig, 2> cs;
    return solveCosSin(a, b, c, slack, t, cs);
}

bool planarTurn(const Vec3& u, const Vec3& v, double tiny, double& angle) {
    JointTrig cs;
    return planarTurn(u, v, tiny, angle, cs);
}

}  // namespace kin::solver
