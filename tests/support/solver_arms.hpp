#pragma once
// Real arm geometries for the complete solver's tests, described from
// published kinematic parameters and named by their geometry, plus an
// independent forward kinematics (a plain 4x4 product of the DH matrices)
// that every description is checked against.

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "arm/dh_table.hpp"
#include "ik/engine.hpp"
#include "solver/solver.hpp"
#include "test_arms.hpp"

namespace kin::testing {

// Ortho-parallel arm parameters (every length in metres): shoulder axis at
// height c1 and offset a1, upper arm c2, elbow offset a2, forearm c3,
// wrist centre to flange c4, lateral offset b. Zero pose: arm upright.
struct OrthoParallel {
    double a1, a2, b, c1, c2, c3, c4;
};

// The same arm as a standard DH table, joint axes z, y, y, z, y, z at zero.
inline DhTable orthoParallelTable(const OrthoParallel& p) {
    DhTable t;
    t.convention = DhConvention::Standard;
    t.rows = {{{p.a1, -M_PI / 2, p.c1, 0.0, 'R'},
               {p.c2, 0.0, 0.0, -M_PI / 2, 'R'},
               {p.a2, M_PI / 2, p.b, M_PI / 2, 'R'},
               {0.0, -M_PI / 2, p.c3, 0.0, 'R'},
               {0.0, M_PI / 2, 0.0, 0.0, 'R'},
               {0.0, 0.0, p.c4, 0.0, 'R'}}};
    return t;
}

inline DhTable standardTable(const std::array<double, 6>& a, const std::array<double, 6>& alpha,
                             const std::array<double, 6>& d) {
    DhTable t;
    t.convention = DhConvention::Standard;
    for (int k = 0; k < 6; ++k) t.rows[k] = {a[k], alpha[k], d[k], 0.0, 'R'};
    return t;
}

struct SolverArm {
    std::string name;
    ArmDescription description;
    bool hasTable = false;
    DhTable table{};
    int genericBranches = 0;  // most branches of a pose, 0 when not known
    bool alwaysGeneric = false;  // every regular pose has all genericBranches
};

inline SolverArm fromTable(std::string name, const DhTable& t, int branches, bool always = false) {
    SolverArm arm{std::move(name), {}, true, t, branches, always};
    describeDhArm(t, arm.description);
    return arm;
}

inline std::vector<SolverArm> solverArms() {
    std::vector<SolverArm> arms;
    arms.push_back({"spherical wrist, no offsets, built in", builtinArm(), false, {}, 8, true});
    arms.push_back(fromTable("spherical wrist with shoulder offset, 0.7 m",
                             orthoParallelTable({0.025, -0.035, 0.0, 0.400, 0.315, 0.365, 0.080}),
                             8));
    arms.push_back(fromTable("spherical wrist with shoulder and elbow offsets, 2.7 m",
                             orthoParallelTable({0.35, -0.041, 0.0, 0.675, 1.15, 1.2, 0.24}), 8));
    {
        DhTable t = standardTable({0, 0.4318, 0.0203, 0, 0, 0},
                                  {M_PI / 2, 0, -M_PI / 2, M_PI / 2, -M_PI / 2, 0},
                                  {0, 0, 0.15005, 0.4318, 0, 0});
        t.flange.O = {0.0, 0.0, 0.06};  // a 0.06 m tool beyond the wrist centre
        arms.push_back(fromTable("spherical wrist, lateral shoulder and elbow offsets, 0.9 m", t, 8, true));
    }
    arms.push_back(fromTable("offset wrist, three parallel axes, 0.85 m",
                             standardTable({0, -0.425, -0.39225, 0, 0, 0},
                                           {M_PI / 2, 0, 0, M_PI / 2, -M_PI / 2, 0},
                                           {0.089159, 0, 0, 0.10915, 0.09465, 0.0823}),
                             8));
    arms.push_back(fromTable("offset wrist, three parallel axes, 1.3 m",
                             standardTable({0, -0.612, -0.5723, 0, 0, 0},
                                           {M_PI / 2, 0, 0, M_PI / 2, -M_PI / 2, 0},
                                           {0.1273, 0, 0, 0.163941, 0.1157, 0.0922}),
                             8));
    return arms;
}

// Plain 4x4 homogeneous DH product, row-major, for the table's joints q.
using Mat4 = std::array<std::array<double, 4>, 4>;

inline Mat4 mat4Mul(const Mat4& A, const Mat4& B) {
    Mat4 C{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) C[r][c] += A[r][k] * B[k][c];
    return C;
}

inline Mat4 dhMatrix(DhConvention conv, double a, double alpha, double d, double theta) {
    const double ct = std::cos(theta), st = std::sin(theta);
    const double ca = std::cos(alpha), sa = std::sin(alpha);
    if (conv == DhConvention::Standard) {
        return {{{ct, -st * ca, st * sa, a * ct},
                 {st, ct * ca, -ct * sa, a * st},
                 {0, sa, ca, d},
                 {0, 0, 0, 1}}};
    }
    return {{{ct, -st, 0, a},
             {st * ca, ct * ca, -sa, -sa * d},
             {st * sa, ct * sa, ca, ca * d},
             {0, 0, 0, 1}}};
}

inline Mat4 dhForward(const DhTable& t, const Joints& q) {
    Mat4 T{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    for (int k = 0; k < 6; ++k) {
        const DhRow& r = t.rows[k];
        const double theta = r.type == 'R' ? r.offset + q[k] : r.offset;
        const double d = r.type == 'R' ? r.d : r.d + q[k];
        T = mat4Mul(T, dhMatrix(t.convention, r.a, r.alpha, d, theta));
    }
    const Frame& f = t.flange;
    const Mat4 F{{{f.X.x, f.Y.x, f.Z.x, f.O.x},
                  {f.X.y, f.Y.y, f.Z.y, f.O.y},
                  {f.X.z, f.Y.z, f.Z.z, f.O.z},
                  {0, 0, 0, 1}}};
    return mat4Mul(T, F);
}

// An engine and a solver model for one description.
struct SolverRig {
    Engine engine;
    SolverModel model;
    SolverWorkspace ws;
    explicit SolverRig(const ArmDescription& d) {
        setUp(engine, d);
        buildSolverModel(engine, model);
        prepareWorkspace(model, ws);
    }
    // Tool pose of q as a target frame (axes from forward kinematics).
    Frame target(const Joints& q) {
        Vec3 p;
        EulerZYZ e;
        engine.analys(6, q.data(), p, e);
        return {engine.fk.fkAxisX, engine.fk.fkAxisY, engine.fk.fkAxisZ, p};
    }
};

// Distance of two joint vectors, turning joints modulo 2 pi.
inline double jointsGap(const ArmModel& m, const Joints& a, const Joints& b) {
    double g = 0.0;
    for (int k = 0; k < 6; ++k) {
        const double d = m.jointTypes[k] == 'R' ? angleGap(a[k], b[k]) : std::fabs(a[k] - b[k]);
        g = std::fmax(g, d);
    }
    return g;
}

inline bool contains(const ArmModel& m, const SolveResult& r, const Joints& q, double tol) {
    for (int i = 0; i < r.count; ++i) {
        if (jointsGap(m, r.solutions[i].joints, q) <= tol) return true;
    }
    return false;
}

}  // namespace kin::testing
