#include <cmath>

#include "ik/kinematics.hpp"
#include "numeric/euler.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

constexpr double kTolerance = 1e-5;  //!< pose error and change norm that end the search
//! Largest pose error of a result accepted because the arm joints stopped
//! changing. A pass whose change is below kTolerance has converged when
//! its candidates are exact, and then leaves a pose error of a few times
//! 1e-5 (at most 3.9e-5 over 20000 poses of the console arm and 5000 of
//! each sliding-joint test arm; inexact arm candidates near a double root
//! leave up to 3e-4 on one sliding-joint arm). A poor arm candidate can
//! also hold the joints still far from the target (pose errors from 1e-3
//! to above 1): such a result is a failure. The pose error bounds both the
//! distance from the target and the angle to the target orientation, so
//! no accepted result is more than this off.
constexpr double kSettledPoseError = 1e-3;
constexpr int kIterLimit = 100;      //!< the 101st count of iter fails the call
constexpr double kShift = 0.1;       //!< shift after a nudged pass; largest step component
constexpr double kDelta = 0.001;     //!< forward-difference increment; step limit near convergence

//! newtonStep; with basePassDone the caller has just run decompPass at cur
//! into res and diff (status 'Y') and touched no engine record since, so the
//! base pass would repeat it bit for bit: its result and change are copied
//! instead of computed again.
PassStatus newtonStepFrom(Kinematics& e, const Joints& cur, std::array<double, 3>& step,
                          bool basePassDone);

//! The stop tests of a clean pass: the search ends when the pose error is
//! below kTolerance, or when the arm joints stopped changing (change norm
//! below kTolerance), which counts as success only with a pose error below
//! kSettledPoseError. Writes the call's status (r or 'N') when it ends.
bool searchEnds(double poseErr, double changeNorm, PassStatus r, PassStatus& status) {
    if (poseErr < kTolerance) {
        status = r;
        return true;
    }
    if (changeNorm < kTolerance) {
        status = poseErr < kSettledPoseError ? r : 'N';
        return true;
    }
    return false;
}

}  // namespace

//! How far the tool pose of q lies from the target as the caller gave it:
//! the larger of the summed position differences and the summed axis
//! differences, the pose rebuilt through its ZYZ angles.
double Kinematics::poseError(const Joints& q) {
    Vec3 P;
    EulerZYZ E;
    analys(model.DOF, q.data(), P, E);
    const Axes A = eulerToAxes(E);
    const TargetRecord& t = ik.target;
    const double posErr = std::fabs(P.x - t.tgtPosIn.x) + std::fabs(P.y - t.tgtPosIn.y) +
                          std::fabs(P.z - t.tgtPosIn.z);
    double axisErr = 0.0;
    for (int i = 0; i < 3; ++i) {
        axisErr = axisErr + std::fabs(component(A.X, i) - component(t.tgtAxesIn.X, i)) +
                  std::fabs(component(A.Y, i) - component(t.tgtAxesIn.Y, i)) +
                  std::fabs(component(A.Z, i) - component(t.tgtAxesIn.Z, i));
    }
    return posErr < axisErr ? axisErr : posErr;
}

PassStatus Kinematics::cpRefine(const Joints& start, Joints& out) {
    RefineWork& w = ik.refine;
    Joints cur = start;
    ik.workPhi = cur;
    int iter = 0;
    bool halved = false;
    std::array<double, 3> step{};
    double diffNorm = 0.0;

    // A clean pass at cur; shift cur while the passes need nudges.
    for (;;) {
        const PassStatus r = decompPass(cur, w.res, w.diff);
        if (r == 'N') return 'N';
        if (r == 'Y') {
            const double err = poseError(w.res);
            diffNorm = sumAbs3(w.diff);
            if (PassStatus status; searchEnds(err, diffNorm, r, status)) {
                // Written either way: a rejected result stays in out
                // uncounted, like one with a nudged pass.
                out = w.res;
                return status;
            }
        } else {
            for (double& q : cur) q += kShift;
            ik.workPhi = cur;
            if (++iter > kIterLimit) return 'N';
            continue;
        }

        // Newton steps from cur, each reused while it keeps shrinking the change.
        bool passAtCur = true;  // res and diff hold the clean pass at cur just made
        for (;;) {
            const PassStatus s = newtonStepFrom(*this, cur, step, passAtCur);
            passAtCur = false;
            if (s == 'N') return 'N';
            if (s != 'Y') {
                if (++iter > kIterLimit) return 'N';
                cur = w.res;
                ik.workPhi = cur;
                break;  // a new clean pass at cur
            }
            for (;;) {
                Joints trial;
                for (int i = 0; i < 3; ++i) {
                    trial[i] = cur[i] - step[i];
                    if (-piValue > trial[i]) trial[i] += twoPi;
                    if (trial[i] > piValue) trial[i] -= twoPi;
                }
                for (int i = 3; i < 6; ++i) trial[i] = cur[i];
                ik.workPhi = trial;

                const PassStatus r2 = decompPass(trial, w.res2, w.diff2);
                diffNorm = sumAbs3(w.diff);
                const double diff2Norm = sumAbs3(w.diff2);
                if (PassStatus status; searchEnds(poseError(w.res2), diff2Norm, r2, status)) {
                    out = w.res2;
                    return status;
                }
                if (++iter > kIterLimit) return 'N';

                if (diff2Norm < diffNorm) {
                    // The change shrank: accept and try the same step again.
                    for (int i = 0; i < 3; ++i) cur[i] = trial[i];
                    w.res = w.res2;
                    for (int i = 3; i < 6; ++i) cur[i] = w.res2[i];
                    w.diff = w.diff2;
                    diffNorm = diff2Norm;
                    halved = false;
                } else if (!halved) {
                    halved = true;
                    for (double& c : step) c = 0.5 * c;
                } else {
                    halved = false;
                    break;  // a new Jacobian at cur
                }
            }
        }
    }
}

PassStatus Kinematics::newtonStep(const Joints& cur, std::array<double, 3>& step) {
    return newtonStepFrom(*this, cur, step, false);
}

namespace {

PassStatus newtonStepFrom(Kinematics& e, const Joints& cur, std::array<double, 3>& step,
                          bool basePassDone) {
    RefineWork& w = e.ik.refine;
    auto& ik = e.ik;
    if (basePassDone) {
        w.baseRes = w.res;
        w.baseDiff = w.diff;
    } else {
        e.decompPass(cur, w.baseRes, w.baseDiff);  // its status is not examined
    }

    // Forward-difference Jacobian of the change: J[i][j] = d change_i / d q_j.
    double J[3][3];
    PassStatus s = 'Y';
    for (int j = 0; j < 3; ++j) {
        Joints perturbed = cur;
        ik.workPhi = perturbed;
        perturbed[j] = cur[j] + kDelta;
        s = e.decompPass(perturbed, w.pertRes, w.pertDiff);
        if (s != 'Y') return s;
        for (int i = 0; i < 3; ++i) J[i][j] = (w.pertDiff[i] - w.baseDiff[i]) / kDelta;
    }

    // Solve J * step = change by the adjugate.
    const double det = (J[1][1] * J[2][2] - J[1][2] * J[2][1]) * J[0][0] +
                       (J[1][2] * J[2][0] - J[2][2] * J[1][0]) * J[0][1] +
                       (J[1][0] * J[2][1] - J[2][0] * J[1][1]) * J[0][2];
    // A singular or non-finite Jacobian could only produce non-finite steps.
    if (det == 0.0 || !std::isfinite(det)) return 'N';
    const auto& b = w.baseDiff;
    std::array<double, 3> x;
    x[0] = ((J[1][1] * J[2][2] - J[1][2] * J[2][1]) * b[0] +
            (J[0][2] * J[2][1] - J[0][1] * J[2][2]) * b[1] +
            (J[0][1] * J[1][2] - J[0][2] * J[1][1]) * b[2]) / det;
    x[1] = ((J[1][2] * J[2][0] - J[1][0] * J[2][2]) * b[0] +
            (J[0][0] * J[2][2] - J[0][2] * J[2][0]) * b[1] +
            (J[0][2] * J[1][0] - J[1][2] * J[0][0]) * b[2]) / det;
    x[2] = ((J[1][0] * J[2][1] - J[2][0] * J[1][1]) * b[0] +
            (J[0][1] * J[2][0] - J[2][1] * J[0][0]) * b[1] +
            (J[0][0] * J[1][1] - J[0][1] * J[1][0]) * b[2]) / det;
    if (!std::isfinite(x[0]) || !std::isfinite(x[1]) || !std::isfinite(x[2])) return 'N';

    // Limit the step: 0.1 at most, 0.001 at most near convergence.
    double m = maxAbs3(x);
    if (m > kShift) {
        for (double& c : x) c = c * kShift / m;
    }
    m = maxAbs3(x);
    if (sumAbs3(w.pertDiff) < kDelta && m > kDelta) {
        for (double& c : x) c = c * kDelta / m;
    }
    step = x;
    return s;
}

}  // namespace

}  // namespace kin
