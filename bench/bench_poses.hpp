#pragma once
//! The fixed, seeded target sets every benchmark runs over, and the one
//! pose-error measure both sides of the comparison are judged by.

#include <string_view>
#include <vector>

#include "ik/kinematics.hpp"

namespace kin::bench {

//! One target: a typed joint vector and the tool pose forward kinematics
//! gives for it.
struct Target {
    Joints typed{};
    Joints nearSeed{};  //!< typed moved by 0.05 in every joint (seeded signs)
    Vec3 pos;           //!< tool position, world coordinates
    Axes axes;          //!< tool axes from the Euler angles, as the console passes them
};

//! Every joint uniform in [-pi, pi]; the second set keeps |sin q4| > 0.1
//! (away from the aligned wrist axes).
enum class SetKind { Uniform = 0, WristAway = 1 };
inline constexpr SetKind kSets[] = {SetKind::Uniform, SetKind::WristAway};
inline constexpr int kSetSize = 500;
//! The batch rows solve the set this many times over in one call, so that
//! starting the threads (tens of microseconds) does not weigh on the
//! throughput measured.
inline constexpr int kBatchRepeats = 4;
inline constexpr double kNearOffset = 0.05;

//! The set, built once on first use from a fixed seed.
const std::vector<Target>& targets(SetKind set);
std::string_view setName(SetKind set);

//! Sets an engine up for the console program's built-in arm.
void setUpBuiltinArm(Kinematics& e);

//! How far the tool pose of q lies from the target: position as Euclidean
//! distance, rotation as the angle between the two orientations (from the
//! Frobenius norm of the difference of the axes, accurate for small angles).
struct PoseGap {
    double position;
    double rotation;
};
PoseGap poseGap(Kinematics& fk, const Target& t, const Joints& q);

//! The success test of both sides: below 1e-9 in position and rotation.
inline constexpr double kSuccessGap = 1e-9;
bool reaches(Kinematics& fk, const Target& t, const Joints& q);
//! Position alone (the position-only solve leaves the orientation free).
bool reachesPosition(Kinematics& fk, const Target& t, const Joints& q);

//! Whether q is the typed vector modulo 2 pi, within 1e-4 per joint.
bool isTyped(const Target& t, const Joints& q);

//! Accuracy over one set, gathered outside the timed loops.
struct Figures {
    int targets = 0;
    int returned = 0;   //!< targets for which the solver reported an answer
    int success = 0;    //!< targets with at least one returned solution that passes
    int typedBack = 0;  //!< targets whose typed vector is among the returned solutions
    long solutions = 0;          //!< solutions returned
    long solutionsPassing = 0;   //!< of those, passing the success test
};

}  // namespace kin::bench
