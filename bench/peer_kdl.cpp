//! The peer library on the same arm and targets: forward kinematics
//! (ChainFkSolverPos_recursive), Levenberg-Marquardt with equal weights
//! (ChainIkSolverPos_LMA) and Newton-Raphson with joint limits +-10
//! (ChainIkSolverPos_NR_JL), each from the near seed and from all zeros.

#include <benchmark/benchmark.h>

#include <Eigen/Core>
#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>
#include <kdl/chainiksolverpos_lma.hpp>
#include <kdl/chainiksolverpos_nr_jl.hpp>
#include <kdl/chainiksolvervel_pinv.hpp>
#include <kdl/utilities/utility.h>

#include <cmath>
#include <vector>

#include "bench/suites.hpp"
#include "arm/builtin_arm.hpp"

namespace kin::bench {

namespace {

//! Stopping tolerance of both solvers, below the success test: LMA stops on
//! the norm of the pose difference, NR_JL on each of its six components.
constexpr double kPeerEps = 1e-10;
//! The library's own "equal to zero" margin (1e-6 by default) turns rotation
//! differences below it into zero inside its pose difference; keep it well
//! below the success test.
constexpr double kPeerZero = 1e-12;

KDL::Vector vec(const Vec3& v) { return KDL::Vector(v.x, v.y, v.z); }

//! The built-in arm as a chain whose segment frames stay parallel to the
//! world at zero: joint k turns about its world Z axis at its own origin,
//! and the segment ends at the next joint's origin (the last at the tool
//! point). The base and tool axes of the built-in arm are the identity, and
//! the forward-kinematics figure checks the chain against the engine.
KDL::Chain builtinChain() {
    const ArmDescription d = kin::builtinArm();
    KDL::Chain c;
    c.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::Fixed), KDL::Frame(vec(d.armJointPos[0]))));
    for (int k = 0; k < 6; ++k) {
        const Vec3& p = d.armJointPos[k];
        const Vec3& q = d.armJointPos[k + 1];
        const KDL::Joint joint(KDL::Vector::Zero(), vec(d.armJointAxes[k].Z), KDL::Joint::RotAxis);
        c.addSegment(KDL::Segment(joint, KDL::Frame(KDL::Vector(q.x - p.x, q.y - p.y, q.z - p.z))));
    }
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

Joints joints(const KDL::JntArray& a) {
    Joints q{};
    for (unsigned i = 0; i < 6; ++i) q[i] = a(i);
    return q;
}

KDL::Frame goal(const Target& t) {
    const Axes& A = t.axes;
    return KDL::Frame(KDL::Rotation(A.X.x, A.Y.x, A.Z.x, A.X.y, A.Y.y, A.Z.y, A.X.z, A.Y.z, A.Z.z),
                      vec(t.pos));
}

//! The solvers and every array they read or write, made before timing.
struct Peer {
    KDL::Chain chain = builtinChain();
    KDL::ChainFkSolverPos_recursive fk{chain};
    KDL::ChainIkSolverVel_pinv vel{chain};
    KDL::ChainIkSolverPos_NR_JL nrjl{chain, filled(-10.0), filled(10.0), fk, vel, 100, kPeerEps};
    KDL::ChainIkSolverPos_LMA lma{chain, Eigen::Matrix<double, 6, 1>::Ones(), kPeerEps, 500, 1e-15};
    std::vector<KDL::Frame> goals;
    std::vector<KDL::JntArray> typed, near;
    KDL::JntArray zeros = filled(0.0);
    KDL::JntArray out = filled(0.0);

    explicit Peer(SetKind set) {
        for (const Target& t : targets(set)) {
            goals.push_back(goal(t));
            typed.push_back(jnt(t.typed));
            near.push_back(jnt(t.nearSeed));
        }
    }

    //! One call of the operation on target i; the answer is left in out.
    int run(PeerOp op, std::size_t i) {
        switch (op) {
            case PeerOp::LmaNear: return lma.CartToJnt(near[i], goals[i], out);
            case PeerOp::NrJlNear: return nrjl.CartToJnt(near[i], goals[i], out);
            case PeerOp::LmaZero: return lma.CartToJnt(zeros, goals[i], out);
            case PeerOp::NrJlZero: return nrjl.CartToJnt(zeros, goals[i], out);
            default: return 0;
        }
    }
};

void fkSweep(benchmark::State& st, SetKind set) {
    Peer peer(set);
    KDL::Frame f;
    for (auto _ : st) {
        for (const KDL::JntArray& q : peer.typed) {
            int r = peer.fk.JntToCart(q, f);
            benchmark::DoNotOptimize(r);
            benchmark::DoNotOptimize(f);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(peer.typed.size()));
}

void solveSweep(benchmark::State& st, PeerOp op, SetKind set) {
    Peer peer(set);
    for (auto _ : st) {
        for (std::size_t i = 0; i < peer.goals.size(); ++i) {
            int r = peer.run(op, i);
            benchmark::DoNotOptimize(r);
            benchmark::DoNotOptimize(peer.out.data);
        }
    }
    st.SetItemsProcessed(st.iterations() * static_cast<long>(peer.goals.size()));
}

const char* opName(PeerOp op) {
    switch (op) {
        case PeerOp::Fk: return "KDL_FK";
        case PeerOp::LmaNear: return "KDL_LMA_near";
        case PeerOp::NrJlNear: return "KDL_NR_JL_near";
        case PeerOp::LmaZero: return "KDL_LMA_from_zeros";
        default: return "KDL_NR_JL_from_zeros";
    }
}

}  // namespace

std::string benchName(PeerOp op, SetKind set) {
    return std::string(opName(op)) + "/" + std::string(setName(set));
}

bool peerAvailable() { return true; }

void registerPeerBenchmarks() {
    KDL::epsilon = kPeerZero;
    for (const SetKind set : kSets) {
        benchmark::RegisterBenchmark(benchName(PeerOp::Fk, set).c_str(), fkSweep, set);
        for (const PeerOp op :
             {PeerOp::LmaNear, PeerOp::NrJlNear, PeerOp::LmaZero, PeerOp::NrJlZero}) {
            benchmark::RegisterBenchmark(benchName(op, set).c_str(), solveSweep, op, set);
        }
    }
}

Figures peerFigures(PeerOp op, SetKind set) {
    KDL::epsilon = kPeerZero;
    Figures f;
    Peer peer(set);
    Kinematics fk;
    setUpBuiltinArm(fk);
    const std::vector<Target>& ts = targets(set);
    for (std::size_t i = 0; i < ts.size(); ++i) {
        const Target& t = ts[i];
        bool ok = false;
        bool typed = false;
        if (op == PeerOp::Fk) {
            // The chain against the engine: the pose of the typed vector.
            KDL::Frame pose;
            peer.fk.JntToCart(peer.typed[i], pose);
            const KDL::Frame& g = peer.goals[i];
            double frob = 0.0;
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) {
                    const double e = pose.M(r, c) - g.M(r, c);
                    frob += e * e;
                }
            }
            ok = (pose.p - g.p).Norm() < kSuccessGap && std::sqrt(frob / 2.0) < kSuccessGap;
            f.returned += 1;
        } else {
            f.returned += peer.run(op, i) >= 0;
            const Joints q = joints(peer.out);
            ok = reaches(fk, t, q);
            typed = isTyped(t, q);
        }
        ++f.targets;
        ++f.solutions;
        f.success += ok;
        f.solutionsPassing += ok;
        f.typedBack += typed;
    }
    return f;
}

}  // namespace kin::bench
