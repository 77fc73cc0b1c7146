#include "cli/output.hpp"

namespace armkin::cli {

namespace {

//! Shortest text that reads back as the same double.
void number(std::FILE* out, double v) { std::fprintf(out, "%.17g", v); }

}  // namespace

bool parseFormat(const std::string& name, Format& out) {
    if (name == "text") out = Format::Text;
    else if (name == "csv") out = Format::Csv;
    else if (name == "json") out = Format::Json;
    else return false;
    return true;
}

void Output::pose(const Pose& p) {
    const double v[12] = {p.position.x,    p.position.y,    p.position.z,    p.rotation[0][0],
                          p.rotation[0][1], p.rotation[0][2], p.rotation[1][0], p.rotation[1][1],
                          p.rotation[1][2], p.rotation[2][0], p.rotation[2][1], p.rotation[2][2]};
    switch (format_) {
    case Format::Json:
        std::fputs("{\"position\":[", out_);
        for (int i = 0; i < 3; ++i) {
            if (i > 0) std::fputc(',', out_);
            number(out_, v[i]);
        }
        std::fputs("],\"rotation\":[", out_);
        for (int r = 0; r < 3; ++r) {
            std::fputs(r > 0 ? ",[" : "[", out_);
            for (int c = 0; c < 3; ++c) {
                if (c > 0) std::fputc(',', out_);
                number(out_, v[3 + 3 * r + c]);
            }
            std::fputc(']', out_);
        }
        std::fputs("]}\n", out_);
        return;
    case Format::Csv:
        if (!headerDone_) std::fputs("x,y,z,r11,r12,r13,r21,r22,r23,r31,r32,r33\n", out_);
        headerDone_ = true;
        [[fallthrough]];
    case Format::Text:
        for (int i = 0; i < 12; ++i) {
            if (i > 0) std::fputc(format_ == Format::Csv ? ',' : ' ', out_);
            number(out_, v[i]);
        }
        std::fputc('\n', out_);
        return;
    }
}

void Output::solution(long poseIndex, const Solution& s, bool truncated) {
    const char* status = name(s.status);
    switch (format_) {
    case Format::Json:
        std::fprintf(out_, "{\"pose\":%ld,\"q\":[", poseIndex);
        for (int i = 0; i < 6; ++i) {
            if (i > 0) std::fputc(',', out_);
            number(out_, s.joints[i]);
        }
        std::fputs("],\"position_error\":", out_);
        number(out_, s.positionError);
        std::fputs(",\"rotation_error\":", out_);
        number(out_, s.rotationError);
        std::fprintf(out_, ",\"status\":\"%s\"%s}\n", status, truncated ? ",\"truncated\":true" : "");
        return;
    case Format::Csv:
        csvHeader();
        [[fallthrough]];
    case Format::Text: {
        const char sep = format_ == Format::Csv ? ',' : ' ';
        std::fprintf(out_, "%ld", poseIndex);
        for (double q : s.joints) {
            std::fputc(sep, out_);
            number(out_, q);
        }
        std::fputc(sep, out_);
        number(out_, s.positionError);
        std::fputc(sep, out_);
        number(out_, s.rotationError);
        std::fprintf(out_, "%c%s\n", sep, status);
        return;
    }
    }
}

void Output::csvHeader() {
    if (!headerDone_) std::fputs("pose,q0,q1,q2,q3,q4,q5,position_error,rotation_error,status\n", out_);
    headerDone_ = true;
}

void Output::none(long poseIndex, Status why, const char* detail) {
    switch (format_) {
    case Format::Json:
        std::fprintf(out_, "{\"pose\":%ld,\"status\":\"%s\",\"reason\":\"", poseIndex, name(why));
        // The reasons are the library's own plain sentences; escape anyway.
        for (const char* c = detail; *c != '\0'; ++c) {
            if (*c == '"' || *c == '\\') std::fputc('\\', out_);
            std::fputc(static_cast<unsigned char>(*c) < 0x20 ? ' ' : *c, out_);
        }
        std::fputs("\"}\n", out_);
        return;
    case Format::Csv:
        csvHeader();
        std::fprintf(out_, "%ld,,,,,,,,,%s\n", poseIndex, name(why));
        return;
    case Format::Text:
        std::fprintf(out_, "%ld none %s\n", poseIndex, name(why));
        return;
    }
}

}  // namespace armkin::cli
