#pragma once
//! Output records of the armkin command in its three formats: text (blank
//! separated), csv (with a header line) and json (JSON Lines).

#include <cstdio>
#include <string>

#include <armkin/engine.hpp>

namespace armkin::cli {

enum class Format { Text, Csv, Json };

//! Parses "text", "csv" or "json"; false for anything else.
bool parseFormat(const std::string& name, Format& out);

class Output {
public:
    Output(std::FILE* out, Format format) : out_(out), format_(format) {}

    //! One pose: x y z r11 r12 r13 r21 r22 r23 r31 r32 r33.
    void pose(const Pose& p);
    //! One solution of the pose on input line poseIndex (counted from 0);
    //! truncated marks a pose whose list was cut (json only: the text and
    //! csv records say so on standard error).
    void solution(long poseIndex, const Solution& s, bool truncated = false);
    //! A pose without solution: why, as a Status name ("out_of_reach"), and
    //! in words (json only).
    void none(long poseIndex, Status why, const char* detail);

private:
    void csvHeader();
    std::FILE* out_;
    Format format_;
    bool headerDone_ = false;
};

}  // namespace armkin::cli
