// Joint limits: results outside are dropped, every branch comes before the
// copies 2 pi apart inside, the seed order and the nearest solution; tracking.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "solver/internal.hpp"
#include "fixtures/solver_arms.hpp"

namespace kin {
namespace {

using namespace kin::testing;

class SolverLimits : public ::testing::Test {
protected:
    SolverRig rig{solverArms()[1].description};  // spherical wrist with shoulder offset
    std::mt19937_64 rng{99};
    std::uniform_real_distribution<double> U{-M_PI, M_PI};
    Joints draw() {
        Joints q;
        for (double& v : q) v = U(rng);
        return q;
    }
};

TEST_F(SolverLimits, EveryBranchComesBeforeAnyCopy) {
    // Rows: limits of joints 0 and 5 at two turns and the rest at one, where
    // each branch has 4 copies; then +-2 pi on all six joints, where the
    // copies (2^6 per branch) overflow any list sized for branches alone.
    struct Case {
        std::array<double, 6> reach;
        int copiesPerBranch;
    };
    const double twoTurns = 2.0 * M_PI - 1e-9;
    const Case cases[] = {{{twoTurns, M_PI, M_PI, M_PI, M_PI, twoTurns}, 4},
                          {{twoTurns, twoTurns, twoTurns, twoTurns, twoTurns, twoTurns}, 64}};
    for (const Case& c : cases) {
        SolveOptions free;
        SolveOptions wide;
        for (int k = 0; k < 6; ++k) {
            wide.limits.lower[k] = -c.reach[k];
            wide.limits.upper[k] = c.reach[k];
        }
        SolveOptions all = wide;
        all.copies = Copies::All;
        SolveResult base, branches, copies;
        for (int i = 0; i < 20; ++i) {
            const Frame t = rig.target(draw());
            solveAll(rig.model, rig.ws, t, free, base);
            solveAll(rig.model, rig.ws, t, wide, branches);
            solveAll(rig.model, rig.ws, t, all, copies);
            ASSERT_EQ(branches.count, base.count);
            ASSERT_EQ(copies.branches, base.count);
            ASSERT_EQ(copies.count, c.copiesPerBranch * base.count);
            EXPECT_FALSE(copies.truncated);
            for (int k = 0; k < copies.count; ++k) {
                const Solution& s = copies.solutions[k];
                EXPECT_LE(s.positionError, 1e-10);
                EXPECT_LE(s.rotationError, 1e-10);
                for (int j = 0; j < 6; ++j) {
                    EXPECT_GE(s.joints[j], wide.limits.lower[j]);
                    EXPECT_LE(s.joints[j], wide.limits.upper[j]);
                }
                // The first entries are the branches, each once.
                if (k < base.count) {
                    EXPECT_EQ(s.joints, branches.solutions[k].joints);
                }
                EXPECT_TRUE(contains(rig.model.model, base, s.joints, 1e-9));
            }
        }
    }
}

TEST_F(SolverLimits, ResultsOutsideAreDropped) {
    SolveOptions o;
    o.limits.lower[2] = 0.0;  // one elbow branch only
    o.limits.upper[2] = M_PI;
    o.limits.lower[4] = 0.2;  // one wrist branch only
    o.limits.upper[4] = M_PI;
    SolveOptions free;
    SolveResult all, kept;
    int dropped = 0;
    for (int i = 0; i < 200; ++i) {
        const Frame t = rig.target(draw());
        solveAll(rig.model, rig.ws, t, free, all);
        solveAll(rig.model, rig.ws, t, o, kept);
        int inside = 0;
        for (int k = 0; k < all.count; ++k) {
            const Joints& q = all.solutions[k].joints;
            const bool in = q[2] >= 0.0 && q[2] <= M_PI && q[4] >= 0.2 && q[4] <= M_PI;
            inside += in;
            if (in) {
                EXPECT_TRUE(contains(rig.model.model, kept, q, 1e-12));
            }
        }
        EXPECT_EQ(kept.count, inside);
        dropped += all.count - inside;
        if (all.count > 0 && inside == 0) {
            EXPECT_EQ(kept.status, Status::OutsideLimits);
        }
    }
    EXPECT_GT(dropped, 200);
}

TEST_F(SolverLimits, SeedOrderAndNearestFromAnySeed) {
    SolveOptions o;
    o.order = SolutionOrder::SeedDistance;
    o.weights = {3.0, 2.0, 2.0, 1.0, 1.0, 0.5};
    for (int i = 0; i < 200; ++i) {
        const Joints typed = draw();
        const Frame t = rig.target(typed);
        o.seed = draw();  // far from the typed vector as often as not
        SolveResult r;
        ASSERT_GT(solveAll(rig.model, rig.ws, t, o, r), 0);
        for (int k = 1; k < r.count; ++k) {
            EXPECT_LE(solver::seedDistance(o, r.solutions[k - 1].joints, o.seed),
                      solver::seedDistance(o, r.solutions[k].joints, o.seed));
        }
        Solution nearest;
        ASSERT_EQ(solveNearest(rig.model, rig.ws, t, o.seed, o, nearest), 1);
        EXPECT_LE(jointsGap(rig.model.model, nearest.joints, r.solutions[0].joints), 1e-9);
        // Unbounded turning joints come as the copy nearest the seed.
        for (int k = 0; k < 6; ++k) EXPECT_LE(std::fabs(nearest.joints[k] - o.seed[k]), M_PI + 1e-9);
    }
}

TEST_F(SolverLimits, NearAndTrackingSeedsReturnTheTypedVector) {
    SolveOptions o;
    std::bernoulli_distribution sign;
    int typedBack = 0;
    for (int i = 0; i < 200; ++i) {
        const Joints typed = draw();
        const Frame t = rig.target(typed);
        Joints seed = typed;
        for (double& v : seed) v += sign(rng) ? 0.05 : -0.05;
        Solution a, b;
        ASSERT_EQ(solveNearest(rig.model, rig.ws, t, seed, o, a), 1);
        ASSERT_EQ(solveTrack(rig.model, rig.ws, t, seed, o, b), 1);
        EXPECT_LE(b.positionError, 1e-10);
        EXPECT_LE(b.rotationError, 1e-10);
        typedBack += jointsGap(rig.model.model, a.joints, typed) < 1e-6;
        // Near a stretched elbow the other elbow branch can be nearer.
        EXPECT_LE(solver::seedDistance(o, a.joints, seed), solver::seedDistance(o, typed, seed) + 1e-9);
        EXPECT_LE(jointsGap(rig.model.model, b.joints, typed), 0.5);
    }
    EXPECT_GE(typedBack, 190);
}

}  // namespace
}  // namespace kin
