#pragma once
//! Arms given as Denavit-Hartenberg tables, turned into the world-frame
//! description every other part of the library reads.

#include <array>

#include "arm/arm_model.hpp"

namespace kin {

//! Which of the two common conventions a table follows.
//!  - Standard: T_i = Rz(theta_i) Tz(d_i) Tx(a_i) Rx(alpha_i); joint i moves
//!    about (or along) the Z axis of frame i-1.
//!  - Modified: T_i = Rx(alpha_i) Tx(a_i) Rz(theta_i) Tz(d_i); joint i moves
//!    about (or along) the Z axis of frame i.
enum class DhConvention { Standard, Modified };

//! One row. For a turning joint theta = offset + q and d is fixed; for a
//! sliding joint d = d + q and theta = offset is fixed.
struct DhRow {
    double a = 0.0;
    double alpha = 0.0;
    double d = 0.0;
    double offset = 0.0;
    char type = 'R';  //!< 'R' turning, 'S' sliding
};

struct DhTable {
    DhConvention convention = DhConvention::Standard;
    std::array<DhRow, kMaxJoints> rows{};
    //! The tool frame in the last DH frame (frame 6): axes then origin.
    Frame flange = identityFrame();
    //! The base of the table (frame 0) in world coordinates.
    Frame base = identityFrame();
};

//! Writes the six-joint description of the table into out: joint frame k
//! (world, every joint at zero) has its Z axis on a turning joint's axis and
//! its X axis along a sliding joint's direction, as ArmModel requires; the
//! tool entry is the flange frame. Returns 1; returns 0 and writes nothing
//! when a joint letter is neither 'R' nor 'S' or a value is not finite.
//! Pure function: no state, safe on any thread.
int describeDhArm(const DhTable& table, ArmDescription& out);

}  // namespace kin
