// The public interface: set-up refuses bad descriptions with the right
// reason, and the engine answers only once an arm is set up.

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <armkin/armkin.hpp>

namespace {

using armkin::ArmDescription;
using armkin::DescriptionEntry;
using armkin::SetupError;

struct BadDescription {
    const char* what;
    std::function<void(ArmDescription&)> spoil;
    SetupError error;
    DescriptionEntry entry;
    const char* text;  //!< what describe() says
};

TEST(PublicSetUp, RefusesEachKindOfBadDescription) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const BadDescription cases[] = {
        {"five letters", [](ArmDescription& d) { d.JTYPE[5] = '\0'; }, SetupError::JointCount,
         DescriptionEntry::Letters, "joint types: the arm must have exactly 6 joints"},
        {"seven letters", [](ArmDescription& d) { d.JTYPE[6] = 'R'; }, SetupError::JointCount,
         DescriptionEntry::Letters, "joint types: the arm must have exactly 6 joints"},
        {"letter P", [](ArmDescription& d) { d.JTYPE[1] = 'P'; }, SetupError::UnknownJointType,
         DescriptionEntry::Joint1, "joint 1: a joint type other than R (turning) or S (sliding)"},
        {"lower-case r", [](ArmDescription& d) { d.JTYPE[0] = 'r'; }, SetupError::UnknownJointType,
         DescriptionEntry::Joint0, "joint 0: a joint type other than R (turning) or S (sliding)"},
        {"sliding wrist", [](ArmDescription& d) { d.JTYPE[4] = 'S'; }, SetupError::SlidingWristJoint,
         DescriptionEntry::Joint4,
         "joint 4: joints 3 to 5 must turn (R); a sliding wrist joint is not supported"},
        {"NaN origin", [nan](ArmDescription& d) { d.armJointPos[2].y = nan; }, SetupError::NonFinite,
         DescriptionEntry::Joint2, "joint 2: a position or axis component is not a finite number"},
        {"infinite tool", [](ArmDescription& d) { d.armJointPos[6].z = HUGE_VAL; },
         SetupError::NonFinite, DescriptionEntry::Tool,
         "tool: a position or axis component is not a finite number"},
        {"NaN base axis", [nan](ArmDescription& d) { d.armBaseAxes.X.x = nan; },
         SetupError::NonFinite, DescriptionEntry::Base,
         "base: a position or axis component is not a finite number"},
        {"axis of length 2", [](ArmDescription& d) { d.armJointAxes[3].X = {2, 0, 0}; },
         SetupError::AxisNotUnit, DescriptionEntry::Joint3,
         "joint 3: an axis is not of unit length (tolerance 1e-09)"},
        {"X equal to Y", [](ArmDescription& d) { d.armJointAxes[0].Y = d.armJointAxes[0].X; },
         SetupError::AxesNotOrthogonal, DescriptionEntry::Joint0,
         "joint 0: the axes are not orthogonal (tolerance 1e-09)"},
        {"left-handed tool", [](ArmDescription& d) { d.armJointAxes[6].Z = {0, 0, -1}; },
         SetupError::AxesNotRightHanded, DescriptionEntry::Tool,
         "tool: the axes are not right-handed (X x Y must be Z) (tolerance 1e-09)"},
        {"unit but 1e-8 off", [](ArmDescription& d) { d.armJointAxes[5].X = {1 + 1e-8, 0, 0}; },
         SetupError::AxisNotUnit, DescriptionEntry::Joint5,
         "joint 5: an axis is not of unit length (tolerance 1e-09)"},
    };
    for (const BadDescription& c : cases) {
        SCOPED_TRACE(c.what);
        ArmDescription d = armkin::builtinArm();
        c.spoil(d);
        armkin::Engine engine;
        const armkin::SetupResult r = engine.setUp(d);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.entry, c.entry);
        EXPECT_FALSE(engine.ready());
        EXPECT_EQ(armkin::describe(r), c.text);
    }
}

TEST(PublicSetUp, AcceptsAxesWithinTolerance) {
    ArmDescription d = armkin::builtinArm();
    d.armJointAxes[5].X = {1 + 1e-12, 0, 0};
    armkin::Engine engine;
    EXPECT_TRUE(engine.setUp(d));
    EXPECT_EQ(armkin::describe(engine.setUp(d)), "ok");
}

TEST(PublicSetUp, FailedSetUpKeepsThePreviousArm) {
    armkin::Engine engine;
    ASSERT_TRUE(engine.setUp(armkin::builtinArm()));
    ArmDescription bad = armkin::builtinArm();
    bad.JTYPE[3] = 'S';
    EXPECT_FALSE(engine.setUp(bad));
    EXPECT_TRUE(engine.ready());
    EXPECT_EQ(engine.arm().JTYPE[3], 'R');
}

TEST(PublicEngine, AnswersNothingBeforeSetUp) {
    armkin::Engine engine;
    armkin::Pose pose;
    pose.position.x = 42.0;
    EXPECT_EQ(engine.forward(armkin::Joints{}, pose), armkin::Status::NoArm);
    EXPECT_EQ(pose.position.x, 42.0);
    armkin::SolutionSet found;
    found.count = 3;
    EXPECT_EQ(armkin::inverse(engine, pose, armkin::Joints{}, armkin::IkMode::Ptp, found), 0);
    EXPECT_EQ(found.count, 0);
}

TEST(PublicEngine, ForwardGivesAnOrthonormalFrameAndSolutionsCarryTheirResiduals) {
    armkin::Engine engine;
    ASSERT_TRUE(engine.setUp(armkin::builtinArm()));
    const armkin::Joints q{0.3, -0.4, 0.5, 0.6, -0.7, 0.8};
    armkin::Pose pose;
    ASSERT_EQ(engine.forward(q, pose), armkin::Status::Ok);
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            double d = 0.0;
            for (int r = 0; r < 3; ++r) d += pose.rotation[r][a] * pose.rotation[r][b];
            EXPECT_NEAR(d, a == b ? 1.0 : 0.0, 1e-14);
        }
    armkin::SolutionSet found;
    ASSERT_GT(armkin::inverse(engine, pose, armkin::Joints{}, armkin::IkMode::Ptp, found), 0);
    for (int k = 0; k < found.count; ++k) {
        armkin::Solution again;
        ASSERT_EQ(engine.residuals(found.solutions[k].joints, pose, again), armkin::Status::Ok);
        EXPECT_EQ(again.positionError, found.solutions[k].positionError);
        EXPECT_EQ(again.rotationError, found.solutions[k].rotationError);
        EXPECT_LT(found.solutions[k].positionError, 1e-4);
        EXPECT_LT(found.solutions[k].rotationError, 1e-4);
    }
    // A known rotation error: the target turned by 0.25 rad about its Z axis.
    armkin::Pose turned = pose;
    const double c = std::cos(0.25), s = std::sin(0.25);
    for (int r = 0; r < 3; ++r) {
        const double x = pose.rotation[r][0], y = pose.rotation[r][1];
        turned.rotation[r][0] = c * x + s * y;
        turned.rotation[r][1] = -s * x + c * y;
    }
    armkin::Solution off;
    ASSERT_EQ(engine.residuals(q, turned, off), armkin::Status::Ok);
    EXPECT_NEAR(off.rotationError, 0.25, 1e-12);
    EXPECT_EQ(off.positionError, 0.0);
}

TEST(PublicSolver, EveryBranchToMachinePrecisionAndTheBatchAgrees) {
    armkin::Engine engine;
    ASSERT_TRUE(engine.setUp(armkin::builtinArm()));
    std::vector<armkin::Pose> targets;
    for (int n = 0; n < 12; ++n) {
        armkin::Pose p;
        engine.forward({0.1 * n - 0.5, 0.3, -0.7 + 0.05 * n, 0.2, 0.4 + 0.1 * n, -0.3}, p);
        targets.push_back(p);
    }
    std::vector<armkin::SolveResult> batch(targets.size()), pooled(targets.size());
    EXPECT_EQ(engine.solveBatch(targets, armkin::SolveOptions{}, batch, 2), armkin::Status::Ok);
    armkin::SolverPool pool(2);
    EXPECT_EQ(pool.solve(engine.model(), targets, armkin::SolveOptions{}, pooled), armkin::Status::Ok);
    EXPECT_EQ(pool.solve(armkin::Model{}, targets, armkin::SolveOptions{}, pooled), armkin::Status::NoArm);
    EXPECT_EQ(pool.solve(engine.model(), targets, armkin::SolveOptions{}, std::span(pooled).first(3)),
              armkin::Status::InvalidInput);
    for (std::size_t n = 0; n < targets.size(); ++n) {
        armkin::SolveResult one;
        ASSERT_EQ(engine.solve(targets[n], armkin::SolveOptions{}, one), 8);
        ASSERT_EQ(batch[n].count, one.count);
        ASSERT_EQ(pooled[n].count, one.count);
        for (int k = 0; k < one.count; ++k) {
            EXPECT_LE(one.solutions[k].positionError, 1e-10);
            EXPECT_LE(one.solutions[k].rotationError, 1e-10);
            EXPECT_EQ(batch[n].solutions[k].joints, one.solutions[k].joints);
            EXPECT_EQ(pooled[n].solutions[k].joints, one.solutions[k].joints);
        }
        armkin::Solution near;
        ASSERT_EQ(engine.nearest(targets[n], one.solutions[3].joints, armkin::SolveOptions{}, near),
                  armkin::Status::Ok);
        EXPECT_EQ(near.joints, one.solutions[3].joints);
    }
    // Out of reach, with the reason.
    armkin::Pose far = targets[0];
    far.position.z = 10.0;
    armkin::SolveResult none;
    EXPECT_EQ(engine.solve(far, armkin::SolveOptions{}, none), 0);
    EXPECT_EQ(none.status, armkin::Status::OutOfReach);
    armkin::Solution unused;
    EXPECT_EQ(engine.nearest(far, armkin::Joints{}, armkin::SolveOptions{}, unused),
              armkin::Status::OutOfReach);
}

// One model, a workspace per thread: the same results as one engine, also
// for a workspace that moves between two models.
TEST(PublicModel, SharedByThreadsWithAWorkspaceEach) {
    armkin::Model model, other;
    ASSERT_TRUE(model.setUp(armkin::builtinArm()));
    armkin::ArmDescription moved = armkin::builtinArm();
    moved.armJointPos[6].x += 0.1;  // another tool point
    ASSERT_TRUE(other.setUp(moved));
    armkin::Engine engine;
    ASSERT_TRUE(engine.setUp(armkin::builtinArm()));
    std::vector<armkin::Pose> targets(40);
    for (std::size_t n = 0; n < targets.size(); ++n) {
        engine.forward({0.07 * n - 1.2, 0.4, -0.3 + 0.03 * n, 0.5, 0.2 - 0.02 * n, 0.9}, targets[n]);
    }
    std::vector<armkin::SolveResult> want(targets.size());
    std::vector<armkin::SolutionSet> wantPtp(targets.size());
    for (std::size_t n = 0; n < targets.size(); ++n) {
        engine.solve(targets[n], {}, want[n]);
        armkin::inverse(engine, targets[n], {}, armkin::IkMode::Ptp, wantPtp[n]);
    }

    std::vector<armkin::SolveResult> got[2] = {std::vector<armkin::SolveResult>(targets.size()),
                                               std::vector<armkin::SolveResult>(targets.size())};
    std::vector<armkin::SolutionSet> gotPtp[2] = {std::vector<armkin::SolutionSet>(targets.size()),
                                                  std::vector<armkin::SolutionSet>(targets.size())};
    auto work = [&](int t) {
        armkin::Workspace ws;
        armkin::SolveResult scratch;
        armkin::SolutionSet scratchPtp;
        for (std::size_t n = 0; n < targets.size(); ++n) {
            // The workspace follows the model it is given.
            armkin::solve(other, ws, targets[n], {}, scratch);
            armkin::inverse(other, ws, targets[n], {}, armkin::IkMode::Ptp, scratchPtp);
            armkin::solve(model, ws, targets[n], {}, got[t][n]);
            armkin::inverse(model, ws, targets[n], {}, armkin::IkMode::Ptp, gotPtp[t][n]);
        }
    };
    std::thread second(work, 1);
    work(0);
    second.join();
    for (int t = 0; t < 2; ++t) {
        for (std::size_t n = 0; n < targets.size(); ++n) {
            ASSERT_EQ(got[t][n].count, want[n].count);
            for (int k = 0; k < want[n].count; ++k) {
                EXPECT_EQ(got[t][n].solutions[k].joints, want[n].solutions[k].joints);
                EXPECT_EQ(got[t][n].solutions[k].rotationError, want[n].solutions[k].rotationError);
            }
            ASSERT_EQ(gotPtp[t][n].count, wantPtp[n].count);
            for (int k = 0; k < wantPtp[n].count; ++k) {
                EXPECT_EQ(gotPtp[t][n].solutions[k].joints, wantPtp[n].solutions[k].joints);
            }
        }
    }
}

}  // namespace
