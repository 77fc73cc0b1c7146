//! Menu 4: the arm joints solved for a tool position with the wrist joints
//! held at typed values; each solution shown with its recomputed position.

#include "driver/session.hpp"

#include <span>

namespace kin::driver {

void Session::positionTest() {
    r_.ikMode = kModePositionOnly;
    setUpArm();

    const std::span<double> fi(r_.fi);
    console_.print("\n\nmain() 位置逆運動学目標３関節角設定（コンマなしで）\nfi[]=");
    console_.readDoubles(fi.first(3));
    for (double& f : fi.subspan(3)) f = 2.05;  // wrist defaults
    console_.print("\n       後の３関節角設定（コンマなしで）\nfi[]=");
    console_.readDoubles(fi.subspan(3));

    targetFrom(r_.fi);
    console_.print("\n目標位置     GP[]=(%7.4f %7.4f %7.4f)", r_.GP.x, r_.GP.y, r_.GP.z);
    console_.print("\nあるべき姿勢 GE[]=(%7.4f %7.4f %7.4f)", r_.GE.phi, r_.GE.theta, r_.GE.psi);
    console_.readKey();

    // The wrist joints come from the target; the arm joints of the
    // neighbour stay as an earlier test left them.
    for (std::size_t i = 3; i < 6; ++i) r_.PHI0[i] = r_.fi[i];
    r_.sol = engine_.inverseKinematics(r_.DOF, r_.GP, r_.GO, r_.PHI0, r_.PHIF, r_.ikMode);
    printJoints("\nPHI0[]   =(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.PHI0);
    console_.print("\n\n位置のみの逆運動学　解の数 sol = %d", r_.sol);

    // The count never exceeds the list; the bound only guards the reads.
    const int listed = static_cast<int>(r_.PHIF.size());
    for (r_.k = 0; r_.k < r_.sol && r_.k < listed; ++r_.k) {
        const Joints& q = r_.PHIF[static_cast<std::size_t>(r_.k)];
        console_.print("\n\nk=%d PHIF[]=(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.k, q[0], q[1],
                       q[2], q[3], q[4], q[5]);
        engine_.analys(r_.DOF, q.data(), r_.GW, r_.GD);
        printVec("\n目標位置  GP[] =(%8.4f, %8.4f, %8.4f)", r_.GP);
        printVec("\n計算位置  GW[] =(%8.4f, %8.4f, %8.4f)\n", r_.GW);
        console_.readKey();
    }
}

}  // namespace kin::driver
