//! Menu 2: a pose made from typed joints, solved for every solution, each
//! shown beside the pose recomputed from it.

#include "driver/session.hpp"

namespace kin::driver {

void Session::ptpTest() {
    console_.print("\n\n関節変位を与えるとワークの位置・姿勢が得られる");
    console_.print("\n  その位置・姿勢を目標値として逆運動学計算する");
    console_.print("\n  初めに与えた関節変位が解になるはずである\n");
    console_.print("\n  main() 逆運動学のための目標６関節変位設定");
    console_.print("\n関節変位（数字のみ入力）\nPHI[0-6](rad or m)=");
    console_.readDoubles(r_.PHI0);
    targetFrom(r_.PHI0);

    console_.print("\nmain() 逆運動学***********************");
    printVec("\n目標位置   GP[]=(%7.4f,%7.4f,%7.4f)", r_.GP);
    console_.print("\n目標Euler角GE[]=(%7.4f,%7.4f,%7.4f)", r_.GE.phi, r_.GE.theta, r_.GE.psi);
    printVec("\n目標姿勢    X[]=(%7.4f,%7.4f,%7.4f)", r_.GO.X);
    printVec("\n目標姿勢    Y[]=(%7.4f,%7.4f,%7.4f)", r_.GO.Y);
    printVec("\n目標姿勢    Z[]=(%7.4f,%7.4f,%7.4f)", r_.GO.Z);
    console_.readKey();

    r_.ikMode = kModePtp;
    r_.fi.fill(0.0);
    console_.print("\n初期Φ[]=");
    console_.readDoubles(r_.fi);
    console_.print("\n繰り返し演算の初期値を全て０とする");

    r_.sol = engine_.inverseKinematics(r_.DOF, r_.GP, r_.GO, r_.fi, r_.PHIF, r_.ikMode);
    console_.print("\n\nPTPの逆運動学　解の数 sol = %d", r_.sol);

    // The count never exceeds the list; the bound only guards the reads.
    const int listed = static_cast<int>(r_.PHIF.size());
    for (r_.k = 0; r_.k < r_.sol && r_.k < listed; ++r_.k) {
        const Joints& q = r_.PHIF[static_cast<std::size_t>(r_.k)];
        console_.print("\n\nk=%d PHIF[]=(%7.4f,%7.4f,%7.4f,%7.4f,%7.4f,%7.4f)", r_.k, q[0], q[1],
                       q[2], q[3], q[4], q[5]);
        poseOf(q);
        printTargetBesidePose();
        console_.print("\n目標Euler角GE[]=(%8.4f, %8.4f, %8.4f)", r_.GE.phi, r_.GE.theta,
                       r_.GE.psi);
        console_.print("\nEuler角    GD[]=(%8.4f, %8.4f, %8.4f)", r_.GD.phi, r_.GD.theta,
                       r_.GD.psi);
        console_.readKey();
    }
}

}  // namespace kin::driver
