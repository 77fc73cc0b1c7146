#include <armkin/solver_pool.hpp>

#include "api/model_access.hpp"
#include "solver/batch_pool.hpp"

namespace armkin {

struct SolverPool::Impl {
    explicit Impl(int threads) : pool(threads) {}
    kin::BatchPool pool;
};

SolverPool::SolverPool(int threads) : impl_(std::make_unique<Impl>(kin::threadsFor(threads))) {}

SolverPool::~SolverPool() = default;

int SolverPool::threads() const noexcept { return impl_->pool.threads(); }

Status SolverPool::solve(const Model& model, std::span<const Pose> targets, const SolveOptions& options,
                         std::span<SolveResult> out) noexcept {
    if (!model.ready()) return Status::NoArm;
    if (out.size() < targets.size()) return Status::InvalidInput;
    impl_->pool.solve(ModelAccess::model(model).solver, targets, options, out);
    return Status::Ok;
}

}  // namespace armkin
