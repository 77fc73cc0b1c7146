// Singular poses get valid solutions, one representative per continuous
// family, flagged singular; poses beyond reach and unusable input say why.

#include <gtest/gtest.h>

#include <cmath>

#include "fixtures/solver_arms.hpp"

namespace kin {
namespace {

using namespace kin::testing;

struct SingularCase {
    const char* what;
    int arm;  // index into solverArms()
    Joints q;
    int count;          // solutions expected
    int singular;       // of those, flagged singular
    double typedWithin;  // how close the typed vector must come back
};

TEST(SolverSingular, RepresentativesOfEachFamily) {
    const auto arms = solverArms();
    const SingularCase cases[] = {
        // Arm straight up: waist, elbow and wrist singular at once; q0 and
        // q3 + q5 are free, the seed (zeros) picks the representative.
        {"built-in arm, all zero", 0, {0, 0, 0, 0, 0, 0}, 1, 1, 1e-12},
        // Wrist axes 3 and 5 in line: two arm branches keep q4 = 0 (one
        // representative each), the two others have a regular wrist.
        {"built-in arm, q4 = 0", 0, {0.3, 0.5, -0.7, 0.4, 0.0, 0.2}, 6, 2, 1e-9},
        // Stretched and folded elbow: the elbow branches coincide.
        {"built-in arm, stretched elbow", 0, {0.3, 0.5, 0.0, 0.4, 0.9, 0.2}, 4, 4, 1e-4},
        {"built-in arm, folded elbow", 0, {0.3, 0.5, M_PI, 0.4, 0.9, 0.2}, 4, 4, 1e-4},
        {"shoulder offset arm, q4 = 0", 1, {0.2, 0.4, 0.3, 0.5, 0.0, 0.1}, 3, 1, 1e-9},
        {"three parallel axes, q4 = 0", 4, {0.3, -1.0, 0.5, 0.4, 0.0, 0.2}, 6, 2, 1e-9},
    };
    for (const SingularCase& c : cases) {
        SCOPED_TRACE(c.what);
        SolverRig rig(arms[c.arm].description);
        SolveOptions o;
        SolveResult r;
        const Frame t = rig.target(c.q);
        EXPECT_EQ(solveAll(rig.model, rig.ws, t, o, r), c.count);
        EXPECT_EQ(r.status, Status::Ok);
        int singular = 0;
        for (int k = 0; k < r.count; ++k) {
            EXPECT_LE(r.solutions[k].positionError, 1e-10);
            EXPECT_LE(r.solutions[k].rotationError, 1e-10);
            singular += r.solutions[k].status == SolutionStatus::Singular;
        }
        EXPECT_EQ(singular, c.singular);
        // A seed that lies on the family comes back as its representative.
        o.seed = c.q;
        solveAll(rig.model, rig.ws, t, o, r);
        EXPECT_TRUE(contains(rig.model.model, r, c.q, c.typedWithin));
    }
}

TEST(SolverSingular, ZeroPoseRepresentativeFollowsTheSeed) {
    SolverRig rig(builtinArm());
    const Frame t = rig.target(Joints{});
    SolveOptions o;
    // Axes 0, 3 and 5 are one vertical line: the family is q0 + q3 + q5 = 0.
    o.seed = {0.7, 0.0, 0.0, 0.2, 0.0, -0.9};  // on the family
    SolveResult r;
    ASSERT_EQ(solveAll(rig.model, rig.ws, t, o, r), 1);
    const Joints& q = r.solutions[0].joints;
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(q[k], o.seed[k], 1e-9);
    EXPECT_EQ(r.solutions[0].status, SolutionStatus::Singular);
    // Off the family, the member nearest the seed: the excess 0.4 shared
    // equally by the three joints.
    o.seed = {0.7, 0.0, 0.0, 0.2, 0.0, -0.5};
    ASSERT_EQ(solveAll(rig.model, rig.ws, t, o, r), 1);
    EXPECT_NEAR(r.solutions[0].joints[0], 0.7 - 0.4 / 3.0, 1e-6);
    EXPECT_NEAR(r.solutions[0].joints[3], 0.2 - 0.4 / 3.0, 1e-6);
    EXPECT_NEAR(r.solutions[0].joints[5], -0.5 - 0.4 / 3.0, 1e-6);
}

TEST(SolverSingular, FailuresSayWhy) {
    SolverRig rig(builtinArm());
    SolveOptions o;
    SolveResult r;
    Frame far = rig.target(Joints{});
    far.O = {5.0, 0.0, 1.1};  // 5 from the waist: beyond the 3.1 reach
    EXPECT_EQ(solveAll(rig.model, rig.ws, far, o, r), 0);
    EXPECT_EQ(r.status, Status::OutOfReach);

    Frame bad = rig.target(Joints{});
    bad.O.x = std::nan("");
    EXPECT_EQ(solveAll(rig.model, rig.ws, bad, o, r), 0);
    EXPECT_EQ(r.status, Status::InvalidInput);

    SolveOptions zeroTol;
    zeroTol.positionTolerance = 0.0;
    EXPECT_EQ(solveAll(rig.model, rig.ws, rig.target(Joints{}), zeroTol, r), 0);
    EXPECT_EQ(r.status, Status::InvalidInput);

    SolverModel unbuilt;
    EXPECT_EQ(solveAll(unbuilt, rig.ws, rig.target(Joints{}), o, r), 0);
    EXPECT_EQ(r.status, Status::NoArm);
}

}  // namespace
}  // namespace kin
