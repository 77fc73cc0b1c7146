//! Arbitrary bytes as a URDF file and as a YAML arm file, the URDF loader
//! also with a named base and tip link and a tool offset taken from the
//! first byte. Neither loader may crash, hang or throw. An arm they return
//! must pass validate(), carry ordered limits and six joint names, and set
//! up an engine; an error must carry a one-line reason.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <armkin/armkin.hpp>
#include <armkin/loaders.hpp>

#include "fuzz_input.hpp"

namespace {

void check(const armkin::LoadResult& r) {
    if (!r.ok()) {
        FUZZ_CHECK(r.error.line >= 0);
        FUZZ_CHECK(r.error.reason.find('\n') == std::string::npos);
        FUZZ_CHECK(!r.error.message().empty());
        return;
    }
    FUZZ_CHECK(armkin::validate(r.arm.description));
    for (int i = 0; i < 6; ++i) {
        FUZZ_CHECK(!(r.arm.limits[i].lower > r.arm.limits[i].upper));
        FUZZ_CHECK(!std::isnan(r.arm.limits[i].lower) && !std::isnan(r.arm.limits[i].upper));
        FUZZ_CHECK(!r.arm.jointNames[i].empty());
    }
    armkin::Engine engine;
    FUZZ_CHECK(engine.setUp(r.arm.description));
    armkin::Pose pose;
    FUZZ_CHECK(engine.forward({0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, pose) == armkin::Status::Ok);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(armkin::loadUrdfText(text, "fuzz.urdf"));
    check(armkin::loadArmFileText(text, "fuzz.yaml"));

    if (size > 0) {
        // Link names the seed files and the loader tests use.
        static const char* const names[] = {"base", "tool", "flange", "l0", "l6", "wrist_1", "column", ""};
        armkin::UrdfOptions options;
        options.baseLink = names[data[0] & 7];
        options.tipLink = names[(data[0] >> 3) & 7];
        if (data[0] & 0x40) options.toolOffset = {{0.1, 0, 0}, {{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}}};
        if (data[0] & 0x80) options.toolOffset.rotation[1][0] = 1.0;  // not rigid: refused
        check(armkin::loadUrdfText(text.substr(1), "fuzz.urdf", options));
    }
    return 0;
}
