#include <armkin/solve_result.hpp>
#include <armkin/status.hpp>

namespace armkin {

const char* name(Status status) noexcept {
    switch (status) {
    case Status::Ok: return "ok";
    case Status::NoArm: return "no_arm";
    case Status::InvalidInput: return "invalid_input";
    case Status::OutOfReach: return "out_of_reach";
    case Status::NotConverged: return "not_converged";
    case Status::OutsideLimits: return "outside_limits";
    case Status::InvalidArm: return "invalid_arm";
    case Status::FileError: return "file_error";
    }
    return "unknown";
}

const char* describe(Status status) noexcept {
    switch (status) {
    case Status::Ok: return "done";
    case Status::NoArm: return "no arm has been set up";
    case Status::InvalidInput: return "the input cannot be used";
    case Status::OutOfReach: return "the pose is beyond the arm's reach";
    case Status::NotConverged: return "no candidate met the tolerances";
    case Status::OutsideLimits: return "every solution lies outside the joint limits";
    case Status::InvalidArm: return "the arm description is not valid";
    case Status::FileError: return "the arm file cannot be read or understood";
    }
    return "unknown status";
}

const char* name(SolutionStatus status) noexcept {
    switch (status) {
    case SolutionStatus::Exact: return "exact";
    case SolutionStatus::Converged: return "converged";
    case SolutionStatus::Singular: return "singular";
    }
    return "unknown";
}

const char* describe(const SolveResult& result) noexcept {
    return result.reason != nullptr && result.reason[0] != '\0' ? result.reason : describe(result.status);
}

}  // namespace armkin
