#pragma once
//! Arms given as Denavit-Hartenberg tables, turned into the world-frame
//! description every other part of the library reads. The arm-file loader
//! and the test arms both go through here.

#include <array>

#include "arm/arm_model.hpp"

namespace kin {

//! Which of the two common conventions a table follows.
//!  - Standard: row k carries frame k to frame k+1 as
//!    Rz(theta + q) Tz(d) Tx(a) Rx(alpha); joint k moves about (or along)
//!    the z axis of frame k, frame 0 being the table's base.
//!  - Modified: row k carries frame k-1 to frame k as
//!    Rx(alpha) Tx(a) Rz(theta + q) Tz(d); joint k moves about (or along)
//!    the z axis of frame k.
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
    //! The tool frame in the table's last frame (frame 6 of a standard
    //! table, frame 5 of a modified one): axes then origin.
    Frame flange = identityFrame();
    //! The table's base in world coordinates; also the description's base.
    Frame base = identityFrame();
};

//! Writes the six-joint description of the table into out: joint frame k
//! (world, every joint at zero) is the DH frame carrying the joint for a
//! turning joint; a sliding joint's frame has the DH z axis (the slide) as
//! X, -y as Y and x as Z, since ArmModel slides joints along X. The tool
//! entry is the flange frame. Returns 1; returns 0 and writes nothing when
//! a joint letter is neither 'R' nor 'S' or a frame is not finite. Pure
//! function: no state, safe on any thread.
int describeDhArm(const DhTable& table, ArmDescription& out);

}  // namespace kin
