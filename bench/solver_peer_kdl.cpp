//! The peer library on each real test arm: its recursive forward kinematics
//! on the typed vectors, Levenberg-Marquardt from all zeros, and from the
//! near seed Newton-Raphson with joint limits +-10 and Levenberg-Marquardt,
//! with the tolerances of the engine's own comparison.

#include <benchmark/benchmark.h>

#include <Eigen/Core>
#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/chainiksolverpos_lma.hpp>
#include <kdl/chainiksolverpos_nr_jl.hpp>
#include <kdl/chainiksolvervel_pinv.hpp>
#include <kdl/utilities/utility.h>

#include <cmath>
#include <memory>

#include "bench/solver_suites.hpp"
#include "fixtures/solver_arms.hpp"

namespace kin::bench {

namespace {

constexpr double kPeerEps = 1e-10;
constexpr double kPeerZero = 1e-12;

KDL::Vector vec(const Vec3& v) { return KDL::Vector(v.x, v.y, v.z); }

//! Any description as a chain whose segment frames stay parallel to the
//! world at zero: joint k moves about (along) its world axis at its own
//! origin and the segment ends at the next joint's origin; a last fixed
//! segment turns to the tool axes. The bases of the test arms are the
//! identity.
KDL::Chain chainOf(const ArmDescription& d) {
    KDL::Chain c;
    c.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::Fixed), KDL::Frame(vec(d.armJointPos[0]))));
    for (int k = 0; k < 6; ++k) {
        const Vec3& p = d.armJointPos[k];
        const Vec3& q = d.armJointPos[k + 1];
        const bool turns = d.JTYPE[k] == 'R';
        const Vec3& axis = turns ? d.armJointAxes[k].Z : d.armJointAxes[k].X;
        const KDL::Joint joint(KDL::Vector::Zero(), vec(axis),
                               turns ? KDL::Joint::RotAxis : KDL::Joint::TransAxis);
        c.addSegment(KDL::Segment(joint, KDL::Frame(KDL::Vector(q.x - p.x, q.y - p.y, q.z - p.z))));
    }
    const Axes& T = d.armJointAxes[6];
    c.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::Fixed),
                              KDL::Frame(KDL::Rotation(T.X.x, T.Y.x, T.Z.x, T.X.y, T.Y.y, T.Z.y, T.X.z,
                                                       T.Y.z, T.Z.z))));
    return c;
}

KDL::JntArray filled(double v) {
    KDL::JntArray a(6);
    for (unsigned i = 0; i < 6; ++i) a(i) = v;
    return a;
}

KDL::JntArray jnt(const Joints& q) {
    KDL::JntArray a(6);
    for (unsigned i = 0; i < 6; ++i) a(i) = q[i];
    return a;
}

KDL::Frame goal(const Frame& t) {
    return KDL::Frame(KDL::Rotation(t.X.x, t.Y.x, t.Z.x, t.X.y, t.Y.y, t.Z.y, t.X.z, t.Y.z, t.Z.z),
                      vec(t.O));
}

struct Peer {
    KDL::Chain chain;
    KDL::ChainFkSolverPos_recursive fk{chain};
    KDL::ChainIkSolverVel_pinv vel{chain};
    KDL::ChainIkSolverPos_NR_JL nrjl{chain, filled(-10.0), filled(10.0), fk, vel, 100, kPeerEps};
    KDL::ChainIkSolverPos_LMA lma{chain, Eigen::Matrix<double, 6, 1>::Ones(), kPeerEps, 500, 1e-15};
    std::vector<KDL::Frame> goals;
    std::vector<KDL::JntArray> near, typed;
    KDL::JntArray zeros = filled(0.0);
    KDL::JntArray out = filled(0.0);
    KDL::Frame pose;

    explicit Peer(const SolverArmSet& arm) : chain(chainOf(arm.description)) {
        for (std::size_t i = 0; i < arm.targets.size(); ++i) {
            goals.push_back(goal(arm.targets[i]));
            near.push_back(jnt(arm.near[i]));
            typed.push_back(jnt(arm.typed[i]));
        }
    }

    int run(SolverPeerOp op, std::size_t i) {
        switch (op) {
            case SolverPeerOp::LmaZero: return lma.CartToJnt(zeros, goals[i], out);
            case SolverPeerOp::NrJlNear: return nrjl.CartToJnt(near[i], goals[i], out);
            case SolverPeerOp::Fk: return fk.JntToCart(typed[i], pose);
            default: return lma.CartToJnt(near[i], goals[i], out);
        }
    }
};

void sweep(benchmark::State& st, SolverPeerOp op, const SolverArmSet* arm) {
    auto peer = std::make_unique<Peer>(*arm);
    for (auto _ : st) {
        for (std::size_t i = 0; i < peer->goals.size(); ++i) {
            int r = peer->run(op, i);
            benchmark::DoNotOptimize(r);
            benchmark::DoNotOptimize(peer->out.data);
            benchmark::DoNotOptimize(peer->pose);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(peer->goals.size()));
}

const char* opName(SolverPeerOp op) {
    switch (op) {
        case SolverPeerOp::LmaZero: return "KDL_LMA_from_zeros";
        case SolverPeerOp::NrJlNear: return "KDL_NR_JL_near";
        case SolverPeerOp::Fk: return "KDL_FK";
        default: return "KDL_LMA_near";
    }
}

}  // namespace

std::string solverPeerBenchName(SolverPeerOp op, const SolverArmSet& arm) {
    return std::string(opName(op)) + "/" + arm.name;
}

void registerSolverPeerBenchmarks() {
    KDL::epsilon = kPeerZero;
    for (const SolverArmSet& arm : solverArmSets()) {
        for (const SolverPeerOp op : {SolverPeerOp::LmaZero, SolverPeerOp::NrJlNear, SolverPeerOp::Fk}) {
            benchmark::RegisterBenchmark(solverPeerBenchName(op, arm).c_str(), sweep, op, &arm);
        }
    }
}

SolverPeerFigures solverPeerFigures(SolverPeerOp op, const SolverArmSet& arm) {
    KDL::epsilon = kPeerZero;
    auto peer = std::make_unique<Peer>(arm);
    testing::SolverRig rig(arm.description);
    SolverPeerFigures f;
    f.fkAgrees = true;
    int ok = 0;
    for (std::size_t i = 0; i < arm.targets.size(); ++i) {
        KDL::Frame pose;
        peer->fk.JntToCart(peer->typed[i], pose);
        const KDL::Frame& g = peer->goals[i];
        double gap = (pose.p - g.p).Norm();
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) gap = std::fmax(gap, std::fabs(pose.M(r, c) - g.M(r, c)));
        f.fkAgrees = f.fkAgrees && gap < 1e-12;

        peer->run(op, i);
        Joints q{};
        for (unsigned k = 0; k < 6; ++k) q[k] = peer->out(k);
        const Frame t = rig.target(q);
        const Frame& want = arm.targets[i];
        double frob = 0.0;
        const Vec3* a[3] = {&t.X, &t.Y, &t.Z};
        const Vec3* b[3] = {&want.X, &want.Y, &want.Z};
        for (int k = 0; k < 3; ++k) {
            frob += std::pow(a[k]->x - b[k]->x, 2) + std::pow(a[k]->y - b[k]->y, 2) +
                    std::pow(a[k]->z - b[k]->z, 2);
        }
        ok += std::hypot(t.O.x - want.O.x, t.O.y - want.O.y, t.O.z - want.O.z) < kSuccessGap &&
              std::sqrt(frob / 2.0) < kSuccessGap;
    }
    f.success = static_cast<double>(ok) / static_cast<double>(arm.targets.size());
    return f;
}

}  // namespace kin::bench
