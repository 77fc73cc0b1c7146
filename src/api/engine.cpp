#include <armkin/engine.hpp>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "ik/engine.hpp"
#include "solver/solver.hpp"
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

Vec3 column(const Rotation& R, int c) { return {R[0][c], R[1][c], R[2][c]}; }

Frame frameOf(const Pose& p) {
    return {column(p.rotation, 0), column(p.rotation, 1), column(p.rotation, 2), p.position};
}

}  // namespace

struct Engine::Impl {
    kin::Engine engine;
    ArmDescription arm{};
    bool ready = false;
    kin::SolutionList list{};
    kin::SolverModel solverModel;
    kin::SolverWorkspace solverWork;

    void forward(const Joints& q, Pose& out) {
        EulerZYZ euler;
        engine.analys(q, out.position, euler);
        const Vec3* axes[3] = {&engine.fk.fkAxisX, &engine.fk.fkAxisY, &engine.fk.fkAxisZ};
        for (int c = 0; c < 3; ++c) {
            out.rotation[0][c] = axes[c]->x;
            out.rotation[1][c] = axes[c]->y;
            out.rotation[2][c] = axes[c]->z;
        }
    }

    void residuals(const Joints& q, const Pose& target, Solution& out) {
        Pose p;
        forward(q, p);
        const double dx = p.position.x - target.position.x;
        const double dy = p.position.y - target.position.y;
        const double dz = p.position.z - target.position.z;
        double frob2 = 0.0;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const double d = p.rotation[r][c] - target.rotation[r][c];
                frob2 += d * d;
            }
        out.joints = q;
        out.positionError = std::sqrt(dx * dx + dy * dy + dz * dz);
        // For two rotations |R1 - R2|_F = 2 sqrt(2) sin(angle / 2): exact, and
        // accurate for small angles where the trace formula is not.
        out.rotationError = 2.0 * std::asin(std::min(1.0, std::sqrt(frob2) / (2.0 * std::sqrt(2.0))));
    }
};

Engine::Engine() : impl_(std::make_unique<Impl>()) {}
Engine::~Engine() = default;
Engine::Engine(Engine&&) noexcept = default;
Engine& Engine::operator=(Engine&&) noexcept = default;

SetupResult Engine::setUp(const ArmDescription& arm) noexcept {
    const SetupResult check = validate(arm);
    if (!check) return check;
    kin::Frame base;
    std::array<kin::Frame, kin::kMaxJoints + 1> links;
    impl_->engine.armSetup(6, arm, base, links);
    kin::buildSolverModel(impl_->engine, impl_->solverModel);
    kin::prepareWorkspace(impl_->solverModel, impl_->solverWork);
    impl_->arm = arm;
    impl_->ready = true;
    return check;
}

bool Engine::ready() const noexcept { return impl_->ready; }

const ArmDescription& Engine::arm() const noexcept { return impl_->arm; }

SolverMethod Engine::solverMethod() const noexcept {
    if (!impl_->ready) return SolverMethod::None;
    switch (impl_->solverModel.kind) {
    case kin::WristKind::Spherical: return SolverMethod::SphericalWrist;
    case kin::WristKind::ParallelAxes: return SolverMethod::ParallelAxes;
    case kin::WristKind::General: return SolverMethod::General;
    }
    return SolverMethod::General;
}

bool Engine::wristCentre(Vec3& out) const noexcept {
    if (!impl_->ready || impl_->solverModel.kind != kin::WristKind::Spherical) return false;
    // The solver keeps the centre in joint frame 2, which at zero is the
    // description's entry 2.
    const ArmDescription& d = impl_->arm;
    const Frame joint2{d.armJointAxes[2].X, d.armJointAxes[2].Y, d.armJointAxes[2].Z, d.armJointPos[2]};
    out = kin::frameApplyPoint(joint2, impl_->solverModel.wristCentreArm);
    return true;
}

Status Engine::frames(const Joints& q, std::array<Frame, 8>& out) noexcept {
    if (!impl_->ready) return Status::NoArm;
    kin::Engine& e = impl_->engine;
    Pose tool;
    impl_->forward(q, tool);  // also moves every link frame by its joint
    out[0] = e.model.baseFrame;
    for (int k = 0; k < 6; ++k) out[k + 1] = kin::frameMul(out[k], e.fk.movedFrames[k]);
    out[7].O = tool.position;
    out[7].X = {tool.rotation[0][0], tool.rotation[1][0], tool.rotation[2][0]};
    out[7].Y = {tool.rotation[0][1], tool.rotation[1][1], tool.rotation[2][1]};
    out[7].Z = {tool.rotation[0][2], tool.rotation[1][2], tool.rotation[2][2]};
    return Status::Ok;
}

Status Engine::forward(const Joints& q, Pose& out) noexcept {
    if (!impl_->ready) return Status::NoArm;
    impl_->forward(q, out);
    return Status::Ok;
}

int Engine::inverse(const Pose& target, const Joints& neighbour, IkMode mode,
                    SolutionSet& out) noexcept {
    out.count = 0;
    if (!impl_->ready) return 0;
    const Axes axes{column(target.rotation, 0), column(target.rotation, 1),
                    column(target.rotation, 2)};
    const int n = impl_->engine.inverseKinematics(6, target.position, axes, neighbour,
                                                  impl_->list, internalMode(mode));
    for (int k = 0; k < n; ++k) {
        impl_->residuals(impl_->list[k], target, out.solutions[k]);
        out.solutions[k].status = SolutionStatus::Converged;
    }
    out.count = n;
    return n;
}

Status Engine::residuals(const Joints& q, const Pose& target, Solution& out) noexcept {
    if (!impl_->ready) return Status::NoArm;
    impl_->residuals(q, target, out);
    return Status::Ok;
}

int Engine::solve(const Pose& target, const SolveOptions& options, SolveResult& out) noexcept {
    if (!impl_->ready) {
        out.count = 0;
        out.branches = 0;
        out.truncated = false;
        out.status = Status::NoArm;
        out.reason = "";
        return 0;
    }
    return kin::solveAll(impl_->solverModel, impl_->solverWork, frameOf(target), options, out);
}

Status Engine::nearest(const Pose& target, const Joints& seed, const SolveOptions& options,
                       Solution& out) noexcept {
    if (!impl_->ready) return Status::NoArm;
    const int n = kin::solveNearest(impl_->solverModel, impl_->solverWork, frameOf(target), seed,
                                    options, out);
    return n != 0 ? Status::Ok : impl_->solverWork.branches.status;
}

Status Engine::track(const Pose& target, const Joints& seed, const SolveOptions& options,
                     Solution& out) noexcept {
    if (!impl_->ready) return Status::NoArm;
    const int n = kin::solveTrack(impl_->solverModel, impl_->solverWork, frameOf(target), seed,
                                  options, out);
    return n != 0 ? Status::Ok : impl_->solverWork.branches.status;
}

Status Engine::solveBatch(std::span<const Pose> targets, const SolveOptions& options,
                          std::span<SolveResult> out, int threads) const {
    if (!impl_->ready) return Status::NoArm;
    if (out.size() < targets.size()) return Status::InvalidInput;
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<Frame> frames(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) frames[i] = frameOf(targets[i]);
    kin::solveBatch(impl_->solverModel, frames, options, out, threads);
    return Status::Ok;
}

}  // namespace armkin
