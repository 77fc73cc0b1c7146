#include <algorithm>
#include <string>

#include "io/io_detail.hpp"

namespace armkin {

std::string LoadError::message() const {
    std::string m = file;
    if (line > 0) m += (m.empty() ? "line " : ":") + std::to_string(line);
    if (!m.empty()) m += ": ";
    return m + reason;
}

namespace io {

LoadResult failure(const std::string& file, int line, std::string reason) {
    LoadResult r;
    r.status = Status::FileError;
    r.error.file = file;
    r.error.line = line;
    for (char& c : reason) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    r.error.reason = reason.empty() ? std::string("unknown error") : std::move(reason);
    return r;
}

std::string quoted(std::string_view text, std::size_t limit) {
    std::size_t n = std::min(text.size(), limit);
    if (n < text.size()) {
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::string q = "'";
    for (char c : text.substr(0, n)) q += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    if (n < text.size()) q += "...";
    return q + "'";
}

LoadResult finish(LoadedArm arm, const std::string& file) {
    for (int i = 0; i < 6; ++i) {
        if (arm.jointNames[i].empty()) arm.jointNames[i] = "joint" + std::to_string(i);
    }
    if (const SetupResult check = validate(arm.description); !check) {
        LoadResult r = failure(file, 0, "the arm read from the file is not valid: " + describe(check));
        r.status = Status::InvalidArm;
        return r;
    }
    LoadResult r;
    r.arm = std::move(arm);
    return r;
}

}  // namespace io
}  // namespace armkin
