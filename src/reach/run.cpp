//! A whole study on local threads: chunks taken in order by the threads,
//! their rows and CSV text handed to the sink on the calling thread in
//! chunk order, with at most two chunks per thread held at once.

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include <armkin/reach.hpp>

#include "solver/batch_pool.hpp"

namespace armkin {

namespace {

//! One chunk's results while it waits for its turn at the sink.
struct Slot {
    std::vector<ReachRow> rows;
    std::string csv;
    std::int64_t chunk = -1;  //!< the chunk held, once computed; -1 when free
};

}  // namespace

bool runReach(const ReachStudy& study, std::int64_t chunkSize, int threads, const ReachSink& sink) {
    const std::int64_t chunks = study.chunkCount(chunkSize);
    if (chunks == 0) return study.pairCount() == 0;
    const auto workers = static_cast<std::int64_t>(std::clamp<std::int64_t>(kin::threadsFor(threads), 1, chunks));
    const std::int64_t slotCount = std::min<std::int64_t>(2 * workers, chunks);
    std::vector<Slot> slots(static_cast<std::size_t>(slotCount));
    std::mutex lock;
    std::condition_variable changed;
    std::int64_t next = 0;     // the next chunk to compute
    std::int64_t written = 0;  // chunks handed to the sink
    bool stop = false;
    std::exception_ptr failure;  // the first exception of a thread or the sink

    // Ends the run early: the threads finish their chunk and leave.
    auto halt = [&](std::exception_ptr e) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (e && !failure) failure = e;
            stop = true;
        }
        changed.notify_all();
    };
    auto work = [&] {
      try {
        ReachWorkspace ws;
        std::vector<ReachRow> rows(static_cast<std::size_t>(std::min(chunkSize, study.pairCount())));
        std::string csv;
        for (;;) {
            std::int64_t c;
            {
                std::unique_lock<std::mutex> hold(lock);
                // A chunk is taken only when its slot is free: chunk c uses
                // slot c % slotCount, which chunk c - slotCount held.
                changed.wait(hold, [&] { return stop || next >= chunks || next < written + slotCount; });
                if (stop || next >= chunks) return;
                c = next++;
            }
            const std::int64_t n = study.runChunk(c, chunkSize, ws, rows);
            csv.clear();
            appendReachRowsCsv(std::span<const ReachRow>(rows.data(), static_cast<std::size_t>(n)), csv);
            {
                std::lock_guard<std::mutex> hold(lock);
                Slot& s = slots[static_cast<std::size_t>(c % slotCount)];
                s.rows.assign(rows.begin(), rows.begin() + n);
                s.csv.swap(csv);
                s.chunk = c;
            }
            changed.notify_all();
        }
      } catch (...) {
        halt(std::current_exception());
      }
    };
    std::vector<std::thread> pool;
    for (std::int64_t k = 0; k < workers; ++k) pool.emplace_back(work);

    bool ok = true;
    Slot mine;
    while (written < chunks) {
        {
            std::unique_lock<std::mutex> hold(lock);
            Slot& s = slots[static_cast<std::size_t>(written % slotCount)];
            changed.wait(hold, [&] { return stop || s.chunk == written; });
            if (stop) break;
            std::swap(mine, s);
            s.chunk = -1;
        }
        bool more = false;
        try {
            more = sink(written, mine.rows, mine.csv);
        } catch (...) {
            halt(std::current_exception());
            break;
        }
        if (!more) {
            ok = false;
            halt(nullptr);
            break;
        }
        {
            std::lock_guard<std::mutex> hold(lock);
            ++written;
        }
        changed.notify_all();
    }
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
    return ok && written == chunks;
}

}  // namespace armkin
