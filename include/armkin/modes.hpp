#pragma once
//! The console program's own inverse-kinematics modes, kept bit for bit:
//! PTP (every solution the decomposition finds), CP (the one nearest a
//! neighbour) and position only. For every branch to machine precision use
//! solve (armkin/model.hpp) instead.

#include <array>

#include "armkin/engine.hpp"
#include "armkin/model.hpp"
#include "armkin/solve_result.hpp"

namespace armkin {

//! Modes of inverse.
enum class IkMode {
    //! Joints 0..2 for the tool position, joints 3..5 kept at the neighbour's
    //! values: every distinct arm solution that reaches the position (within
    //! 1e-5, summed over x, y, z) and lies in the joint ranges.
    PositionOnly,
    //! The one solution nearest the neighbour, by a Newton iteration that
    //! starts there: for tracking a path in small steps.
    Cp,
    //! Every solution the decomposition finds, up to eight, each polished
    //! by the same iteration.
    Ptp,
};

//! Room for every solution of one pose.
struct SolutionSet {
    static constexpr int capacity = 8;
    std::array<Solution, capacity> solutions{};
    int count = 0;  //!< solutions[0 .. count-1] are meaningful
};

//! Solves a tool pose in the given mode. The neighbour is the start of the
//! search (Cp), the first guess of the wrist joints (Ptp) or the source of
//! joints 3..5 (PositionOnly). Writes out.count solutions (status
//! Converged, residuals by forward kinematics) to the front of out, and
//! ws; returns the count: 0 when there is none or no arm is set up. The
//! rotation is read through its ZYZ angles, so it should be orthonormal.
int inverse(const Model& model, Workspace& ws, const Pose& target, const Joints& neighbour,
            IkMode mode, SolutionSet& out) noexcept;

//! The same on an Engine's model and workspace.
inline int inverse(Engine& engine, const Pose& target, const Joints& neighbour, IkMode mode,
                   SolutionSet& out) noexcept {
    return inverse(engine.model(), engine.workspace(), target, neighbour, mode, out);
}

}  // namespace armkin
