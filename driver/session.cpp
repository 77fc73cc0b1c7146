#include "driver/session.hpp"

#include <memory>

#include "arm/builtin_arm.hpp"
#include "numeric/euler.hpp"

namespace kin::driver {

void Session::startUp() {
    r_.DOF = 6;
    if (!customArm_) {
        for (int i = 0; i < r_.DOF; ++i) r_.arm.JTYPE[i] = 'R';
    }
    console_.print("\nJTYPE=%s", r_.arm.JTYPE.data());
    if (!customArm_) writeBuiltinArm(r_.arm);
    setUpArm();
}

void Session::setUpArm() { engine_.armSetup(r_.DOF, r_.arm, r_.baseFrame, r_.armLinkOut); }

void Session::menuLoop() {
    for (;;) {
        console_.print("\n順運動学  ：1　PTP逆運動学       ：2");
        console_.print("\nCP逆運動学：3　位置の逆運動学のみ：4");
        console_.print("\n終わり    ：0");
        console_.print("\nどれを選ぶ？   ");
        r_.k = console_.readKey();
        switch (r_.k) {
            case '0':
                return;
            case '2':
                ptpTest();
                break;
            case '3':
                cpTest();
                break;
            case '4':
                positionTest();
                break;
            default:
                forwardTest();
                break;
        }
    }
}

void Session::targetFrom(const Joints& q) {
    engine_.analys(r_.DOF, q.data(), r_.GP, r_.GE);
    r_.GO = eulerToAxes(r_.GE);
}

void Session::poseOf(const Joints& q) {
    engine_.analys(r_.DOF, q.data(), r_.GW, r_.GD);
    r_.EW = eulerToAxes(r_.GD);
}

void Session::printVec(const char* fmt, const Vec3& v) { console_.print(fmt, v.x, v.y, v.z); }

void Session::printTargetBesidePose() {
    printVec("\n目標位置  GP[] =(%8.4f, %8.4f, %8.4f)", r_.GP);
    printVec("\n計算位置  GW[] =(%8.4f, %8.4f, %8.4f)\n", r_.GW);
    printVec("\n目標姿勢X GOX[]=(%8.4f, %8.4f, %8.4f)", r_.GO.X);
    printVec("\n計算姿勢X EWX[]=(%8.4f, %8.4f, %8.4f)\n", r_.EW.X);
    printVec("\n        Y GOY[]=(%8.4f, %8.4f, %8.4f)", r_.GO.Y);
    printVec("\n        Y EWY[]=(%8.4f, %8.4f, %8.4f)\n", r_.EW.Y);
    printVec("\n        Z GOZ[]=(%8.4f, %8.4f, %8.4f)", r_.GO.Z);
    printVec("\n        Z EWZ[]=(%8.4f, %8.4f, %8.4f)\n", r_.EW.Z);
}

void Session::printJoints(const char* fmt, const Joints& q) {
    console_.print(fmt, q[0], q[1], q[2], q[3], q[4], q[5]);
}

int runSession(Console& console, const ArmDescription* arm) {
    // The engine and the records live on the heap: a fuzzer or a test may
    // run many sessions on a small stack.
    auto session = std::make_unique<Session>(console, arm);
    try {
        session->startUp();
        session->menuLoop();
    } catch (const EndOfInput&) {
        // The input has ended: nothing more can be asked, so the program
        // ends quietly, as after the key 0.
    }
    return 0;
}

}  // namespace kin::driver
