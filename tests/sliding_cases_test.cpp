// Round trips on arms with sliding joints among joints 0..2 (case numbers 1
// to 7): random joint vectors -> pose -> inverse kinematics, per test arm.
//
// Position-only mode runs the case solver once with the typed wrist joints,
// so every candidate it returns must put the tool point on the target and
// the typed arm joints must be among them. PTP mode must return only
// solutions whose forward kinematics reproduces the whole target pose.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cases/case_helpers.hpp"
#include "fixtures/sliding_arms.hpp"

namespace kin {
namespace {

using testing::Branch;
using testing::jointGap;
using testing::kAtMost;
using testing::Pose;
using testing::poseOf;
using testing::SlidingArm;
using testing::slidingArms;

constexpr int kTargets = 300;      // position-only targets per arm
constexpr int kPtpEvery = 5;       // every fifth target is also solved in PTP mode
constexpr double kReach = 1e-5;    // sum of the absolute coordinate errors
constexpr double kPoseTol = 1e-4;  // largest coordinate error of a PTP solution's pose
constexpr double kSameJoint = 1e-6;

double reachError(Kinematics& e, const Joints& q, const Vec3& target) {
    Vec3 p;
    EulerZYZ E;
    e.analys(6, q.data(), p, E);
    return std::fabs(p.x - target.x) + std::fabs(p.y - target.y) + std::fabs(p.z - target.z);
}

// Largest coordinate difference between the pose of q and the target pose.
double poseGap(Kinematics& e, const Joints& q, const Pose& target) {
    const Pose p = poseOf(e, q);
    const Vec3* a[4] = {&p.pos, &p.axes.X, &p.axes.Y, &p.axes.Z};
    const Vec3* b[4] = {&target.pos, &target.axes.X, &target.axes.Y, &target.axes.Z};
    double gap = 0.0;
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 3; ++c) gap = std::max(gap, std::fabs(component(*a[i], c) - component(*b[i], c)));
    }
    return gap;
}

bool armJointsMatch(const SlidingArm& arm, const std::array<double, 3>& cand, const Joints& q) {
    for (int k = 0; k < 3; ++k) {
        if (jointGap(arm, k, cand[k], q[k]) > kSameJoint) return false;
    }
    return true;
}

// The branch of the case solver that the last solve took, from the records
// it read.
Branch branchTaken(const Kinematics& e) {
    const Vec3& X1 = e.arm.link1Inv.X;
    const Vec3& X2 = e.model.linkFrames[2].X;
    const StageOneCoefficients& s1 = e.ik.s1;
    switch (e.arm.armCase) {
        case 1:
            return std::fabs(X1.z) <= 1e-8 ? Branch::SlideInPlane : Branch::General;
        case 3:
            return std::fabs(X2.z) <= ikEps ? Branch::SlideInPlane : Branch::General;
        case 5:
            if (std::fabs(X1.z) <= 1e-8) {
                return std::fabs(X2.z) <= 1e-8 ? Branch::BothHeightsFixed : Branch::SlideInPlane;
            }
            return std::fabs(e.arm.slideTiltDet) <= 1e-8 ? Branch::EqualTilt : Branch::General;
        case 2:
        case 6:
            return std::fabs(s1.yzCross) > 1e-8 ? Branch::General : Branch::Dependent;
        case 4: {
            const auto u = detail::turningJoint2(e.model.linkFrames[2], e.ik.wristPointArm);
            const double det = u.Uc.y * u.Us.z - u.Uc.z * u.Us.y;
            return std::fabs(det) > 1e-8 ? Branch::General : Branch::Dependent;
        }
        case 7:
            return std::fabs(e.arm.slideCrossX) > 1e-8 ? Branch::General : Branch::ParallelSlides;
        default:
            return Branch::General;
    }
}

// Arms whose general branch solves a conic in the cosine and sine of one
// angle (a quartic in the cosine): theta2 for cases 1 and 2, theta0 for
// case 3. Each root of the conic gives one candidate. The closed-form
// quartic is accurate to about 1e-8 only (it works with a seven-digit
// root of 3), so the residual filter of the conic solver may drop a true
// root, and near a double root the roots it keeps may miss the target
// slightly. The test therefore counts the roots with an independent scan
// of the positioning equation over the angle, and holds the case solver to
// the exact result only when the closed form kept every root and no two
// roots nearly share their cosine.
bool solvesAConic(const SlidingArm& arm) {
    return arm.branch == Branch::General &&
           (arm.armCase == 1 || arm.armCase == 2 || arm.armCase == 3);
}

Frame turnAboutZ(double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {{c, s, 0}, {-s, c, 0}, {0, 0, 1}, {0, 0, 0}};
}

// The remaining equation in the angle once the other two unknowns are
// eliminated, evaluated from the frames: zero exactly at the solutions.
double conicResidual(const Kinematics& e, double angle) {
    const Frame& L2 = e.model.linkFrames[2];
    const Frame& L1inv = e.arm.link1Inv;
    const Vec3& X1 = L1inv.X;
    const Vec3& X2 = L2.X;
    const Vec3& Q0 = e.ik.s1.tgtPos01;
    const Vec3& p0 = e.ik.prep.tgtPos0;
    const Vec3& w = e.ik.wristPointArm;
    auto targetIn1 = [&](double q0) {  // V(theta0)
        return frameApplyPoint(L1inv, frameApplyPoint(turnAboutZ(-q0), p0));
    };
    switch (e.arm.armCase) {
        case 1: {  // height fixes d0, then the radii must agree
            const Vec3 u = frameApplyPoint(frameMul(L2, turnAboutZ(angle)), w);
            const double d0 = (Q0.z - u.z) / X1.z;
            const Vec3 v{Q0.x - d0 * X1.x, Q0.y - d0 * X1.y, 0.0};
            return (u.x * u.x + u.y * u.y) - (v.x * v.x + v.y * v.y);
        }
        case 3: {  // height fixes d2, then the radii must agree
            const Vec3 v = targetIn1(angle);
            const Vec3 U0 = frameApplyPoint(L2, w);
            const double d2 = (v.z - U0.z) / X2.z;
            const Vec3 u{U0.x + d2 * X2.x, U0.y + d2 * X2.y, 0.0};
            return (u.x * u.x + u.y * u.y) - (v.x * v.x + v.y * v.y);
        }
        case 2: {  // (u.y, u.z) must lie on the ellipse that V.y, V.z trace over theta0
            const Vec3 u = frameApplyPoint(frameMul(L2, turnAboutZ(angle)), w);
            const Vec3 a = targetIn1(0.0), b = targetIn1(M_PI / 2), c = targetIn1(M_PI);
            const double ky = (a.y + c.y) / 2, kz = (a.z + c.z) / 2;
            const double cy = (a.y - c.y) / 2, cz = (a.z - c.z) / 2;
            const double sy = b.y - ky, sz = b.z - kz;
            const double ry = u.y - ky, rz = u.z - kz;
            const double det = cy * sz - sy * cz;
            const double co = (ry * sz - sy * rz) / det;
            const double si = (cy * rz - cz * ry) / det;
            return co * co + si * si - 1.0;
        }
        default:
            return 0.0;
    }
}

// Angles at which the positioning equation holds, by a scan for sign
// changes and bisection (a root where the equation only touches zero is
// missed; such a root is also a near-double one for the closed form).
struct ConicRoots {
    int count = 0;
    bool nearDouble = false;  // two roots whose cosines differ by less than 0.02
};

ConicRoots conicRoots(const Kinematics& e) {
    constexpr int kSteps = 7200;
    std::vector<double> roots;
    double a = -M_PI, ga = conicResidual(e, a);
    for (int i = 1; i <= kSteps; ++i) {
        const double b = -M_PI + 2.0 * M_PI * i / kSteps;
        const double gb = conicResidual(e, b);
        if ((ga < 0) != (gb < 0)) {
            double lo = a, hi = b, glo = ga;
            for (int k = 0; k < 60; ++k) {
                const double mid = 0.5 * (lo + hi);
                const double gm = conicResidual(e, mid);
                if ((gm < 0) == (glo < 0)) {
                    lo = mid;
                    glo = gm;
                } else {
                    hi = mid;
                }
            }
            roots.push_back(0.5 * (lo + hi));
        }
        a = b;
        ga = gb;
    }
    ConicRoots r;
    r.count = static_cast<int>(roots.size());
    for (size_t i = 0; i < roots.size(); ++i) {
        for (size_t j = i + 1; j < roots.size(); ++j) {
            if (std::fabs(std::cos(roots[i]) - std::cos(roots[j])) < 0.02) r.nearDouble = true;
        }
    }
    return r;
}

class SlidingArmRoundTrip : public ::testing::TestWithParam<int> {
protected:
    const SlidingArm arm = slidingArms()[GetParam()];
};

TEST_P(SlidingArmRoundTrip, CandidatesReachTheTargetAndPtpSolutionsReproduceIt) {
    Kinematics e;
    testing::setUp(e, testing::describe(arm));
    ASSERT_EQ(e.arm.armCase, arm.armCase);
    const bool solvable = arm.branch != Branch::BothHeightsFixed &&
                          arm.branch != Branch::ParallelSlides;

    std::mt19937_64 rng(4000 + GetParam());
    int histogram[5] = {};
    int typedBack = 0, regularTargets = 0, nearDouble = 0, regularTypedBack = 0, ptpTargets = 0, ptpSolved = 0, ptpTypedBack = 0, ptpSolutions = 0;
    int ptpHistogram[9] = {};
    double worstReach = 0.0, worstPose = 0.0;
    for (int n = 0; n < kTargets; ++n) {
        SCOPED_TRACE("target " + std::to_string(n));
        const Joints q = testing::randomJoints(arm, rng);
        const Pose target = poseOf(e, q);

        // Position only, with the typed wrist joints.
        SolutionList sols{};
        const int sol =
            e.inverseKinematics(6, target.pos, target.axes, q, sols, kModePositionOnly);
        EXPECT_EQ(branchTaken(e), arm.branch);
        const ArmCandidateList cands = e.ik.arm;
        bool regular = true;
        if (solvesAConic(arm)) {
            const ConicRoots roots = conicRoots(e);
            EXPECT_LE(cands.armCandCount, roots.count);
            regular = !roots.nearDouble && cands.armCandCount == roots.count;
            nearDouble += roots.nearDouble;
        }
        regularTargets += regular;
        ASSERT_GE(cands.armCandCount, 0);
        // Equally tilted slides in case 5 leave a linear equation in d2.
        ASSERT_LE(cands.armCandCount, arm.branch == Branch::EqualTilt ? 1 : kAtMost[arm.armCase]);
        ++histogram[cands.armCandCount];
        bool typed = false;
        int inRange = 0;
        for (int j = 0; j < cands.armCandCount; ++j) {
            const auto& c = cands.armCand[j];
            const Joints full{c[0], c[1], c[2], q[3], q[4], q[5]};
            const double reach = reachError(e, full, target.pos);
            if (regular) {
                EXPECT_LT(reach, kReach) << "candidate " << j;
                worstReach = std::max(worstReach, reach);
            }
            typed = typed || armJointsMatch(arm, c, q);
            inRange += std::fabs(c[0]) <= 10.0 && std::fabs(c[1]) <= 10.0 && std::fabs(c[2]) <= 10.0;
        }
        typedBack += typed;
        regularTypedBack += regular && typed;
        // Every candidate reaches, so the entry keeps exactly those within
        // the joint ranges, with the wrist joints as given.
        if (regular) {
            EXPECT_EQ(sol, inRange);
        }
        for (int k = 0; k < sol; ++k) {
            for (int i = 3; i < 6; ++i) EXPECT_EQ(sols[k][i], q[i]);
        }
        if (solvable && regular) {
            EXPECT_TRUE(typed) << "typed arm joints " << q[0] << " " << q[1] << " " << q[2]
                               << " not among " << cands.armCandCount << " candidates";
        } else if (!solvable) {
            EXPECT_EQ(cands.armCandCount, 0);
        }

        if (n % kPtpEvery != 0) continue;
        // PTP from an unrelated start vector.
        ++ptpTargets;
        const int ptp = e.inverseKinematics(6, target.pos, target.axes, Joints{}, sols, kModePtp);
        ASSERT_GE(ptp, 0);
        ASSERT_LE(ptp, 8);
        ++ptpHistogram[ptp];
        ptpSolved += ptp > 0;
        ptpSolutions += ptp;
        bool ptpTyped = false;
        for (int k = 0; k < ptp; ++k) {
            const double gap = poseGap(e, sols[k], target);
            EXPECT_LT(gap, kPoseTol) << "PTP solution " << k;
            worstPose = std::max(worstPose, gap);
            bool same = true;
            for (int i = 0; i < 6; ++i) {
                same = same && (i < 3 ? jointGap(arm, i, sols[k][i], q[i])
                                      : testing::angleGap(sols[k][i], q[i])) < 1e-4;
            }
            ptpTyped = ptpTyped || same;
        }
        ptpTypedBack += ptpTyped;
        if (!solvable) {
            EXPECT_EQ(ptp, 0);
        }
    }

    std::printf("[%s] case %d: %d targets, candidate counts", arm.name.c_str(), arm.armCase,
                kTargets);
    for (int c = 0; c <= 4; ++c) {
        if (histogram[c] != 0) std::printf(" %dx%d", c, histogram[c]);
    }
    std::printf("; typed arm joints back %d/%d", typedBack, kTargets);
    if (solvesAConic(arm)) {
        std::printf(" (%d/%d where the closed form kept every root; %d targets near a double "
                    "root)",
                    regularTypedBack, regularTargets, nearDouble);
        // Roots lost to the quartic's accuracy must stay the exception.
        EXPECT_GE(regularTargets, kTargets * 6 / 10);
    }
    std::printf("; worst reach %.2g\n", worstReach);
    std::printf("[%s] PTP: %d targets, solved %d, solution counts", arm.name.c_str(), ptpTargets,
                ptpSolved);
    for (int c = 0; c <= 8; ++c) {
        if (ptpHistogram[c] != 0) std::printf(" %dx%d", c, ptpHistogram[c]);
    }
    std::printf("; typed vector back %d/%d; worst pose gap %.2g\n", ptpTypedBack, ptpTargets,
                worstPose);
}

INSTANTIATE_TEST_SUITE_P(Arms, SlidingArmRoundTrip,
                         ::testing::Range(0, static_cast<int>(slidingArms().size())),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = slidingArms()[info.param].name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace kin
