//! Survey of the engine's answers on every test arm: the console program's
//! arm, the sliding-joint test arms and the arms with real industrial
//! geometries. For seeded random joint vectors it solves each vector's pose
//! in PTP mode (from all zeros), CP mode (from a neighbour 0.05 away in
//! every joint) and position-only mode (with the vector's own wrist joints),
//! and judges every answer by forward kinematics computed apart from the
//! engine's inverse kinematics (the plain 4x4 product for the real arms).
//!
//!   armkin_survey [poses per arm]     (default 2000)
//!
//! Columns of the table it prints (markdown):
//!   PTP/pose   PTP solutions per pose
//!   typed      poses whose typed vector is among the PTP solutions (1e-4 per joint)
//!   arm stage  poses whose position-only solutions include the typed arm
//!              joints (1e-4 per joint; the engine accepts a candidate whose
//!              tool point is within 1e-5, which allows joint errors above
//!              1e-6); "-" for arms that reach nothing
//!   1e-6       the same to 1e-6 per joint
//!   CP         poses with a CP answer
//!   wrong      PTP and CP solutions more than 1e-3 off the target (position
//!              distance or rotation angle)
//!   max err    largest pose error (the engine's own measure) of an answer
//!              that is not wrong
//!   min wrong  smallest pose error of a wrong answer
//!   PTP us     mean time of a PTP call in microseconds (machine-dependent)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "arm/builtin_arm.hpp"
#include "numeric/euler.hpp"
#include "fixtures/real_arms.hpp"
#include "fixtures/sliding_arms.hpp"

namespace {

using namespace kin;
using namespace kin::testing;

constexpr double kWrong = 1e-3;
constexpr double kTypedTol = 1e-4;
constexpr double kArmStageTol = 1e-4;
constexpr double kArmStageTight = 1e-6;

struct SurveyArm {
    std::string name;
    ArmDescription desc;
    const RealArm* real = nullptr;      // independent FK when set
    const SlidingArm* sliding = nullptr;  // joint sampling and distances when set
    bool reachable = true;
};

struct Tally {
    int poses = 0, typed = 0, armStage = 0, armStageTight = 0, cp = 0, wrong = 0;
    long ptp = 0;
    double ptpSeconds = 0.0;
    double maxErr = 0.0, minWrong = INFINITY;
};

//! Position distance and rotation angle between two poses (axes as columns).
void gap(const Vec3& p, const Axes& A, const Vec3& tp, const Axes& tA, double& dist,
         double& angle) {
    dist = std::hypot(p.x - tp.x, p.y - tp.y, p.z - tp.z);
    const Vec3* a[3] = {&A.X, &A.Y, &A.Z};
    const Vec3* b[3] = {&tA.X, &tA.Y, &tA.Z};
    double frob = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double dx = a[i]->x - b[i]->x, dy = a[i]->y - b[i]->y, dz = a[i]->z - b[i]->z;
        frob += dx * dx + dy * dy + dz * dz;
    }
    angle = 2.0 * std::asin(std::min(1.0, std::sqrt(frob) / (2.0 * std::sqrt(2.0))));
}

//! Pose of q by forward kinematics apart from the engine under test.
void referencePose(const SurveyArm& arm, Kinematics& fk, const Joints& q, Vec3& p, Axes& A) {
    if (arm.real != nullptr) {
        const Matrix4 T = arm.real->fk(q);
        p = column(T, 3);
        A = {column(T, 0), column(T, 1), column(T, 2)};
        return;
    }
    EulerZYZ E;
    fk.analys(6, q.data(), p, E);
    A = {fk.fk.fkAxisX, fk.fk.fkAxisY, fk.fk.fkAxisZ};
}

double jointGapOf(const SurveyArm& arm, int k, double a, double b) {
    if (arm.sliding != nullptr) return jointGap(*arm.sliding, k, a, b);
    return angleGap(a, b);
}

Tally survey(const SurveyArm& arm, int poses, unsigned seed) {
    Kinematics e, fk;
    setUp(e, arm.desc);
    setUp(fk, arm.desc);
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    std::bernoulli_distribution sign;
    Tally t;
    for (int n = 0; n < poses; ++n) {
        Joints q;
        if (arm.sliding != nullptr) {
            q = randomJoints(*arm.sliding, rng);
        } else {
            for (double& v : q) v = angle(rng);
        }
        Joints near = q;
        for (double& v : near) v += sign(rng) ? 0.05 : -0.05;
        Vec3 tp;
        Axes tA;
        referencePose(arm, fk, q, tp, tA);
        ++t.poses;

        auto judge = [&](const Joints& s) {
            Vec3 p;
            Axes A;
            referencePose(arm, fk, s, p, A);
            double dist, ang;
            gap(p, A, tp, tA, dist, ang);
            const double own = e.poseError(s);
            if (dist > kWrong || ang > kWrong) {
                ++t.wrong;
                t.minWrong = std::min(t.minWrong, own);
            } else {
                t.maxErr = std::max(t.maxErr, own);
            }
        };

        SolutionList sols{};
        const auto t0 = std::chrono::steady_clock::now();
        const int ptp = e.inverseKinematics(6, tp, tA, Joints{}, sols, kModePtp);
        t.ptpSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        t.ptp += ptp;
        bool typed = false;
        for (int k = 0; k < ptp; ++k) {
            judge(sols[k]);
            bool same = true;
            for (int i = 0; i < 6; ++i) {
                same = same && (i < 3 ? jointGapOf(arm, i, sols[k][i], q[i])
                                      : angleGap(sols[k][i], q[i])) < kTypedTol;
            }
            typed = typed || same;
        }
        t.typed += typed;

        if (e.inverseKinematics(6, tp, tA, near, sols, kModeCp) == 1) {
            ++t.cp;
            judge(sols[0]);
        }

        const int pos = e.inverseKinematics(6, tp, tA, q, sols, kModePositionOnly);
        auto armJointsBack = [&](double tol) {
            for (int k = 0; k < pos; ++k) {
                bool same = true;
                for (int i = 0; i < 3; ++i) same = same && jointGapOf(arm, i, sols[k][i], q[i]) < tol;
                if (same) return true;
            }
            return false;
        };
        t.armStage += armJointsBack(kArmStageTol);
        t.armStageTight += armJointsBack(kArmStageTight);
    }
    return t;
}

double percent(int part, int whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; }

}  // namespace

int main(int argc, char** argv) {
    const int poses = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (poses < 1) {
        std::fprintf(stderr, "usage: %s [poses per arm]\n", argv[0]);
        return 2;
    }
    const std::vector<RealArm> reals = realArms();
    const std::vector<SlidingArm> slides = slidingArms();
    std::vector<SurveyArm> arms;
    arms.push_back({"console arm (upright, wrist centre at 3.0)", kin::builtinArm()});
    for (const RealArm& r : reals) arms.push_back({r.name, r.desc, &r});
    for (const SlidingArm& s : slides) {
        const bool reachable = s.branch != Branch::BothHeightsFixed && s.branch != Branch::ParallelSlides;
        arms.push_back({s.name, describe(s), nullptr, &s, reachable});
    }

    std::printf("%d poses per arm\n\n", poses);
    std::printf("| arm | PTP/pose | typed | arm stage | 1e-6 | CP | wrong | max err | min wrong | PTP us |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    unsigned seed = 1;
    for (const SurveyArm& arm : arms) {
        const Tally t = survey(arm, poses, 9100 + seed++);
        char stage[32] = "-", tight[32] = "-";
        if (arm.reachable) {
            std::snprintf(stage, sizeof stage, "%.2f %%", percent(t.armStage, t.poses));
            std::snprintf(tight, sizeof tight, "%.2f %%", percent(t.armStageTight, t.poses));
        }
        char minWrong[32] = "-";
        if (t.wrong > 0) std::snprintf(minWrong, sizeof minWrong, "%.2g", t.minWrong);
        std::printf("| %s | %.2f | %.2f %% | %s | %s | %.2f %% | %d | %.2g | %s | %.0f |\n",
                    arm.name.c_str(), static_cast<double>(t.ptp) / t.poses, percent(t.typed, t.poses),
                    stage, tight, percent(t.cp, t.poses), t.wrong, t.maxErr, minWrong,
                    1e6 * t.ptpSeconds / t.poses);
        std::fflush(stdout);
    }
    return 0;
}
