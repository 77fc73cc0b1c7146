// A program that uses armkin as an installed package would: it prints a
// digest of forward and inverse kinematics results over fixed joint
// vectors, so that builds with different compilers and flags can be
// compared bit for bit.
//
// The joint values are integers divided by 1000 (one rounding, nothing for
// a compiler to fuse), so the inputs are the same bits under any flags.

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <armkin/armkin.hpp>

namespace {

struct Digest {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    void add(double v) {
        unsigned char b[sizeof v];
        std::memcpy(b, &v, sizeof v);
        for (unsigned char c : b) h = (h ^ c) * 1099511628211ull;
    }
};

}  // namespace

int main() {
    armkin::Engine engine;
    if (!engine.setUp(armkin::builtinArm())) return 2;

    Digest digest;
    int solutions = 0;
    std::uint32_t state = 12345;
    for (int n = 0; n < 60; ++n) {
        armkin::Joints q;
        for (double& v : q) {
            state = state * 1664525u + 1013904223u;
            v = static_cast<double>(static_cast<int>(state >> 8) % 6283 - 3141) / 1000.0;
        }
        armkin::Pose pose;
        engine.forward(q, pose);
        digest.add(pose.position.x);
        digest.add(pose.position.y);
        digest.add(pose.position.z);
        for (const auto& row : pose.rotation)
            for (double v : row) digest.add(v);

        for (armkin::IkMode mode : {armkin::IkMode::Ptp, armkin::IkMode::Cp,
                                    armkin::IkMode::PositionOnly}) {
            armkin::SolutionSet found;
            const armkin::Joints seed = mode == armkin::IkMode::Ptp ? armkin::Joints{} : q;
            armkin::inverse(engine, pose, seed, mode, found);
            solutions += found.count;
            for (int k = 0; k < found.count; ++k) {
                for (double v : found.solutions[k].joints) digest.add(v);
                digest.add(found.solutions[k].positionError);
                digest.add(found.solutions[k].rotationError);
            }
        }
    }
    std::printf("armkin %s digest %016llx solutions %d\n", armkin::version(),
                static_cast<unsigned long long>(digest.h), solutions);
    return solutions > 0 ? 0 : 1;
}
