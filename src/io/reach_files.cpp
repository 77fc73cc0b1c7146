// The result files of a reach study: pairs.csv written chunk by chunk,
// placements.csv and summary.txt at the end.

#include <armkin/reach_files.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace armkin {

namespace {

bool refuse(std::string* reason, const std::string& text) {
    if (reason) *reason = text;
    return false;
}

bool writeWhole(const std::string& path, std::string_view text, std::string* reason) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return refuse(reason, path + ": " + std::strerror(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written) return refuse(reason, path + ": cannot be written");
    return true;
}

}  // namespace

ReachFiles::ReachFiles(const ReachStudy& study, std::string name)
    : study_(study), name_(std::move(name)), totals_(study.placementCount()) {}

ReachFiles::~ReachFiles() {
    if (pairs_) std::fclose(pairs_);
}

bool ReachFiles::open(const std::string& folder, std::string* reason) {
    std::error_code e;
    std::filesystem::create_directories(folder, e);
    if (e) return refuse(reason, folder + ": " + e.message());
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
    // The files of an earlier run go first, so that the folder never holds
    // one run's pairs beside another's placements.
    for (const char* old : {"pairs.csv", "placements.csv", "summary.txt"}) std::filesystem::remove(folder_ + old, e);
    const std::string path = folder_ + "pairs.csv.partial";
    pairs_ = std::fopen(path.c_str(), "wb");
    if (!pairs_) return refuse(reason, path + ": " + std::strerror(errno));
    return add({}, reachRowsHeader(), reason);
}

bool ReachFiles::add(std::span<const ReachRow> rows, std::string_view csv, std::string* reason) {
    if (!pairs_) return refuse(reason, "the result files are not open");
    if (std::fwrite(csv.data(), 1, csv.size(), pairs_) != csv.size())
        return refuse(reason, folder_ + "pairs.csv.partial: cannot be written");
    totals_.add(rows);
    return true;
}

std::string ReachFiles::summary() const { return reachSummary(study_, totals_, name_); }

bool ReachFiles::finish(std::string* reason) {
    if (!pairs_) return refuse(reason, "the result files are not open");
    if (totals_.pairs() != study_.pairCount())
        return refuse(reason, "the study is not complete: " + std::to_string(totals_.pairs()) + " of " +
                                  std::to_string(study_.pairCount()) + " pairs");
    const int closed = std::fclose(pairs_);
    pairs_ = nullptr;
    if (closed != 0) return refuse(reason, folder_ + "pairs.csv.partial: cannot be written");
    if (!writeWhole(folder_ + "placements.csv", placementsCsv(study_, totals_), reason) ||
        !writeWhole(folder_ + "summary.txt", summary(), reason))
        return false;
    std::error_code e;
    std::filesystem::rename(folder_ + "pairs.csv.partial", folder_ + "pairs.csv", e);
    if (e) return refuse(reason, folder_ + "pairs.csv: " + e.message());
    return true;
}

}  // namespace armkin
