#pragma once
//! The one status vocabulary of the library: every call that can fail
//! reports a Status (directly, or as the `status` of the result it writes),
//! and every Status has a machine name and an English description.

namespace armkin {

//! How a call went. Ok is the only success.
enum class Status : unsigned char {
    Ok,             //!< done; for a solve: at least one solution
    NoArm,          //!< the engine has no arm set up
    InvalidInput,   //!< a target, seed, option or buffer the call cannot use
    OutOfReach,     //!< no candidate exists: the pose is beyond the arm
    NotConverged,   //!< candidates existed, none met the tolerances
    OutsideLimits,  //!< solutions existed, every one outside the joint limits
    InvalidArm,     //!< an arm description that fails validation
    FileError,      //!< an arm file that cannot be read or understood
};

//! A stable machine name: "ok", "no_arm", "invalid_input", "out_of_reach",
//! "not_converged", "outside_limits", "invalid_arm", "file_error". Never
//! null. Thread-safe.
const char* name(Status status) noexcept;

//! A one-line English description, e.g. "the pose is beyond the arm's
//! reach". Never null. Thread-safe.
const char* describe(Status status) noexcept;

}  // namespace armkin
