#pragma once
//! One kinematics engine per arm: the arm model, its classification
//! constants, the forward-kinematics work frames and the inverse-kinematics
//! working records. Separate engines share nothing and may run on separate
//! threads. No call throws or allocates.

#include <array>
#include <span>
#include <string_view>

#include "arm/arm_model.hpp"
#include "arm/forward_kinematics.hpp"
#include "cases/arm_constants.hpp"
#include "ik/ik_data.hpp"

namespace kin {

//! Where the engine's two messages (a joint count other than 6) go.
class MessageSink {
public:
    //! text is UTF-8.
    virtual void message(const char* text) = 0;

protected:
    ~MessageSink() = default;
};

//! Room for every PTP solution.
using SolutionList = std::array<Joints, 8>;

//! Modes of inverseKinematics.
inline constexpr int kModePositionOnly = 0;
inline constexpr int kModeCp = 1;
inline constexpr int kModePtp = 8;  //!< any value other than 0 and 1

struct Kinematics {
    explicit Kinematics(MessageSink* messages = nullptr) : messages(messages) {}

    // --- Arm set-up and forward kinematics -------------------------------
    //! deriveLinks then classifyArm. Returns what deriveLinks returns.
    int armSetup(int n, std::string_view jtype, const Vec3& basePos, const Axes& baseAxes,
                 std::span<const Vec3> jointPos, std::span<const Axes> jointAxes, Frame& baseOut,
                 std::span<Frame> linksOut);
    //! Sets the arm up from a description of DOF joints.
    int armSetup(int dof, const ArmDescription& d, Frame& baseOut, std::span<Frame> linksOut);
    void analys(int n, const double* q, Vec3& posOut, EulerZYZ& eulerOut) {
        kin::analys(model, fk, n, q, posOut, eulerOut);
    }
    void analys(const Joints& q, Vec3& posOut, EulerZYZ& eulerOut) {
        kin::analys(model, fk, model.DOF, q.data(), posOut, eulerOut);
    }
    int classifyArm() { return kin::classifyArm(model, arm); }

    // --- Inverse kinematics ----------------------------------------------
    //! Solves the tool pose (position, axes in world coordinates) in mode 0
    //! (position only: joints 3..5 from the neighbour, every arm solution
    //! within the joint ranges), 1 (CP: the solution nearest the neighbour,
    //! in entry 0) or any other value (PTP: every solution, up to 8).
    //! Returns the number of solutions written to the front of the list.
    //! A dof other than 6 sends a message and returns 0, touching nothing.
    int inverseKinematics(int dof, const Vec3& pos, const Axes& axes, const Joints& neighbour,
                          SolutionList& solutions, int mode);

    // Stages, public so that each can be exercised on its own.
    int ikCore(const Vec3& pos, const EulerZYZ& euler, const Joints& neighbour,
               SolutionList& solutions, int mode);
    void prepareTarget(const Vec3& pos, const EulerZYZ& euler, const Joints& neighbour);
    void armTransform();
    void wristTransform();
    void solveArmCase();
    void wristSolve();
    PassStatus decompPass(const Joints& start, Joints& result, std::array<double, 3>& change);
    double poseError(const Joints& q);
    double jointDistance(int j, double a, double b) const;
    PassStatus cpRefine(const Joints& start, Joints& out);
    PassStatus newtonStep(const Joints& cur, std::array<double, 3>& step);

    // --- Records -----------------------------------------------------------
    ArmModel model;
    ArmConstants arm;
    FkData fk;
    IkData ik;
    MessageSink* messages = nullptr;
};

//! (|v0| + |v1|) + |v2|.
double sumAbs3(const std::array<double, 3>& v);
//! Largest magnitude of v[0], v[1], v[2]; the first wins a tie.
double maxAbs3(const std::array<double, 3>& v);

}  // namespace kin
