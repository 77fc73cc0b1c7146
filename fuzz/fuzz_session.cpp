//! The whole console dialogue fed arbitrary bytes: start-up, menu and every
//! test mode, until the key 0 or the end of the input. The run must end
//! (end of input ends the session) with status 0 and no sanitizer report.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "driver/console/console.hpp"
#include "driver/session.hpp"
#include "fuzz_input.hpp"

namespace {

//! An output stream that throws everything away without a system call.
std::FILE* openSink() {
    cookie_io_functions_t io{};
    io.write = [](void*, const char*, std::size_t n) -> ssize_t { return static_cast<ssize_t>(n); };
    return fopencookie(nullptr, "w", io);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // fmemopen wants a writable buffer and at least one byte.
    std::vector<char> text(data, data + size);
    std::FILE* in = size == 0 ? std::fopen("/dev/null", "r") : fmemopen(text.data(), size, "r");
    std::FILE* out = openSink();
    FUZZ_CHECK(in != nullptr && out != nullptr);
    int status = -1;
    {
        kin::driver::Console console(in, out);
        status = kin::driver::runSession(console);
    }
    FUZZ_CHECK(status == 0);
    std::fclose(in);
    std::fclose(out);
    return 0;
}
