// The solver's reach test (solver::mayReach) on every test arm: no pose of
// a joint vector is refused, nor any pose the solver solves at the edge of
// the reach; poses beyond the chain's length are refused and answered
// OutOfReach.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "arm/dh_table.hpp"
#include "ik/kinematics.hpp"
#include "fixtures/real_arms.hpp"
#include "fixtures/sliding_arms.hpp"
#include "fixtures/solver_arms.hpp"
#include "solver/internal.hpp"

namespace kin {
namespace {

using namespace kin::testing;

struct Arm {
    std::string name;
    ArmDescription description;
    const SlidingArm* sliding = nullptr;  // its joint sampling, when set
};

// Two geometries beside the fixtures': three parallel axes with a wrist
// whose axes meet at slants (not every orientation is reached), and a
// spherical wrist behind three skew turning axes.
std::vector<Arm> slantedArms() {
    const SolverArm par = fromTable("three parallel axes, slanted wrist",
                                    standardTable({0.0, -0.425, -0.39, 0.05, 0.0, 0.0},
                                                  {M_PI / 2, 0.0, 0.0, 1.1, -0.8, 0.0},
                                                  {0.089, 0.02, -0.03, 0.109, 0.095, 0.082}),
                                    0);
    const SolverArm skew = fromTable("skew shoulder, spherical wrist",
                                     standardTable({0.1, 0.5, 0.05, 0.0, 0.0, 0.0},
                                                   {0.7, 1.2, -M_PI / 2, M_PI / 2, -M_PI / 2, 0.0},
                                                   {0.3, 0.05, 0.1, 0.45, 0.0, 0.07}),
                                     0);
    return {{par.name, par.description}, {skew.name, skew.description}};
}

std::vector<Arm> everyArm(const std::vector<SlidingArm>& slides) {
    std::vector<Arm> arms = slantedArms();
    for (const SolverArm& a : solverArms()) arms.push_back({a.name, a.description});
    for (const RealArm& a : realArms()) arms.push_back({"real: " + a.name, a.desc});
    for (const SlidingArm& a : slides) arms.push_back({a.name, describe(a), &a});
    return arms;
}

Joints randomTurns(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> U(-M_PI, M_PI);
    Joints q;
    for (double& v : q) v = U(rng);
    return q;
}

// Tolerances far below rounding: only the reach test's room for rounding
// keeps these poses.
SolveOptions tight() {
    SolveOptions o;
    o.positionTolerance = o.rotationTolerance = 1e-300;
    return o;
}

TEST(SolverReach, PosesOfJointVectorsAreNeverRefused) {
    const auto slanted = slantedArms();
    EXPECT_EQ(SolverRig(slanted[0].description).model.kind, WristKind::ParallelAxes);
    const SolverRig skew(slanted[1].description);
    EXPECT_TRUE(skew.model.kind == WristKind::Spherical && !skew.model.shoulderParallel);
    const auto slides = slidingArms();
    std::mt19937_64 rng(1707);
    std::uniform_int_distribution<int> pick(0, 7);
    for (const Arm& arm : everyArm(slides)) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(arm.description);
        int refused = 0;
        for (int i = 0; i < 3000; ++i) {
            Joints q = arm.sliding ? randomJoints(*arm.sliding, rng) : randomTurns(rng);
            // Often a quarter-turn multiple in joints 1 to 4: stretched,
            // folded and upright arms, where the edge of the reach lies, and
            // wrists with lined-up axes.
            for (int k = 1; k < 5; ++k) {
                const int p = pick(rng);
                if (p < 4 && rig.model.model.jointTypes[k] == 'R') q[k] = p * M_PI / 2.0;
            }
            const Frame t = rig.target(q);
            refused += !solver::mayReach(rig.model, t, tight()) || !solver::mayReach(rig.model, t, {});
        }
        EXPECT_EQ(refused, 0);
    }
}

TEST(SolverReach, EdgeOfTheReachAndBeyondOnTurningArms) {
    std::mt19937_64 rng(1708);
    std::uniform_real_distribution<double> beyond(1.0 + 1e-6, 3.0);
    std::normal_distribution<double> gauss;
    for (const Arm& arm : everyArm({})) {
        SCOPED_TRACE(arm.name);
        SolverRig rig(arm.description);
        Vec3 o;
        const double length = chainLength(rig.model, o);
        SolveResult r;
        const SolveOptions defaults;
        for (int i = 0; i < 200; ++i) {
            Frame t = rig.target(randomTurns(rng));
            Frame far = t;
            const Vec3 d{gauss(rng), gauss(rng), gauss(rng)};
            const double k = beyond(rng) * length / std::hypot(d.x, d.y, d.z);
            far.O = {o.x + k * d.x, o.y + k * d.y, o.z + k * d.z};
            EXPECT_FALSE(solver::mayReach(rig.model, far, defaults));
            EXPECT_EQ(solveAll(rig.model, rig.ws, far, defaults, r), 0);
            EXPECT_EQ(r.status, Status::OutOfReach);
            if (i >= 8) continue;
            // Out along the ray from joint 0 to the last scale the solver
            // still solves (to 1e-12): that pose must not be refused.
            const Vec3 v{t.O.x - o.x, t.O.y - o.y, t.O.z - o.z};
            double lo = 1.0, hi = 1.0 + length / std::hypot(v.x, v.y, v.z);
            while (hi - lo > 1e-12 * lo) {
                const double mid = 0.5 * (lo + hi);
                t.O = {o.x + mid * v.x, o.y + mid * v.y, o.z + mid * v.z};
                if (solveAll(rig.model, rig.ws, t, defaults, r) > 0) {
                    lo = mid;
                } else {
                    hi = mid;
                }
            }
            t.O = {o.x + lo * v.x, o.y + lo * v.y, o.z + lo * v.z};
            EXPECT_TRUE(solver::mayReach(rig.model, t, defaults)) << "scale " << lo;
        }
    }
}

}  // namespace
}  // namespace kin
