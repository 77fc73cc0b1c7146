#include <cmath>

#include "ik/kinematics.hpp"
#include "numeric/frame.hpp"
#include "numeric/tolerances.hpp"

namespace kin {

namespace {

//! A 3x3 rotation by rows: m[i][j] is row i, column j.
struct Mat3 {
    double m[3][3];
};

//! Transpose of the rotation R_A * L3 (columns of R_A * L3 become rows).
Mat3 transposedProduct(const Frame& A, const Frame& B) {
    const Frame P = frameMul(A, B);
    const Vec3* cols[3] = {&P.X, &P.Y, &P.Z};
    Mat3 M;
    for (int i = 0; i < 3; ++i) {
        M.m[i][0] = cols[i]->x;
        M.m[i][1] = cols[i]->y;
        M.m[i][2] = cols[i]->z;
    }
    return M;
}

Vec3 times(const Mat3& M, const Vec3& v) {
    return {M.m[0][0] * v.x + M.m[0][1] * v.y + M.m[0][2] * v.z,
            M.m[1][0] * v.x + M.m[1][1] * v.y + M.m[1][2] * v.z,
            M.m[2][0] * v.x + M.m[2][1] * v.y + M.m[2][2] * v.z};
}

//! Rz(c, s)^T * M: every column turned back by the joint's rotation
//! (c and s are not normalised).
void turnBack(Mat3& M, double c, double s) {
    for (int k = 0; k < 3; ++k) {
        const double x = M.m[0][k];
        const double y = M.m[1][k];
        M.m[0][k] = c * x + s * y;
        M.m[1][k] = -s * x + c * y;
    }
}

//! L^T * M: element (i, k) is L's axis i dotted with M's column k.
void linkBack(Mat3& M, const Frame& L) {
    const Vec3* axes[3] = {&L.X, &L.Y, &L.Z};
    Mat3 R;
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            R.m[i][k] = axes[i]->x * M.m[0][k] + axes[i]->y * M.m[1][k] + axes[i]->z * M.m[2][k];
        }
    }
    M = R;
}

Vec3 scaled(const Vec3& v, double d) { return {v.x / d, v.y / d, v.z / d}; }
Vec3 negated(const Vec3& v) { return {-v.x, -v.y, -v.z}; }

}  // namespace

void Kinematics::wristSolve() {
    WristCandidateList& out = ik.wrist;
    out.wristCandCount = 0;
    const Frame& L3 = model.linkFrames[3];
    const Frame& L4 = model.linkFrames[4];
    const Frame& L5 = model.linkFrames[5];
    const Vec3& f = ik.prep.flangeAxisZ;
    const Vec3& g = ik.prep.flangeAxisX;

    // Directions n of joint 4's axis: n.z3 = link4Zz, n.f = link5Zz, |n| = 1.
    const Vec3 z3 = frameApplyVector(ik.armFrame, L3.Z);
    const Vec3 b = cross3(z3, f);
    const double nb = vecNorm(b);
    Vec3 n[2];
    if (std::fabs(nb) < ikEps) {
        // Joint 3's axis along the flange Z axis: any horizontal direction
        // perpendicular to it.
        if (std::fabs(z3.x) < ikEps && std::fabs(z3.y) < ikEps) {
            n[0] = {1.0, 0.0, 0.0};
            n[1] = {-1.0, 0.0, 0.0};
        } else {
            const Vec3 a{-z3.y, z3.x, 0.0};
            const Vec3 c{z3.y, -z3.x, 0.0};
            n[0] = scaled(a, vecNorm(a));
            n[1] = scaled(c, vecNorm(c));
        }
    } else if (std::fabs(arm.link4Zz) < ikEps && std::fabs(arm.link5Zz) < ikEps) {
        // Joint 4's axis perpendicular to both neighbours.
        n[0] = scaled(b, nb);
        n[1] = negated(n[0]);
    } else {
        const Vec3 w{arm.link5Zz * z3.x - arm.link4Zz * f.x, arm.link5Zz * z3.y - arm.link4Zz * f.y,
                     arm.link5Zz * z3.z - arm.link4Zz * f.z};
        const double nw = vecNorm(w);
        if (std::fabs(nb) <= ikEps) return;
        const double ratio = nw / nb;
        if (std::fabs(ratio) > 1.0) return;
        const Vec3 bh = scaled(b, nb);
        if (std::fabs(nw) <= ikEps) {
            n[0] = bh;
            n[1] = negated(bh);
        } else {
            const Vec3 p = cross3(bh, scaled(w, nw));
            const double s = std::sqrt(1.0 - ratio * ratio);
            n[0] = {s * bh.x + ratio * p.x, s * bh.y + ratio * p.y, s * bh.z + ratio * p.z};
            n[1] = {-s * bh.x + ratio * p.x, -s * bh.y + ratio * p.y, -s * bh.z + ratio * p.z};
        }
    }

    // The inverse rotation of joint frame 3 with joint 3 at zero, the same
    // for both directions.
    const Mat3 M3 = transposedProduct(ik.armFrame, L3);
    for (const Vec3& dir : n) {
        // Joint 3 turns L4's Z axis onto n (seen in joint frame 3): angle
        // atan2(s3, c3).
        Mat3 M = M3;
        const Vec3 a = times(M, dir);
        if (arm.link4Zh2 <= ikEps) continue;
        const double c3 = (a.x * L4.Z.x + a.y * L4.Z.y) / arm.link4Zh2;
        const double s3 = (a.y * L4.Z.x - a.x * L4.Z.y) / arm.link4Zh2;

        // Joint 4 turns L5's Z axis onto the flange Z axis (joint frame 4):
        // angle atan2(s4, c4).
        turnBack(M, c3, s3);
        linkBack(M, L4);
        const Vec3 e = times(M, f);
        if (arm.link5Zh2 <= ikEps) continue;
        const double c4 = (e.x * L5.Z.x + e.y * L5.Z.y) / arm.link5Zh2;
        const double s4 = (e.y * L5.Z.x - e.x * L5.Z.y) / arm.link5Zh2;

        // Joint 5 turns its X axis onto the flange X axis (joint frame 5):
        // angle atan2(s5, c5).
        turnBack(M, c4, s4);
        linkBack(M, L5);
        const double c5 = M.m[0][0] * g.x + M.m[0][1] * g.y + M.m[0][2] * g.z;
        const double s5 = M.m[1][0] * g.x + M.m[1][1] * g.y + M.m[1][2] * g.z;

        // The angles last, once no matrix is held across the library calls.
        out.wristCand[out.wristCandCount] = {std::atan2(s3, c3), std::atan2(s4, c4),
                                             std::atan2(s5, c5)};
        ++out.wristCandCount;
    }
}

}  // namespace kin
