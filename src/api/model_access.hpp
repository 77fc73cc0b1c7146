#pragma once
//! What the public Model and Workspace hold, for the files of src/api.

#include <armkin/model.hpp>

#include <cstdint>
#include <memory>

#include "solver/solver.hpp"

namespace armkin {

struct Model::Impl {
    ArmDescription arm{};
    bool ready = false;
    kin::SolverModel solver{};
    //! Counts set-ups, so that a workspace notices a model set up anew.
    std::uint64_t generation = 0;
};

struct Workspace::Impl {
    kin::SolverWorkspace solver;
    //! The model the solver's records were prepared for; holding it keeps
    //! its address from being reused by another model.
    std::shared_ptr<const Model::Impl> boundTo;
    std::uint64_t generation = 0;
    kin::SolutionList list{};  //!< answers of the console's modes
};

struct ModelAccess {
    static const Model::Impl& model(const Model& m) { return *m.impl_; }
    //! The workspace's records, prepared for m (again, if it was set up
    //! anew or the workspace last served another model).
    static Workspace::Impl& bind(const Model& m, Workspace& w) {
        Workspace::Impl& wi = *w.impl_;
        if (wi.boundTo.get() != m.impl_.get() || wi.generation != m.impl_->generation) {
            kin::prepareWorkspace(m.impl_->solver, wi.solver);
            wi.boundTo = m.impl_;
            wi.generation = m.impl_->generation;
        }
        return wi;
    }
};

}  // namespace armkin
