#include <armkin/modes.hpp>

#include "api/model_access.hpp"
#include "numeric/frame.hpp"

namespace armkin {

namespace {

int internalMode(IkMode mode) {
    switch (mode) {
    case IkMode::PositionOnly: return kin::kModePositionOnly;
    case IkMode::Cp: return kin::kModeCp;
    case IkMode::Ptp: return kin::kModePtp;
    }
    return kin::kModePtp;
}

}  // namespace

int inverse(const Model& model, Workspace& ws, const Pose& target, const Joints& neighbour,
            IkMode mode, SolutionSet& out) noexcept {
    out.count = 0;
    if (!model.ready()) return 0;
    Workspace::Impl& w = ModelAccess::bind(model, ws);
    const kin::Frame f = kin::frameOf(target);
    const int n = w.solver.engine.inverseKinematics(6, target.position, {f.X, f.Y, f.Z}, neighbour,
                                                    w.list, internalMode(mode));
    for (int k = 0; k < n; ++k) {
        model.residuals(w.list[k], target, out.solutions[k]);
        out.solutions[k].status = SolutionStatus::Converged;
    }
    out.count = n;
    return n;
}

}  // namespace armkin
