//! The console program: the kinematics test dialogue on standard input and
//! output.

#include <cstdio>

#include <armkin/version.hpp>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "driver/console/console.hpp"
#include "driver/options.hpp"
#include "driver/session.hpp"

#if ARMKIN_HAVE_IO
#include <armkin/loaders.hpp>
#endif

int main(int argc, char** argv) {
    using namespace kin::driver;
#ifdef _WIN32
    // Bytes in and out as on any other system: no CR before each line
    // break, and Ctrl-Z (0x1A) in a pipe is a byte like any other.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    CommandLine cl;
    if (const std::string error = parseCommandLine(argc, argv, cl); !error.empty()) {
        std::fprintf(stderr, "armconsole: %s (see armconsole --help)\n", error.c_str());
        return 2;
    }
    if (cl.action == CommandLine::Action::help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (cl.action == CommandLine::Action::version) {
        std::printf("armconsole (armkin) %s\n", armkin::version());
        return 0;
    }

    const kin::ArmDescription* arm = nullptr;
#if ARMKIN_HAVE_IO
    armkin::LoadResult loaded;
    if (!cl.armFile.empty()) {
        loaded = armkin::loadArm(cl.armFile, {cl.baseLink, cl.tipLink});
        if (!loaded) {
            std::fprintf(stderr, "armconsole: %s\n", loaded.error.message().c_str());
            return 2;
        }
        arm = &loaded.arm.description;
    }
#else
    if (!cl.armFile.empty()) {
        std::fprintf(stderr, "armconsole: this build cannot read arm files\n");
        return 2;
    }
#endif

    Console console(stdin, stdout, ConsoleOptions{cl.encoding});
    if (!console.note().empty()) std::fprintf(stderr, "armconsole: %s\n", console.note().c_str());
    return runSession(console, arm);
}
