#pragma once
//! The result files of a reach study, in one folder (in the library armkin::io):
//!
//!   pairs.csv       a row per target-placement pair, in pair order
//!                   (columns: armkin::reachRowsHeader)
//!   placements.csv  a row per placement, best first (armkin::placementsCsv)
//!   summary.txt     the study's size and its best placements
//!
//! pairs.csv is written as pairs.csv.partial and takes its name only when
//! every pair is in it. One ReachFiles belongs to one thread.

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "armkin/reach.hpp"

namespace armkin {

class ReachFiles {
public:
    //! study must outlive this object; name heads the summary.
    ReachFiles(const ReachStudy& study, std::string name);
    ~ReachFiles();  //!< closes (and leaves) an unfinished pairs.csv.partial
    ReachFiles(const ReachFiles&) = delete;
    ReachFiles& operator=(const ReachFiles&) = delete;

    //! Makes folder (and its parents) when missing, removes the three
    //! files of an earlier run from it and starts pairs.csv.partial with
    //! its header. Returns false with a reason.
    bool open(const std::string& folder, std::string* reason = nullptr);
    //! Appends one chunk: its CSV text to the file and its rows to the
    //! totals. Chunks must come in chunk order. Returns false with a reason
    //! when the file cannot be written.
    bool add(std::span<const ReachRow> rows, std::string_view csv, std::string* reason = nullptr);
    //! When every pair of the study has been added: writes placements.csv
    //! and summary.txt and names pairs.csv. Returns false with a reason
    //! otherwise (pairs missing or the files not written).
    bool finish(std::string* reason = nullptr);

    const ReachTotals& totals() const noexcept { return totals_; }
    //! The text of summary.txt.
    std::string summary() const;
    const std::string& folder() const noexcept { return folder_; }

private:
    const ReachStudy& study_;
    std::string name_;
    ReachTotals totals_;
    std::string folder_;
    std::FILE* pairs_ = nullptr;
};

}  // namespace armkin
