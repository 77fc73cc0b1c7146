#include "bench/solver_sets.hpp"

#include <cmath>
#include <random>

#include "fixtures/solver_arms.hpp"

namespace kin::bench {

namespace {

const char* shortName(int i) {
    static const char* names[] = {"builtin", "sph_0.7m", "sph_2.7m", "sph_0.9m", "par_0.85m", "par_1.3m"};
    return i < 6 ? names[i] : "arm";
}

std::vector<SolverArmSet> makeSets() {
    std::vector<SolverArmSet> out;
    const auto arms = testing::solverArms();
    for (std::size_t a = 0; a < arms.size(); ++a) {
        SolverArmSet s;
        s.name = shortName(static_cast<int>(a));
        s.title = arms[a].name;
        s.description = arms[a].description;
        testing::SolverRig rig(s.description);
        std::mt19937_64 rng(20260601u + a);
        std::uniform_real_distribution<double> angle(-M_PI, M_PI);
        std::bernoulli_distribution sign;
        for (int i = 0; i < kSetSize; ++i) {
            Joints q, n;
            for (double& v : q) v = angle(rng);
            for (int k = 0; k < 6; ++k) n[k] = q[k] + (sign(rng) ? kNearOffset : -kNearOffset);
            s.typed.push_back(q);
            s.near.push_back(n);
            s.targets.push_back(rig.target(q));
        }
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace

const std::vector<SolverArmSet>& solverArmSets() {
    static const std::vector<SolverArmSet> sets = makeSets();
    return sets;
}

}  // namespace kin::bench
