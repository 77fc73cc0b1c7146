//! Menu 3: the solution nearest a typed neighbour, then, on request, a walk
//! along the path in steps of 0.01 per joint, each step solved from the
//! solution before it.

#include "driver/session.hpp"

namespace kin::driver {

double stepPathJoint(double f) {
    f = f + 0.01;
    if (f > piValue) f = f - twoPi;
    if (f < -piValue) f = f + twoPi;
    return f;
}

void Session::cpTest() {
    r_.ikMode = kModeCp;
    console_.print("\n\nmain() 逆運動学ＣＰ目標６関節角設定（コンマなしで）fi[]=");
    console_.readDoubles(r_.fi);
    targetFrom(r_.fi);
    console_.print("\n\nmain() 目標関節角の近傍値設定（コンマなしで）PHI[]=");
    console_.readDoubles(r_.PHI0);

    for (;;) {
        r_.sol = engine_.inverseKinematics(r_.DOF, r_.GP, r_.GO, r_.PHI0, r_.PHIF, r_.ikMode);
        console_.print("\nCPの逆運動学　解の数 sol = %d", r_.sol);

        if (r_.sol == 1) {
            printJoints("\n\n 近傍値PHI0[]=(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.PHI0);
            printJoints("\n\n 設定  PHI[] =(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.fi);
            printJoints("\n 解    PHIF[]=(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.PHIF[0]);
            poseOf(r_.PHIF[0]);
            printTargetBesidePose();
            console_.print("\nEuler角   GD[] =(%8.4f, %8.4f, %8.4f)", r_.GD.phi, r_.GD.theta,
                           r_.GD.psi);
        } else if (r_.sol == 0) {
            console_.print("\n解があるはずなのに出ない？  yes:1  no;0  ");
            r_.answer = console_.readKey();
            if (r_.answer != '0') {
                // Nudge the neighbour and solve the same target again.
                console_.print("\n解であるはずの関節変位");
                printJoints("\n   PHI[] =(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.fi);
                console_.print("\nより近い近傍値");
                for (int i = 0; i < r_.DOF; ++i) r_.PHI0[static_cast<std::size_t>(i)] += 0.01;
                printJoints("\n\n PHI0[]=(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.PHI0);
                continue;
            }
        }

        console_.print("\n微小変位後の位置・姿勢計算続ける？  yes:1  no:0   ");
        r_.answer = console_.readKey();
        if (r_.answer != '1') return;

        // One step along the path: the last solution becomes the neighbour
        // (entry 0 even after a failed solve), every target joint moves by
        // 0.01 and is folded by 2pi once it passes pi or -pi.
        for (int i = 0; i < r_.DOF; ++i) {
            const auto j = static_cast<std::size_t>(i);
            r_.PHI0[j] = r_.PHIF[0][j];
        }
        for (int i = 0; i < r_.DOF; ++i) {
            const auto j = static_cast<std::size_t>(i);
            r_.fi[j] = stepPathJoint(r_.fi[j]);
        }
        targetFrom(r_.fi);
    }
}

}  // namespace kin::driver
