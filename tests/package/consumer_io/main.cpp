// Loads the built-in arm from the URDF and the YAML file given on the
// command line, and from a malformed text, and prints what it got.

#include <cstdio>
#include <cstring>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const armkin::ArmDescription builtin = armkin::builtinArm();
    for (int k = 1; k < 3; ++k) {
        const armkin::LoadResult r = armkin::loadArm(argv[k]);
        if (!r) {
            std::printf("%s\n", r.error.message().c_str());
            return 1;
        }
        armkin::Engine engine;
        armkin::Pose pose;
        if (!engine.setUp(r.arm.description) || engine.forward({}, pose) != armkin::Status::Ok) return 1;
        std::printf("%s: %s, tool at height %.3f\n", k == 1 ? "urdf" : "yaml", r.arm.description.JTYPE.data(),
                    pose.position.z);
    }
    const armkin::LoadResult bad = armkin::loadUrdfText("<robot name=\"x\">", "inline");
    std::printf("%s\n", bad.error.message().c_str());
    return bad ? 1 : 0;
}
