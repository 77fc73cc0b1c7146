#include "cli/progress.hpp"

#include <cstdio>

#include <unistd.h>

namespace armkin::cli {

Progress::Progress(long long totalBytes, const char* unit)
    : enabled_(isatty(STDERR_FILENO) == 1), total_(totalBytes), unit_(unit) {}

Progress::~Progress() {
    if (drawn_) std::fputs("\r\033[K", stderr);
}

void Progress::update(long long bytesDone, long records) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    drawn_ = true;
    if (total_ > 0) {
        constexpr int kWidth = 30;
        const double f = bytesDone >= total_ ? 1.0 : static_cast<double>(bytesDone) / static_cast<double>(total_);
        const int filled = static_cast<int>(f * kWidth);
        char bar[kWidth + 1];
        for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
        bar[kWidth] = '\0';
        std::fprintf(stderr, "\r[%s] %3.0f%%  %ld %s", bar, f * 100.0, records, unit_);
    } else {
        std::fprintf(stderr, "\r%ld %s", records, unit_);
    }
    std::fflush(stderr);
}

}  // namespace armkin::cli
