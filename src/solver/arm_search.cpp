//! A numeric search for joints 0..2 that place one point: the safety net
//! under the case solvers, which can lose roots of their quartic.

#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"
#include "solver/least_squares.hpp"

namespace kin::solver {

namespace {

constexpr int kStarts = 16;
constexpr int kIterations = 40;

//! Point w through joints 0..2 at q, and the 3x3 Jacobian (columns).
Vec3 place(const SolverModel& m, const std::array<double, 3>& q, const Vec3& w,
           std::array<Vec3, 3>& J) {
    std::array<Frame, 3> F;
    Frame T = m.model.baseFrame;
    for (int k = 0; k < 3; ++k) {
        T = frameMul(T, m.model.linkFrames[k]);
        moveJoint(T, m.model.jointTypes[k], q[k]);
        F[k] = T;
    }
    const Vec3 pt = frameApplyPoint(T, w);
    for (int k = 0; k < 3; ++k) {
        if (m.model.jointTypes[k] == 'R') {
            J[k] = cross3(F[k].Z, {pt.x - F[k].O.x, pt.y - F[k].O.y, pt.z - F[k].O.z});
        } else {
            J[k] = F[k].X;
        }
    }
    return pt;
}

//! Solves the 3x3 system D x = g by Cramer's rule; false when D is singular.
bool cramerSolve(const double D[3][3], const double g[3], double x[3]) {
    auto det3 = [](const double M[3][3]) {
        return M[0][0] * (M[1][1] * M[2][2] - M[1][2] * M[2][1]) -
               M[0][1] * (M[1][0] * M[2][2] - M[1][2] * M[2][0]) +
               M[0][2] * (M[1][0] * M[2][1] - M[1][1] * M[2][0]);
    };
    const double d = det3(D);
    if (!(std::fabs(d) > 0.0)) return false;
    for (int c = 0; c < 3; ++c) {
        double M[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) M[r][k] = k == c ? g[r] : D[r][k];
        x[c] = det3(M) / d;
    }
    return true;
}

//! Placing point w at p with joints 0..2 as a least-squares problem.
struct PointPlacement {
    const SolverModel& m;
    const Vec3& p;
    const Vec3& w;
    double tol;
    std::array<double, 3> q{};
    std::array<Vec3, 3> J{};
    Vec3 e{};
    double sum = 0.0;

    void start(const std::array<double, 3>& q0) {
        q = q0;
        const Vec3 pt = place(m, q, w, J);
        e = {p.x - pt.x, p.y - pt.y, p.z - pt.z};
        sum = dot3(e, e);
    }
    double cost() const { return sum; }
    bool converged() const { return std::sqrt(sum) <= tol; }
    void normalEquations(double A[3][3], double g[3]) const {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) A[i][j] = dot3(J[i], J[j]);
            g[i] = dot3(J[i], e);
        }
    }
    bool solve(double D[3][3], const double g[3], double x[3]) const { return cramerSolve(D, g, x); }
    bool tryStep(const double x[3]) {
        const std::array<double, 3> qn{q[0] + x[0], q[1] + x[1], q[2] + x[2]};
        std::array<Vec3, 3> Jn;
        const Vec3 pn = place(m, qn, w, Jn);
        const Vec3 en{p.x - pn.x, p.y - pn.y, p.z - pn.z};
        const double cn = dot3(en, en);
        if (!(cn < sum)) return false;
        q = qn;
        J = Jn;
        e = en;
        sum = cn;
        return true;
    }
};

}  // namespace

bool ArmList::add(const SolverModel& m, const std::array<double, 3>& v, double tol) {
    for (int i = 0; i < count; ++i) {
        bool same = true;
        for (int k = 0; k < 3; ++k) same = same && jointGap(m.model.jointTypes[k], q[i][k], v[k]) <= tol;
        if (same) return false;
    }
    if (count == kCapacity) return false;
    q[count++] = v;
    return true;
}

void searchArm(const SolverModel& m, const Vec3& p, const Vec3& w, ArmList& found) {
    const double tol = 1e-12 * m.scale;
    LsqOptions options;
    options.initialDamping = 1e-6;
    options.maxIterations = kIterations;
    for (int s = 0; s < kStarts && found.count < ArmList::kCapacity; ++s) {
        // Joint 0 at -3/4, -1/4, 1/4, 3/4 of a half turn; joints 1, 2 at
        // -1/2 or 1/2 (sliding joints: the same fractions of the arm's size).
        const double t[3] = {-0.75 + 0.5 * (s & 3), (s & 4) ? 0.5 : -0.5, (s & 8) ? 0.5 : -0.5};
        std::array<double, 3> q;
        for (int k = 0; k < 3; ++k) q[k] = m.model.jointTypes[k] == 'R' ? t[k] * M_PI : t[k] * m.scale;
        PointPlacement problem{m, p, w, tol};
        problem.start(q);
        minimize<3>(problem, options);
        if (std::sqrt(problem.sum) <= 1e-9 * m.scale) found.add(m, problem.q, 1e-6);
    }
}

}  // namespace kin::solver
