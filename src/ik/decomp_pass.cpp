#include <cmath>

#include "ik/kinematics.hpp"
#include "numeric/euler.hpp"
#include "numeric/frame.hpp"

namespace kin {

namespace {

constexpr double kNudge = 0.02;    //!< added to a joint when a solve finds nothing
constexpr int kNudgeLimit = 20;    //!< nudges per solve before the pass gives up

}  // namespace

double Kinematics::jointDistance(int j, double a, double b) const {
    double d = std::fabs(a - b);
    if (arm.ikJtype[static_cast<std::size_t>(j) & 7u] == 'R') {
        double w = std::fabs((a - b) + twoPi);
        if (w < d) d = w;
        w = std::fabs((a - b) - twoPi);
        if (w < d) d = w;
    }
    return d;
}

double sumAbs3(const std::array<double, 3>& v) {
    return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]);
}

double maxAbs3(const std::array<double, 3>& v) {
    double m = std::fabs(v[0]);
    if (std::fabs(v[1]) > m) m = std::fabs(v[1]);
    if (std::fabs(v[2]) > m) m = std::fabs(v[2]);
    return m;
}

PassStatus Kinematics::decompPass(const Joints& start, Joints& result, std::array<double, 3>& change) {
    Joints& phi = ik.workPhi;
    Joints& record = ik.refine.passRecord;
    phi = start;
    record = start;
    PassStatus status = 'Y';

    // Wrist joints for the orientation, with the start's arm joints; nudge
    // the arm joints while no wrist solution exists.
    armTransform();
    wristSolve();
    for (int tries = 1; ik.wrist.wristCandCount == 0; ++tries) {
        status = 'O';
        if (tries > kNudgeLimit) {
            result = start;
            return 'N';
        }
        for (int i = 0; i < 3; ++i) {
            phi[i] += kNudge;
            record[i] = phi[i];
            if (arm.ikJtype[i] == 'R' && twoPi < phi[i]) {
                phi[i] -= twoPi;
                record[i] = phi[i];
            }
        }
        armTransform();
        wristSolve();
    }

    // The wrist candidate nearest the start record (ties keep the earlier).
    const auto& wc = ik.wrist.wristCand;
    auto wristDist = [&](int k) {
        return jointDistance(3, wc[k][0], record[3]) + jointDistance(4, wc[k][1], record[4]) +
               jointDistance(5, wc[k][2], record[5]);
    };
    int best = 0;
    double bestDist = wristDist(0);
    for (int k = 1; k < ik.wrist.wristCandCount; ++k) {
        const double d = wristDist(k);
        if (d < bestDist) {
            best = k;
            bestDist = d;
        }
    }
    for (int i = 0; i < 3; ++i) {
        phi[3 + i] = wc[best][i];
        result[3 + i] = wc[best][i];
    }

    // Arm joints for the position, with that wrist; nudge the wrist joints
    // while no arm solution exists.
    wristTransform();
    solveArmCase();
    for (int tries = 1; ik.arm.armCandCount == 0; ++tries) {
        status = 'P';
        if (tries > kNudgeLimit) {
            result = record;
            return 'N';
        }
        for (int i = 3; i < 6; ++i) {
            phi[i] += kNudge;
            record[i] = phi[i];
            result[i] = phi[i];
            if (phi[i] > piValue) {
                phi[i] -= twoPi;
                result[i] = phi[i];
            }
        }
        wristTransform();
        solveArmCase();
    }

    const auto& ac = ik.arm.armCand;
    auto armDist = [&](int k) {
        return jointDistance(0, ac[k][0], record[0]) + jointDistance(1, ac[k][1], record[1]) +
               jointDistance(2, ac[k][2], record[2]);
    };
    best = 0;
    bestDist = armDist(0);
    for (int k = 1; k < ik.arm.armCandCount; ++k) {
        const double d = armDist(k);
        if (d < bestDist) {
            best = k;
            bestDist = d;
        }
    }
    for (int i = 0; i < 3; ++i) {
        result[i] = ac[best][i];
        change[i] = result[i] - record[i];
        if (arm.ikJtype[i] == 'R') {
            if (change[i] > piValue) change[i] -= twoPi;
            if (-piValue > change[i]) change[i] += twoPi;
        }
    }
    return status;
}

}  // namespace kin
