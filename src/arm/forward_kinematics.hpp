#pragma once
//! Forward kinematics: a joint vector to the tool pose in world coordinates.

#include <array>

#include "arm/arm_model.hpp"

namespace kin {

//! Working records of forward kinematics; every call overwrites them.
struct FkData {
    //! Link frame k moved by joint k's displacement.
    std::array<Frame, kMaxJoints> movedFrames{};
    Vec3 fkAxisX;  //!< tool X axis, world coordinates
    Vec3 fkAxisY;
    Vec3 fkAxisZ;  //!< fkAxisX x fkAxisY
};

//! Fills movedFrames[0..n-1]: 'R' turns link frame k about its Z axis by
//! q[k]; any other letter slides it along its X axis.
void moveLinks(const ArmModel& model, FkData& fk, int n, const double* q);
//! A point of joint frame n-1 carried through the moved frames and the base
//! frame to world coordinates.
Vec3 chainPoint(const ArmModel& model, const FkData& fk, const Vec3& p, int n);
//! The same for a direction (no origins added).
Vec3 chainVector(const ArmModel& model, const FkData& fk, const Vec3& v, int n);
//! Tool position and ZYZ Euler angles for joint vector q of n joints
//! (n is clamped to 0..kMaxJoints).
void analys(const ArmModel& model, FkData& fk, int n, const double* q, Vec3& posOut,
            EulerZYZ& eulerOut);

}  // namespace kin
