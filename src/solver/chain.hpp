#pragma once
//! The solver's own kinematic chain: every joint frame in world
//! coordinates for a joint vector, the pose error against a target and the
//! analytic Jacobian. Internal to solver/.

#include <array>
#include <cmath>

#include "numeric/arctan.hpp"
#include "numeric/round.hpp"
#include "solver/solver.hpp"

namespace kin::solver {

//! A whole turn, to full double precision (the solver's; the console's
//! engine keeps its own 15-digit value).
inline constexpr double kFullTurn = 2.0 * M_PI;

//! Whole turns nearest d, times kFullTurn: added to a turning joint's
//! value v with d = reference - v, it gives v's copy nearest the reference.
//! Below half a turn (the usual case) the count is zero and the division
//! is left out; the signed zero returned is the one the full formula gives.
inline double turnsShift(double d) {
    if (std::fabs(d) < 3.0) return std::copysign(0.0, d);
    return kFullTurn * nearestInteger(d / kFullTurn);
}

//! Frame F followed by joint motion q of the given letter: a turn about F's
//! Z axis ('R') or a slide along its X axis.
void moveJoint(Frame& F, char type, double q);
//! F turned about its Z axis by the angle whose cosine and sine are t.
inline void turnFrame(Frame& F, const JointTrig& t) {
    const double c = t.c;
    const double s = t.s;
    const Vec3 X = F.X;
    F.X = {c * X.x + s * F.Y.x, c * X.y + s * F.Y.y, c * X.z + s * F.Y.z};
    F.Y = {c * F.Y.x - s * X.x, c * F.Y.y - s * X.y, c * F.Y.z - s * X.z};
}

//! std::remainder(x, kFullTurn) to the bit: x less the nearest whole turns,
//! in [-pi, pi]. Without the call below 9 in magnitude (one turn at most:
//! the difference is exact there, as the remainder always is).
inline double wrapTurn(double x) {
    const double a = std::fabs(x);
    if (a <= M_PI) return x;
    if (a < 9.0) {
        const double r = x - std::copysign(kFullTurn, x);
        return r == 0.0 ? std::copysign(0.0, x) : r;
    }
    return std::remainder(x, kFullTurn);
}

//! How far apart two values of one joint are: modulo a whole turn for a
//! turning joint ('R').
double jointGap(char type, double a, double b);

//! Joint frames after each joint's motion, world coordinates, and the tool.
struct ChainPose {
    std::array<Frame, 6> joint{};
    Vec3 toolPos{};
    Axes toolAxes{};
};

//! Fills c for joint vector q (the polish's chain: std::cos and std::sin).
void chainPose(const SolverModel& m, const Joints& q, ChainPose& c);

//! The same from the library's forward kinematics: moves the links into fk
//! (fk.movedFrames), then forms the world frames from them without any
//! further trigonometry. Also writes the reported residuals against target
//! (position distance, rotation angle), measured by the library's chain
//! (chainPoint, chainVector) on the same moved frames.
void chainPoseFk(const SolverModel& m, FkData& fk, const Joints& q, const Frame& target,
                 ChainPose& c, double& positionError, double& rotationError);

//! The closed-form candidates' check: fills c.joint[from..5] and the tool
//! for joint vector q whose turns are t (c.joint[0..from-1] must already
//! hold the frames of the same q and t). Each frame is the one before times
//! the link frame, then the joint's motion; before, when given, is that
//! product for joint from, already formed.
void chainPose(const SolverModel& m, const Joints& q, const ChainTrig& t, ChainPose& c, int from,
               const Frame* before = nullptr);

//! The reported residuals of the tool held in c against target: position
//! distance and rotation angle (accurate at small angles, and measuring the
//! distance to a target rotation that is not quite one).
void toolResiduals(const ChainPose& c, const Frame& target, double& positionError, double& rotationError);

//! The tool pose of q, world coordinates (public forward kinematics): the
//! tool point and axes carried through each link frame moved by its joint,
//! from the last joint to the base, with the six sines and cosines formed
//! first (the console's analys takes the same path through frames it moves
//! first).
Frame toolFrame(const SolverModel& m, const Joints& q);
//! Each link frame moved by its joint (public Model::frames).
void movedLinks(const SolverModel& m, const Joints& q, std::array<Frame, 6>& moved);

//! Frame after joints 0..2 have moved (joint frame 2), world coordinates.
Frame armFrame(const SolverModel& m, double q0, double q1, double q2);

//! The six-vector that the polish drives to zero: the position difference
//! target - tool and the small rotation that carries the tool axes onto the
//! target axes (half the sum of the cross products of matching axes).
using Twist = std::array<double, 6>;
Twist poseTwist(const ChainPose& c, const Frame& target);

//! Residuals as the results report them, from the library's forward
//! kinematics: position distance and rotation angle (accurate at small
//! angles). fk is scratch.
void poseResiduals(const SolverModel& m, FkData& fk, const Joints& q, const Frame& target,
                   double& positionError, double& rotationError);

//! The same for the tool pose already held in fk.movedFrames.
void residualsFromFk(const SolverModel& m, const FkData& fk, const Frame& target,
                     double& positionError, double& rotationError);

//! Columns of the Jacobian of the tool pose (linear velocity of the tool
//! point, angular velocity) with respect to each joint.
using Jacobian = std::array<std::array<double, 6>, 6>;  //!< [joint][row]
void jacobian(const SolverModel& m, const ChainPose& c, Jacobian& J);

//! |det J| / product of column norms, in [0, 1]: 0 on a singularity.
double volumeRatio(const Jacobian& J);

//! Whether the pose held in c is singular: volumeRatio of its Jacobian
//! below tolerance (singular.cpp; the closed-form families settle most
//! poses from two 3x3 determinants first).
bool singularAt(const SolverModel& m, const ChainPose& c, double tolerance);

//! The rotation part of a frame product and its pieces.
Axes mulAxes(const Axes& A, const Axes& B);
Axes transposeAxes(const Axes& A);
Vec3 applyAxes(const Axes& A, const Vec3& v);
Axes rotZAxes(double t);

//! a*cos t + b*sin t = c. Writes up to two angles and returns how many.
//! A line that misses the circle by less than `slack` (relative to
//! sqrt(a^2 + b^2)) is taken as touching it: one root, returned once.
//! Returns -1 when a and b both vanish (every angle or none).
int solveCosSin(double a, double b, double c, double slack, std::array<double, 2>& t);
//! The same, also writing the cosine and sine of each root, formed from
//! a / r, b / r, c / r and sqrt(1 - (c / r)^2) rather than from the angle.
int solveCosSin(double a, double b, double c, double slack, std::array<double, 2>& t,
                std::array<JointTrig, 2>& cs);
//! The same for an equation whose a and b are fixed (e, from
//! cosSinEquation): the same roots, without forming r and phi again.
int solveCosSin(const CosSinEquation& e, double c, double slack, std::array<double, 2>& t,
                std::array<JointTrig, 2>& cs);
CosSinEquation cosSinEquation(double a, double b);

//! The turn about Z that carries the xy-part of u onto that of v; false
//! when either is within tiny of the axis.
bool planarTurn(const Vec3& u, const Vec3& v, double tiny, double& angle);
//! The same, also writing the turn's cosine and sine (the dot and cross
//! products over their length). Inline: the closed forms call it per root.
inline bool planarTurn(const Vec3& u, const Vec3& v, double tiny, double& angle, JointTrig& cs) {
    const double nu2 = u.x * u.x + u.y * u.y;
    const double nv2 = v.x * v.x + v.y * v.y;
    if (!(nu2 > tiny * tiny) || !(nv2 > tiny * tiny)) return false;
    const double cross = u.x * v.y - u.y * v.x;
    const double dot = u.x * v.x + u.y * v.y;
    angle = arcTan2(cross, dot);
    const double inv = 1.0 / std::sqrt(dot * dot + cross * cross);
    cs = {dot * inv, cross * inv};
    return true;
}

}  // namespace kin::solver
