#pragma once
//! A progress line on standard error, drawn only when standard error is a
//! terminal, at most ten times a second.

#include <chrono>

namespace armkin::cli {

class Progress {
public:
    //! total: bytes of the input when known (a regular file), else 0;
    //! unit names what update's count counts.
    explicit Progress(long long totalBytes, const char* unit = "lines");
    ~Progress();  //!< clears the line
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(long long bytesDone, long records);

private:
    bool enabled_;
    long long total_;
    const char* unit_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace armkin::cli
