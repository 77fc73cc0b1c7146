// Results of the C++ library for the Python module's bit-for-bit test. For
// the arm (builtin, or an arm file) and count joint vectors made as in
// test_module.py (integers from a linear congruential generator divided by
// 1000), prints one line per result, every double in C's %a form:
//   fk  i  16 values of the 4x4 transform
//   ptp i  k  6 joints        (likewise cp, position with the typed vector as seed)

#include <cstdio>
#include <cstdlib>
#include <string>

#include <armkin/armkin.hpp>
#if ARMKIN_HAVE_IO
#include <armkin/loaders.hpp>
#endif

int main(int argc, char** argv) {
    const std::string armName = argc > 1 ? argv[1] : "builtin";
    const int count = argc > 2 ? std::atoi(argv[2]) : 20;
    armkin::ArmDescription d = armkin::builtinArm();
#if ARMKIN_HAVE_IO
    if (armName != "builtin") {
        const armkin::LoadResult r = armkin::loadArm(armName);
        if (!r) {
            std::fprintf(stderr, "%s\n", r.error.message().c_str());
            return 2;
        }
        d = r.arm.description;
    }
#endif
    armkin::Engine engine;
    if (!engine.setUp(d)) return 2;
    unsigned state = 12345;
    for (int n = 0; n < count; ++n) {
        armkin::Joints q;
        for (double& v : q) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<double>(static_cast<int>(state >> 8) % 6283 - 3141) / 1000.0;
        }
        armkin::Pose pose;
        engine.forward(q, pose);
        std::printf("fk %d", n);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) std::printf(" %a", pose.rotation[r][c]);
            std::printf(" %a", r == 0 ? pose.position.x : r == 1 ? pose.position.y : pose.position.z);
        }
        std::printf(" %a %a %a %a\n", 0.0, 0.0, 0.0, 1.0);
        const struct {
            const char* name;
            armkin::IkMode mode;
            armkin::Joints seed;
        } modes[] = {{"ptp", armkin::IkMode::Ptp, armkin::Joints{}},
                     {"cp", armkin::IkMode::Cp, q},
                     {"position", armkin::IkMode::PositionOnly, q}};
        for (const auto& m : modes) {
            armkin::SolutionSet found;
            armkin::inverse(engine, pose, m.seed, m.mode, found);
            for (int k = 0; k < found.count; ++k) {
                std::printf("%s %d %d", m.name, n, k);
                for (double v : found.solutions[k].joints) std::printf(" %a", v);
                std::printf("\n");
            }
        }
    }
    return 0;
}
