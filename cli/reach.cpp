#include "cli/reach.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/progress.hpp"

// Study files need the loaders; a build without them (Windows) refuses
// the command.
#if ARMKIN_HAVE_IO
#include <unistd.h>

#include <armkin/reach_files.hpp>
#include <armkin/study_file.hpp>
#endif

namespace armkin::cli {

namespace {

constexpr int kUsageError = 2;

#if ARMKIN_HAVE_IO
constexpr int kFailed = 1;

//! The folder of this program, from /proc/self/exe ("" when unknown).
std::string programFolder() {
    std::vector<char> path(4096);
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return "";
    std::string p(path.data(), static_cast<std::size_t>(n));
    return p.substr(0, p.find_last_of('/') + 1);
}

//! Replaces this process by `python -m armkin.reach` with the same study,
//! folder and chunk size and the scheduler's address. The interpreter is
//! $ARMKIN_PYTHON or the one the module was built for; a build tree's
//! module beside this program (../python) comes first on its path.
int handOver(const Options& o) {
    const char* env = std::getenv("ARMKIN_PYTHON");
    const std::string python = env && *env ? env : ARMKIN_PYTHON_PATH;
    const std::string built = programFolder() + "../python";
    if (access((built + "/armkin/reach.py").c_str(), R_OK) == 0) {
        const char* old = std::getenv("PYTHONPATH");
        const std::string path = old && *old ? built + ":" + old : built;
        setenv("PYTHONPATH", path.c_str(), 1);
    }
    const std::string chunk = std::to_string(o.chunk);
    std::vector<const char*> argv = {python.c_str(), "-m", "armkin.reach", o.study.c_str(),
                                     "--out", o.out.c_str(), "--chunk", chunk.c_str(),
                                     "--scheduler", o.scheduler.c_str(), nullptr};
    std::fflush(nullptr);
    execvp(argv[0], const_cast<char* const*>(argv.data()));
    std::perror(("armkin: cannot start " + python).c_str());
    return kUsageError;
}
#endif

}  // namespace

int reach(const Options& o) {
#if ARMKIN_HAVE_IO
    if (!o.scheduler.empty()) return handOver(o);
    const StudyLoadResult loaded = loadStudy(o.study);
    if (!loaded) {
        std::fprintf(stderr, "armkin: %s\n", loaded.error.message().c_str());
        return kUsageError;
    }
    const ReachStudy& study = loaded.study.study;
    ReachFiles files(study, loaded.study.name);
    std::string why;
    if (!files.open(o.out, &why)) {
        std::fprintf(stderr, "armkin: %s\n", why.c_str());
        return kUsageError;
    }
    const auto start = std::chrono::steady_clock::now();
    bool ran = false;
    {
        Progress progress(study.pairCount(), "pairs");
        long long done = 0;
        ran = runReach(study, o.chunk, o.threads,
                       [&](std::int64_t, std::span<const ReachRow> rows, std::string_view csv) {
                           if (!files.add(rows, csv, &why)) return false;
                           done += static_cast<long long>(rows.size());
                           progress.update(done, static_cast<long>(done));
                           return true;
                       });
    }
    // A file that could not be written stops the run; its reason is the one to give.
    if (!ran || !files.finish(&why)) {
        std::fprintf(stderr, "armkin: %s\n", why.c_str());
        return kFailed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fputs(files.summary().c_str(), stdout);
    std::printf("files       %spairs.csv, placements.csv, summary.txt\n", files.folder().c_str());
    std::fprintf(stderr, "armkin: %lld pairs in %.3g s (%.4g pairs/s)\n",
                 static_cast<long long>(study.pairCount()), seconds,
                 static_cast<double>(study.pairCount()) / seconds);
    return 0;
#else
    (void)o;
    std::fprintf(stderr, "armkin: this build reads no study files\n");
    return kUsageError;
#endif
}

}  // namespace armkin::cli
