// The complete solver on every test arm: seeded sweeps of uniform joints
// and of joints away from singularities, checked against the acceptance
// targets (typed vector among the solutions, every solution within
// tolerance by the library's forward kinematics, no duplicates, the branch
// count where it is known), and each DH description against a plain 4x4
// DH product.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "solver/chain.hpp"
#include "fixtures/sliding_arms.hpp"
#include "fixtures/solver_arms.hpp"

namespace kin {
namespace {

using namespace kin::testing;

// Independent check of a solution: the engine's analys and its axes.
void expectReaches(SolverRig& rig, const Frame& t, const Solution& s, double tol) {
    Vec3 p;
    EulerZYZ e;
    rig.engine.analys(6, s.joints.data(), p, e);
    const Vec3* mine[3] = {&rig.engine.fk.fkAxisX, &rig.engine.fk.fkAxisY, &rig.engine.fk.fkAxisZ};
    const Vec3* goal[3] = {&t.X, &t.Y, &t.Z};
    double frob = 0.0;
    for (int i = 0; i < 3; ++i) {
        frob += std::pow(mine[i]->x - goal[i]->x, 2) + std::pow(mine[i]->y - goal[i]->y, 2) +
                std::pow(mine[i]->z - goal[i]->z, 2);
    }
    EXPECT_LE(std::hypot(p.x - t.O.x, p.y - t.O.y, p.z - t.O.z), tol);
    EXPECT_LE(std::sqrt(frob / 2.0), tol);
    EXPECT_LE(s.positionError, tol);
    EXPECT_LE(s.rotationError, tol);
}

struct Tally {
    int poses = 0, typed = 0, regularPoses = 0, regularTyped = 0, countMismatch = 0;
};

TEST(SolverSweep, DhDescriptionsMatchAPlainDhProduct) {
    std::mt19937_64 rng(41);
    std::uniform_real_distribution<double> U(-M_PI, M_PI);
    for (const SolverArm& arm : solverArms()) {
        if (!arm.hasTable) continue;
        SolverRig rig(arm.description);
        for (int i = 0; i < 200; ++i) {
            Joints q;
            for (double& v : q) v = U(rng);
            const Frame t = rig.target(q);
            const Mat4 T = dhForward(arm.table, q);
            const Vec3 cols[4] = {t.X, t.Y, t.Z, t.O};
            for (int c = 0; c < 4; ++c) {
                EXPECT_NEAR(T[0][c], cols[c].x, 1e-12) << arm.name;
                EXPECT_NEAR(T[1][c], cols[c].y, 1e-12) << arm.name;
                EXPECT_NEAR(T[2][c], cols[c].z, 1e-12) << arm.name;
            }
        }
    }
}

TEST(SolverSweep, RealArmsEveryBranchToMachinePrecision) {
    SolveOptions o;
    for (const SolverArm& arm : solverArms()) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(arm.description);
        std::mt19937_64 rng(2026);
        std::uniform_real_distribution<double> U(-M_PI, M_PI);
        Tally n;
        SolveResult r;
        for (int i = 0; i < 1500; ++i) {
            Joints q;
            for (double& v : q) v = U(rng);
            const Frame t = rig.target(q);
            ASSERT_GE(solveAll(rig.model, rig.ws, t, o, r), 0);
            const bool reg = regularPose(rig, q);
            const bool back = contains(rig.model.model, r, q, 1e-6);
            ++n.poses;
            n.typed += back;
            n.regularPoses += reg;
            n.regularTyped += reg && back;
            if (reg && arm.genericBranches > 0 && arm.alwaysGeneric && r.count != arm.genericBranches) {
                ++n.countMismatch;
            }
            for (int k = 0; k < r.count; ++k) {
                expectReaches(rig, t, r.solutions[k], 1e-10);
                for (int j = 0; j < k; ++j) {
                    EXPECT_GT(jointsGap(rig.model.model, r.solutions[k].joints, r.solutions[j].joints), 1e-6);
                }
            }
            EXPECT_LE(r.count, arm.genericBranches > 0 ? arm.genericBranches : kMaxSolverSolutions);
        }
        EXPECT_GE(n.typed, 0.99 * n.poses);
        EXPECT_GE(n.regularTyped, 0.999 * n.regularPoses);
        EXPECT_GT(n.regularPoses, n.poses / 4);
        EXPECT_EQ(n.countMismatch, 0);
    }
}

TEST(SolverSweep, SlidingJointArms) {
    SolveOptions o;
    for (const SlidingArm& arm : slidingArms()) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(describe(arm));
        std::mt19937_64 rng(77);
        const bool degenerate = arm.branch == Branch::BothHeightsFixed || arm.branch == Branch::ParallelSlides;
        int typed = 0, solved = 0;
        SolveResult r;
        const int poses = 300;
        for (int i = 0; i < poses; ++i) {
            const Joints q = randomJoints(arm, rng);
            const Frame t = rig.target(q);
            solveAll(rig.model, rig.ws, t, o, r);
            typed += contains(rig.model.model, r, q, 1e-6);
            solved += r.count > 0;
            for (int k = 0; k < r.count; ++k) {
                expectReaches(rig, t, r.solutions[k], 1e-10);
                // On an arm whose joints 0..2 cannot fix the wrist centre,
                // every answer stands for a family.
                if (degenerate) {
                    EXPECT_EQ(r.solutions[k].status, SolutionStatus::Singular);
                }
            }
        }
        if (degenerate) {
            EXPECT_EQ(solved, poses);
        } else {
            EXPECT_GE(typed, 0.99 * poses);
        }
    }
}

}  // namespace
}  // namespace kin
