#pragma once
//! The console dialogue: start-up, the one-key menu and the four test modes.

#include <array>

#include "arm/arm_model.hpp"
#include "driver/console/console.hpp"
#include "ik/kinematics.hpp"

namespace kin::driver {

//! The records the test modes share with forward and inverse kinematics.
//! They keep their contents from one test to the next; all start at zero.
struct DriverRecords {
    int DOF = 0;
    int k = 0;       //!< menu key; index of the per-solution and per-joint loops
    int answer = 0;  //!< key given to a yes/no question
    Joints PHI0{};   //!< typed joint vector; neighbour vector of CP and position-only
    Joints fi{};     //!< target joints of CP and position-only; start vector of PTP
    Vec3 GP;         //!< target position
    EulerZYZ GE;     //!< target orientation
    Axes GO;         //!< target axes GO0, GO1, GO2 (X, Y, Z)
    int ikMode = 0;
    SolutionList PHIF{};
    int sol = 0;
    Vec3 GW;  //!< position recomputed from a solution
    EulerZYZ GD;
    Axes EW;  //!< EWX, EWY, EWZ
    ArmDescription arm;
    Frame baseFrame{};
    std::array<Frame, kMaxJoints + 1> armLinkOut{};
};

class Session {
public:
    //! A session on the built-in arm, or on *arm when arm is not null (the
    //! description is copied).
    explicit Session(Console& console, const ArmDescription* arm = nullptr)
        : console_(console), engine_(&console), customArm_(arm != nullptr) {
        if (arm != nullptr) r_.arm = *arm;
    }

    //! Start-up: describe the arm, print JTYPE, set the arm up.
    void startUp();
    //! The menu until the key 0. Throws EndOfInput when the input ends.
    void menuLoop();

    void forwardTest();
    void ptpTest();
    void cpTest();
    void positionTest();

private:
    void setUpArm();
    //! GP, GE and GO from the joint vector q.
    void targetFrom(const Joints& q);
    //! GW, GD and EW from the joint vector q.
    void poseOf(const Joints& q);
    void printVec(const char* fmt, const Vec3& v);
    //! Target position and axes beside those of the last poseOf, line by line.
    void printTargetBesidePose();
    void printJoints(const char* fmt, const Joints& q);

    Console& console_;
    Kinematics engine_;
    bool customArm_;
    DriverRecords r_;
};

//! One step of the CP path walk for one target joint, whatever its type:
//! f + 0.01, then above pi take 2pi off, then below -pi add 2pi (strict
//! comparisons; pi is piValue, 2pi is 2.0 * piValue).
double stepPathJoint(double f);

//! The whole program: start-up and menu until the key 0 or the end of the
//! input, on the built-in arm or on *arm. Returns the exit status, 0.
int runSession(Console& console, const ArmDescription* arm = nullptr);

}  // namespace kin::driver
