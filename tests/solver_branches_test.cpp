// No branch is missed: on every real arm an independent search (Newton
// with a finite-difference Jacobian of the engine's own analys, from many
// random starts) finds no solution that the complete solver lacks.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fixtures/solver_arms.hpp"

namespace kin {
namespace {

using namespace kin::testing;

// Pose error of q against t: position difference and half the sum of the
// axis cross products, the six-vector a Newton step drives to zero.
std::array<double, 6> error(SolverRig& rig, const Joints& q, const Frame& t) {
    const Frame f = rig.target(q);
    auto cross = [](const Vec3& a, const Vec3& b) {
        return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    };
    const Vec3 a = cross(f.X, t.X), b = cross(f.Y, t.Y), c = cross(f.Z, t.Z);
    return {t.O.x - f.O.x, t.O.y - f.O.y, t.O.z - f.O.z,
            0.5 * (a.x + b.x + c.x), 0.5 * (a.y + b.y + c.y), 0.5 * (a.z + b.z + c.z)};
}

double norm(const std::array<double, 6>& e) {
    double s = 0.0;
    for (double v : e) s += v * v;
    return std::sqrt(s);
}

// Plain damped Newton; true when it lands on the target.
bool search(SolverRig& rig, const Frame& t, Joints& q) {
    auto e = error(rig, q, t);
    for (int it = 0; it < 60 && norm(e) > 1e-11; ++it) {
        double J[6][6];
        for (int k = 0; k < 6; ++k) {
            Joints p = q;
            p[k] += 1e-7;
            const auto ep = error(rig, p, t);
            for (int r = 0; r < 6; ++r) J[r][k] = (e[r] - ep[r]) / 1e-7;  // d(pose)/dq
        }
        // (J^T J + mu I) dq = J^T e by Gauss-Jordan.
        double A[6][7];
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 6; ++j) {
                A[i][j] = (i == j) ? 1e-9 : 0.0;
                for (int r = 0; r < 6; ++r) A[i][j] += J[r][i] * J[r][j];
            }
            A[i][6] = 0.0;
            for (int r = 0; r < 6; ++r) A[i][6] += J[r][i] * e[r];
        }
        for (int c = 0; c < 6; ++c) {
            int p = c;
            for (int r = c + 1; r < 6; ++r) {
                if (std::fabs(A[r][c]) > std::fabs(A[p][c])) p = r;
            }
            for (int j = 0; j < 7; ++j) std::swap(A[c][j], A[p][j]);
            for (int r = 0; r < 6; ++r) {
                if (r == c) continue;
                const double f = A[r][c] / A[c][c];
                for (int j = c; j < 7; ++j) A[r][j] -= f * A[c][j];
            }
        }
        double step = 0.0;
        for (int k = 0; k < 6; ++k) step = std::fmax(step, std::fabs(A[k][6] / A[k][k]));
        const double scale = step > 0.5 ? 0.5 / step : 1.0;
        for (int k = 0; k < 6; ++k) q[k] += scale * A[k][6] / A[k][k];
        e = error(rig, q, t);
    }
    // The cross-product error also vanishes at a half turn: judge by the
    // axes themselves.
    const Frame f = rig.target(q);
    const double gap = std::fabs(f.X.x - t.X.x) + std::fabs(f.X.y - t.X.y) + std::fabs(f.X.z - t.X.z) +
                       std::fabs(f.Z.x - t.Z.x) + std::fabs(f.Z.y - t.Z.y) + std::fabs(f.Z.z - t.Z.z);
    return norm(e) <= 1e-9 && gap <= 1e-8;
}

TEST(SolverBranches, AnIndependentSearchFindsNothingTheSolverLacks) {
    SolveOptions o;
    std::mt19937_64 rng(5150);
    std::uniform_real_distribution<double> U(-M_PI, M_PI);
    for (const SolverArm& arm : solverArms()) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(arm.description);
        int found = 0;
        for (int pose = 0; pose < 12; ++pose) {
            Joints typed;
            for (double& v : typed) v = U(rng);
            const Frame t = rig.target(typed);
            SolveResult r;
            solveAll(rig.model, rig.ws, t, o, r);
            for (int s = 0; s < 150; ++s) {
                Joints q;
                for (double& v : q) v = U(rng);
                if (!search(rig, t, q)) continue;
                ++found;
                EXPECT_TRUE(contains(rig.model.model, r, q, 1e-5))
                    << "pose " << pose << " missing q = " << q[0] << " " << q[1] << " " << q[2]
                    << " " << q[3] << " " << q[4] << " " << q[5] << " (solver has " << r.count << ")";
            }
        }
        EXPECT_GT(found, 100);
    }
}

}  // namespace
}  // namespace kin
