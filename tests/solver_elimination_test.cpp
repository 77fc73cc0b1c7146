// Arms without a closed form: every branch by elimination, checked against
// an independent all-solutions search (many fixed starts, each polished,
// clustered), the published solutions of the 16-solution arm, and poses
// that strain the method (a joint at a half turn, branches about to merge).

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "fixtures/general_arms.hpp"
#include "solver/internal.hpp"

namespace kin {
namespace {

using namespace kin::testing;

// Every solution of t reached by polishing `starts` fixed starts spread
// over the joint box, duplicates merged: knows nothing of the elimination.
std::vector<Joints> referenceSolutions(SolverRig& rig, const Frame& t, int starts) {
    SolveOptions o;
    o.polishIterations = 120;
    std::vector<Joints> found;
    static constexpr int kPrimes[6] = {2, 3, 5, 7, 11, 13};
    for (int i = 1; i <= starts; ++i) {
        Joints q;
        for (int k = 0; k < 6; ++k) {
            q[k] = (2.0 * solver::halton(i, kPrimes[k]) - 1.0) * (rig.model.model.jointTypes[k] == 'R' ? M_PI : 0.5);
        }
        int iterations = 0;
        if (!solver::polish(rig.model, rig.ws, t, o, q, iterations)) continue;
        bool known = false;
        for (const Joints& f : found) known = known || jointsGap(rig.model.model, f, q) <= 1e-6;
        if (!known) found.push_back(q);
    }
    return found;
}

// Residuals, no duplicates, every listed branch distinct.
void expectClean(const SolverRig& rig, const SolveResult& r) {
    for (int k = 0; k < r.count; ++k) {
        EXPECT_LE(r.solutions[k].positionError, 1e-10);
        EXPECT_LE(r.solutions[k].rotationError, 1e-10);
        for (int j = 0; j < k; ++j) {
            EXPECT_GT(jointsGap(rig.model.model, r.solutions[k].joints, r.solutions[j].joints), 1e-6);
        }
    }
}

TEST(Elimination, EveryArmKindAgainstTheReference) {
    SolveOptions o;
    std::vector<SolverArm> arms = generalArms();
    for (SolverArm& arm : slidingCurvedArms()) arms.push_back(std::move(arm));
    for (const SolverArm& arm : arms) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(arm.description);
        const bool slides = arm.name.starts_with("SSS");
        ASSERT_EQ(rig.model.kind, slides ? WristKind::SlidingArm : WristKind::Elimination);
        std::mt19937_64 rng(19);
        std::uniform_real_distribution<double> U(-M_PI, M_PI), L(-0.4, 0.4);
        SolveResult r;
        int regularPoses = 0, regularTyped = 0, compared = 0, sameCount = 0;
        for (int i = 0; i < 600; ++i) {
            Joints q;
            for (int k = 0; k < 6; ++k) q[k] = arm.description.JTYPE[k] == 'R' ? U(rng) : L(rng);
            const Frame t = rig.target(q);
            solveAll(rig.model, rig.ws, t, o, r);
            expectClean(rig, r);
            if (arm.genericBranches > 0) {
                EXPECT_LE(r.branches, arm.genericBranches);
            }
            if (regularPose(rig, q)) {
                ++regularPoses;
                regularTyped += contains(rig.model.model, r, q, 1e-6);
            }
            if (i % 8 == 0) {
                ++compared;
                const std::vector<Joints> ref = referenceSolutions(rig, t, 400);
                sameCount += r.branches == static_cast<int>(ref.size());
                // Every reference solution is among the branches.
                for (const Joints& f : ref) EXPECT_TRUE(contains(rig.model.model, r, f, 1e-6));
            }
        }
        EXPECT_GE(regularTyped, 0.999 * regularPoses);
        EXPECT_GE(sameCount, 0.98 * compared);
    }
}

TEST(Elimination, PublishedPoseGivesAllSixteen) {
    SolverRig rig(generalArms()[0].description);
    Frame t;
    t.X = {kSixteenPose[0][0], kSixteenPose[1][0], kSixteenPose[2][0]};
    t.Y = {kSixteenPose[0][1], kSixteenPose[1][1], kSixteenPose[2][1]};
    t.Z = {kSixteenPose[0][2], kSixteenPose[1][2], kSixteenPose[2][2]};
    t.O = {kSixteenPose[0][3], kSixteenPose[1][3], kSixteenPose[2][3]};
    SolveOptions o;
    o.orthonormalize = true;  // the pose is printed to four decimals
    SolveResult r;
    solveAll(rig.model, rig.ws, t, o, r);
    ASSERT_EQ(r.branches, 16);
    for (const auto& row : kSixteenSolutions) {
        Joints q;
        for (int k = 0; k < 6; ++k) q[k] = row[k] * kDegree;
        EXPECT_TRUE(contains(rig.model.model, r, q, 0.1 * kDegree)) << row[0] << " " << row[1] << " " << row[2];
    }
}

TEST(Elimination, StrainedPoses) {
    // Joints at a half turn (the polynomial's variable among them), and
    // poses next to a singularity, where two branches nearly meet.
    for (const SolverArm& arm : generalArms()) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(arm.description);
        SolveResult r;
        std::mt19937_64 rng(5);
        std::uniform_real_distribution<double> U(-M_PI, M_PI);
        for (int k = 0; k < 6; ++k) {
            // Not every joint can sit at a half turn away from a singularity
            // (a wrist's middle joint cannot): those are left out.
            Joints q;
            int tries = 0;
            do {
                for (double& v : q) v = U(rng);
                q[k] = M_PI;
            } while (!regularPose(rig, q) && ++tries < 50);
            if (tries == 50) continue;
            solveAll(rig.model, rig.ws, rig.target(q), SolveOptions{}, r);
            expectClean(rig, r);
            EXPECT_TRUE(contains(rig.model.model, r, q, 1e-6)) << "joint " << k << " at pi";
        }
        // Walk towards a singularity along one joint until the volume ratio
        // is small; the typed vector stays among the branches.
        for (int trial = 0; trial < 20; ++trial) {
            Joints q;
            for (double& v : q) v = U(rng);
            for (int step = 0; step < 40 && regularPose(rig, q); ++step) q[trial % 6] += 0.01;
            solveAll(rig.model, rig.ws, rig.target(q), SolveOptions{}, r);
            expectClean(rig, r);
            EXPECT_TRUE(contains(rig.model.model, r, q, 1e-5)) << "near singular, trial " << trial;
        }
    }
}

}  // namespace
}  // namespace kin
