//! Many poses at once: the threads take the targets in small chunks from a
//! shared counter, each with a workspace of its own. Each pose is solved on
//! its own by the same code, so the results do not depend on which thread
//! took it or on how many there are.

#include <algorithm>
#include <chrono>
#include <system_error>

#include "numeric/frame.hpp"
#include "solver/batch_pool.hpp"

namespace kin {

namespace {

//! Poses a thread takes at a time: a quarter of what is left over the
//! threads (guided), so that chunks are long while much is left and the
//! last ones short, and the threads finish close together; at least
//! kMinChunk, since where two threads' chunks meet the end of one result
//! and the start of the next share a cache line (chunks of 8 cost two
//! threads a tenth of their speed there), and at most kMaxChunk.
constexpr std::size_t kMinChunk = 16;
constexpr std::size_t kMaxChunk = 256;
constexpr std::size_t kParts = 4;

//! How long a thread watches for a word to change before it sleeps on it:
//! well beyond a helper's last chunk or the gap between a caller's
//! consecutive batches (microseconds), small beside the core time of a
//! caller that solves a batch now and then. Waking a sleeper costs about
//! 25 microseconds on a virtual machine.
constexpr auto kWatchBeforeSleep = std::chrono::microseconds(200);

//! Tells the core this thread is spinning (frees the pipeline for a
//! sibling thread, saves power).
inline void relax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

//! Waits until word no longer holds old: watches it for kWatchBeforeSleep,
//! then sleeps until notified. Returns the new value (acquire).
unsigned awaitChange(const std::atomic<unsigned>& word, unsigned old) noexcept {
    const auto until = std::chrono::steady_clock::now() + kWatchBeforeSleep;
    for (unsigned spins = 1;; ++spins) {
        const unsigned now = word.load(std::memory_order_acquire);
        if (now != old) return now;
        if (spins % 64 == 0 && std::chrono::steady_clock::now() > until) break;
        relax();
    }
    word.wait(old, std::memory_order_acquire);
    return word.load(std::memory_order_acquire);
}

//! Threads worth using for n targets: no more than there are chunks.
std::size_t usefulThreads(std::size_t threads, std::size_t n) {
    const std::size_t chunks = (n + kMinChunk - 1) / kMinChunk;
    return std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(chunks, 1));
}

}  // namespace

int threadsFor(int asked) noexcept {
    return asked > 0 ? asked : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

BatchPool::BatchPool(int threads) {
    const std::size_t t = threads < 1 ? 1 : static_cast<std::size_t>(threads);
    // Everything is allocated before any helper starts, so that a failed
    // allocation reaches the caller rather than ending a thread.
    spaces_.reserve(t);
    for (std::size_t k = 0; k < t; ++k) spaces_.push_back(std::make_unique<SolverWorkspace>());
    helpers_ = std::make_unique<Helper[]>(t);
    threads_.reserve(t - 1);
    for (std::size_t k = 1; k < t; ++k) {
        try {
            threads_.emplace_back([this, k] { serve(k); });
        } catch (const std::system_error&) {
            break;  // no more threads to be had: work with those started
        } catch (...) {
            stop();  // the helpers started so far must not outlive the pool
            throw;
        }
    }
    spaces_.resize(threads_.size() + 1);
}

BatchPool::~BatchPool() { stop(); }

void BatchPool::stop() noexcept {
    stopping_ = true;
    for (std::size_t k = 1; k <= threads_.size(); ++k) {
        helpers_[k].go.fetch_add(1, std::memory_order_release);
        helpers_[k].go.notify_one();
    }
    for (std::thread& th : threads_) th.join();
}

void BatchPool::serve(std::size_t k) noexcept {
    Helper& h = helpers_[k];
    unsigned seen = 0;
    for (;;) {
        seen = awaitChange(h.go, seen);
        if (stopping_) return;
        h.solved = solveChunks(k);
        finished_.fetch_add(1, std::memory_order_release);
        finished_.notify_one();
    }
}

int BatchPool::solveChunks(std::size_t k) noexcept {
    SolverWorkspace& ws = *spaces_[k];
    const std::size_t n = count_;
    int solved = 0;
    std::size_t begin = next_.load(std::memory_order_relaxed);
    for (;;) {
        std::size_t chunk = 0;
        do {
            if (begin >= n) return solved;
            chunk = std::clamp((n - begin) / (engaged_ * kParts), kMinChunk, kMaxChunk);
        } while (!next_.compare_exchange_weak(begin, begin + chunk, std::memory_order_relaxed));
        const std::size_t end = std::min(begin + chunk, n);
        for (std::size_t i = begin; i < end; ++i) {
            const Frame target = poses_ != nullptr ? frameOf(poses_[i]) : frames_[i];
            solved += solveAll(*model_, ws, target, *options_, out_[i]) > 0;
        }
        begin = next_.load(std::memory_order_relaxed);
    }
}

int BatchPool::solve(const SolverModel& model, std::span<const Frame> targets,
                     const SolveOptions& options, std::span<SolveResult> out) noexcept {
    frames_ = targets.data();
    poses_ = nullptr;
    return run(model, targets.size(), options, out);
}

int BatchPool::solve(const SolverModel& model, std::span<const armkin::Pose> targets,
                     const SolveOptions& options, std::span<SolveResult> out) noexcept {
    frames_ = nullptr;
    poses_ = targets.data();
    return run(model, targets.size(), options, out);
}

int BatchPool::run(const SolverModel& model, std::size_t n, const SolveOptions& options,
                   std::span<SolveResult> out) noexcept {
    if (!model.valid || out.size() < n) return -1;
    model_ = &model;
    options_ = &options;
    count_ = n;
    out_ = out;
    engaged_ = usefulThreads(spaces_.size(), n);
    next_.store(0, std::memory_order_relaxed);
    finished_.store(0, std::memory_order_relaxed);
    for (std::size_t k = 0; k < engaged_; ++k) prepareWorkspace(model, *spaces_[k]);
    for (std::size_t k = 1; k < engaged_; ++k) {
        helpers_[k].go.fetch_add(1, std::memory_order_release);
        helpers_[k].go.notify_one();
    }
    int solved = solveChunks(0);
    const auto helpers = static_cast<unsigned>(engaged_ - 1);
    for (unsigned f = finished_.load(std::memory_order_acquire); f != helpers;) {
        f = awaitChange(finished_, f);
    }
    for (std::size_t k = 1; k < engaged_; ++k) solved += helpers_[k].solved;
    return solved;
}

namespace {

//! One batch on a pool of its own, sized to the targets.
template <class Target>
int solveOnce(const SolverModel& model, std::span<const Target> targets, const SolveOptions& options,
              std::span<SolveResult> out, int threads) {
    if (!model.valid || out.size() < targets.size()) return -1;
    const std::size_t asked = threads < 1 ? 1 : static_cast<std::size_t>(threads);
    BatchPool pool(static_cast<int>(usefulThreads(asked, targets.size())));
    return pool.solve(model, targets, options, out);
}

}  // namespace

int solveBatch(const SolverModel& model, std::span<const Frame> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads) {
    return solveOnce(model, targets, options, out, threads);
}

int solveBatch(const SolverModel& model, std::span<const armkin::Pose> targets,
               const SolveOptions& options, std::span<SolveResult> out, int threads) {
    return solveOnce(model, targets, options, out, threads);
}

}  // namespace kin
