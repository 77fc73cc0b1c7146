#pragma once
//! The arm the console program is built for: six turning joints standing
//! straight up along world Z.

#include "arm/arm_model.hpp"

namespace kin {

//! Writes the built-in arm's base, joint and tool entries into d (the
//! letters in d.JTYPE are left alone): every axis is cleared first, then the
//! base at the origin with identity axes, joint origins at heights 0, 1.1,
//! 2.0, 3.0, 3.0, 3.0 and the tool point at 3.2.
void writeBuiltinArm(ArmDescription& d);

//! The whole built-in description, JTYPE "RRRRRR" included.
ArmDescription builtinArm();

}  // namespace kin
