//! Arms whose joints 0..2 all slide: they do not turn the wrist, so the
//! wrist's three turning joints alone give the tool its rotation (up to two
//! ways); each way then leaves the slides a linear problem, which the
//! polish settles in one step.

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

bool slidingArmCandidates(Solve& s) {
    const SolverModel& m = s.model;
    const Frame F2 = armFrame(m, 0.0, 0.0, 0.0);
    Axes R5;
    Vec3 O5;
    flangeOf(m, s.target, R5, O5);
    const int before = s.ws.candidates.count;
    appendWrist(m, s.ws, s.options.seed, {F2.X, F2.Y, F2.Z}, R5, s.options);
    return s.ws.candidates.count > before;
}

}  // namespace kin::solver
