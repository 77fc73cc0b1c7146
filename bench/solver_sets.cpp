#include "bench/solver_sets.hpp"

#include <cmath>
#include <random>

#include "fixtures/general_arms.hpp"

namespace kin::bench {

namespace {

std::vector<SolverArmSet> makeSets() {
    std::vector<SolverArmSet> out;
    // The closed-form arms, then arms without a closed form (elimination).
    std::vector<testing::SolverArm> arms = testing::solverArms();
    std::vector<std::string> names = {"builtin", "sph_0.7m", "sph_2.7m", "sph_0.9m", "par_0.85m", "par_1.3m"};
    const std::vector<testing::SolverArm> general = testing::generalArms();
    for (const auto& [label, index] : {std::pair{"gen_16sol", 0}, {"curved_0.9m", 1}, {"cal_sph_0.9m", 4},
                                       {"random_6r", 7}}) {
        arms.push_back(general[index]);
        names.push_back(label);
    }
    for (std::size_t a = 0; a < arms.size(); ++a) {
        SolverArmSet s;
        s.name = a < names.size() ? names[a] : "arm";
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
