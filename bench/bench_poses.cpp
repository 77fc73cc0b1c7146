#include "bench/bench_poses.hpp"

#include <array>
#include <cmath>
#include <random>

#include "arm/builtin_arm.hpp"
#include "numeric/euler.hpp"

namespace kin::bench {

namespace {

std::vector<Target> makeSet(SetKind set) {
    std::mt19937_64 rng(set == SetKind::Uniform ? 20260501u : 20260502u);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    std::bernoulli_distribution sign;
    Kinematics e;
    setUpBuiltinArm(e);
    std::vector<Target> out;
    out.reserve(kSetSize);
    while (static_cast<int>(out.size()) < kSetSize) {
        Target t;
        for (double& v : t.typed) v = angle(rng);
        if (set == SetKind::WristAway && !(std::fabs(std::sin(t.typed[4])) > 0.1)) continue;
        for (int i = 0; i < 6; ++i) t.nearSeed[i] = t.typed[i] + (sign(rng) ? kNearOffset : -kNearOffset);
        EulerZYZ euler;
        e.analys(6, t.typed.data(), t.pos, euler);
        t.axes = eulerToAxes(euler);
        out.push_back(t);
    }
    return out;
}

}  // namespace

const std::vector<Target>& targets(SetKind set) {
    static const std::vector<Target> uniform = makeSet(SetKind::Uniform);
    static const std::vector<Target> wristAway = makeSet(SetKind::WristAway);
    return set == SetKind::Uniform ? uniform : wristAway;
}

std::string_view setName(SetKind set) {
    return set == SetKind::Uniform ? "uniform" : "sin_q4";
}

void setUpBuiltinArm(Kinematics& e) {
    const ArmDescription d = kin::builtinArm();
    Frame base;
    std::array<Frame, kMaxJoints + 1> links;
    e.armSetup(6, d, base, links);
}

PoseGap poseGap(Kinematics& fk, const Target& t, const Joints& q) {
    Vec3 p;
    EulerZYZ euler;
    fk.analys(6, q.data(), p, euler);
    const Vec3* mine[3] = {&fk.fk.fkAxisX, &fk.fk.fkAxisY, &fk.fk.fkAxisZ};
    const Vec3* goal[3] = {&t.axes.X, &t.axes.Y, &t.axes.Z};
    double frob = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double dx = mine[i]->x - goal[i]->x;
        const double dy = mine[i]->y - goal[i]->y;
        const double dz = mine[i]->z - goal[i]->z;
        frob += dx * dx + dy * dy + dz * dz;
    }
    return {std::hypot(p.x - t.pos.x, p.y - t.pos.y, p.z - t.pos.z), std::sqrt(frob / 2.0)};
}

bool reaches(Kinematics& fk, const Target& t, const Joints& q) {
    const PoseGap g = poseGap(fk, t, q);
    return g.position < kSuccessGap && g.rotation < kSuccessGap;
}

bool reachesPosition(Kinematics& fk, const Target& t, const Joints& q) {
    return poseGap(fk, t, q).position < kSuccessGap;
}

bool isTyped(const Target& t, const Joints& q) {
    for (int i = 0; i < 6; ++i) {
        if (std::fabs(std::remainder(q[i] - t.typed[i], 2.0 * M_PI)) > 1e-4) return false;
    }
    return true;
}

}  // namespace kin::bench
