#include <armkin/model.hpp>

#include <algorithm>
#include <cmath>

#include "api/model_access.hpp"
#include "solver/batch_pool.hpp"
#include "numeric/frame.hpp"
#include "solver/chain.hpp"

namespace armkin {

namespace {

void fail(SolveResult& out, Status why) {
    out.count = 0;
    out.branches = 0;
    out.truncated = false;
    out.status = why;
    out.reason = "";
}

}  // namespace

Model::Model() : impl_(std::make_shared<Impl>()) {}
Model::~Model() = default;
Model::Model(Model&&) noexcept = default;
Model& Model::operator=(Model&&) noexcept = default;

SetupResult Model::setUp(const ArmDescription& arm) noexcept {
    const SetupResult check = validate(arm);
    if (!check) return check;
    kin::Kinematics engine;
    kin::Frame base;
    std::array<kin::Frame, kin::kMaxJoints + 1> links;
    engine.armSetup(6, arm, base, links);
    kin::buildSolverModel(engine, impl_->solver);
    impl_->arm = arm;
    impl_->ready = true;
    ++impl_->generation;
    return check;
}

bool Model::ready() const noexcept { return impl_->ready; }

const ArmDescription& Model::arm() const noexcept { return impl_->arm; }

SolverMethod Model::solverMethod() const noexcept {
    if (!impl_->ready) return SolverMethod::None;
    switch (impl_->solver.kind) {
    case kin::WristKind::Spherical: return SolverMethod::SphericalWrist;
    case kin::WristKind::ParallelAxes: return SolverMethod::ParallelAxes;
    case kin::WristKind::SlidingArm: return SolverMethod::SlidingArm;
    case kin::WristKind::Elimination: return SolverMethod::Elimination;
    case kin::WristKind::General: return SolverMethod::General;
    }
    return SolverMethod::General;
}

bool Model::wristCentre(Vec3& out) const noexcept {
    if (!impl_->ready || impl_->solver.kind != kin::WristKind::Spherical) return false;
    // The solver keeps the centre in joint frame 2, which at zero is the
    // description's entry 2.
    const ArmDescription& d = impl_->arm;
    const kin::Frame joint2{d.armJointAxes[2].X, d.armJointAxes[2].Y, d.armJointAxes[2].Z, d.armJointPos[2]};
    out = kin::frameApplyPoint(joint2, impl_->solver.wristCentreArm);
    return true;
}

Status Model::forward(const Joints& q, Pose& out) const noexcept {
    if (!impl_->ready) return Status::NoArm;
    out = kin::poseOf(kin::solver::toolFrame(impl_->solver, q));
    return Status::Ok;
}

Status Model::frames(const Joints& q, std::array<Pose, 8>& out) const noexcept {
    if (!impl_->ready) return Status::NoArm;
    std::array<kin::Frame, 6> moved;
    kin::solver::movedLinks(impl_->solver, q, moved);
    const kin::Frame tool = kin::solver::toolFrame(impl_->solver, q);
    kin::Frame f = impl_->solver.model.baseFrame;
    out[0] = kin::poseOf(f);
    for (int k = 0; k < 6; ++k) {
        f = kin::frameMul(f, moved[k]);
        out[k + 1] = kin::poseOf(f);
    }
    out[7] = kin::poseOf(tool);
    return Status::Ok;
}

Status Model::residuals(const Joints& q, const Pose& target, Solution& out) const noexcept {
    if (!impl_->ready) return Status::NoArm;
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
    out.rotationError = kin::angleFromFrobenius(std::sqrt(frob2));
    return Status::Ok;
}

Workspace::Workspace() : impl_(std::make_unique<Impl>()) {}
Workspace::Workspace(const Model& model) : Workspace() {
    if (model.ready()) ModelAccess::bind(model, *this);
}
Workspace::~Workspace() = default;
Workspace::Workspace(Workspace&&) noexcept = default;
Workspace& Workspace::operator=(Workspace&&) noexcept = default;

int solve(const Model& model, Workspace& ws, const Pose& target, const SolveOptions& options,
          SolveResult& out) noexcept {
    if (!model.ready()) {
        fail(out, Status::NoArm);
        return 0;
    }
    Workspace::Impl& w = ModelAccess::bind(model, ws);
    return kin::solveAll(ModelAccess::model(model).solver, w.solver, kin::frameOf(target), options, out);
}

Status nearest(const Model& model, Workspace& ws, const Pose& target, const Joints& seed,
               const SolveOptions& options, Solution& out) noexcept {
    if (!model.ready()) return Status::NoArm;
    Workspace::Impl& w = ModelAccess::bind(model, ws);
    const int n = kin::solveNearest(ModelAccess::model(model).solver, w.solver, kin::frameOf(target), seed,
                                    options, out);
    return n != 0 ? Status::Ok : w.solver.branches.status;
}

Status track(const Model& model, Workspace& ws, const Pose& target, const Joints& seed,
             const SolveOptions& options, Solution& out) noexcept {
    if (!model.ready()) return Status::NoArm;
    Workspace::Impl& w = ModelAccess::bind(model, ws);
    const int n = kin::solveTrack(ModelAccess::model(model).solver, w.solver, kin::frameOf(target), seed,
                                  options, out);
    return n != 0 ? Status::Ok : w.solver.branches.status;
}

Status solveBatch(const Model& model, std::span<const Pose> targets, const SolveOptions& options,
                  std::span<SolveResult> out, int threads) {
    if (!model.ready()) return Status::NoArm;
    if (out.size() < targets.size()) return Status::InvalidInput;
    kin::solveBatch(ModelAccess::model(model).solver, targets, options, out, kin::threadsFor(threads));
    return Status::Ok;
}

}  // namespace armkin
