#include "batch.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "convert.hpp"

namespace armkin_py {

namespace {

//! Poses per chunk: small enough to keep every thread busy to the end and
//! few chunks waiting for an earlier one, large enough that taking and
//! appending a chunk costs nothing beside solving it.
constexpr std::size_t kChunkPoses = 256;

}  // namespace

//! The solutions of one chunk of poses, compact, until its turn to be
//! appended. Pieces are reused, so their memory is touched once.
struct BatchSolver::Piece {
    std::vector<double> joints;
    std::vector<double> positionError;
    std::vector<double> rotationError;
    std::vector<std::uint8_t> statuses;
    std::size_t faultIndex = SIZE_MAX;
    const char* faultReason = nullptr;

    void clear() {
        joints.clear();
        positionError.clear();
        rotationError.clear();
        statuses.clear();
        faultIndex = SIZE_MAX;
        faultReason = nullptr;
    }
};

BatchSolver::BatchSolver(const armkin::ArmDescription& arm, const armkin::SolveOptions& options,
                         int threads)
    : arm_(arm), options_(options), threads_(threads) {
    if (threads_ <= 0) threads_ = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::ptrdiff_t BatchSolver::firstFault(const double* poses, std::size_t n, const char** reason) const {
    armkin::Pose p;
    for (std::size_t i = 0; i < n; ++i) {
        if (const char* why = poseFault(poses + 16 * i, options_, p)) {
            *reason = why;
            return static_cast<std::ptrdiff_t>(i);
        }
    }
    return -1;
}

bool BatchSolver::solve(const double* poses, std::size_t n, const PoseColumns& out) {
    const std::size_t chunks = (n + kChunkPoses - 1) / kChunkPoses;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr failure;

    // Appending is in chunk order: a chunk finished before an earlier one
    // waits in `waiting`; whoever appends the earlier one appends it too.
    std::mutex appendLock;
    std::size_t nextToAppend = 0;
    std::map<std::size_t, std::unique_ptr<Piece>> waiting;
    std::vector<std::unique_ptr<Piece>> spare;
    out.offsets[0] = 0;
    truncatedPoses_ = 0;

    auto solveChunk = [&](armkin::Engine& engine, armkin::SolveResult& result, std::size_t c,
                          Piece& piece) {
        const std::size_t end = std::min(n, (c + 1) * kChunkPoses);
        for (std::size_t i = c * kChunkPoses; i < end; ++i) {
            armkin::Pose target;
            if (const char* why = poseFault(poses + 16 * i, options_, target)) {
                piece.faultIndex = i;
                piece.faultReason = why;
                return;
            }
            engine.solve(target, options_, result);
            out.offsets[i + 1] = result.count;  // made cumulative when appended
            out.reasons[i] = static_cast<std::uint8_t>(result.status);
            out.branches[i] = result.branches;
            out.truncated[i] = result.truncated;
            for (int k = 0; k < result.count; ++k) {
                const armkin::Solution& s = result.solutions[k];
                piece.joints.insert(piece.joints.end(), s.joints.begin(), s.joints.end());
                piece.positionError.push_back(s.positionError);
                piece.rotationError.push_back(s.rotationError);
                piece.statuses.push_back(static_cast<std::uint8_t>(s.status));
            }
        }
    };
    // Under appendLock.
    auto append = [&](std::size_t c, const Piece& piece) {
        if (faultReason_ != nullptr) return;  // the first refused pose is the one reported
        if (piece.faultReason != nullptr) {
            faultIndex_ = piece.faultIndex;
            faultReason_ = piece.faultReason;
            stop = true;
            return;
        }
        joints.append(piece.joints.data(), piece.joints.size());
        positionError.append(piece.positionError.data(), piece.positionError.size());
        rotationError.append(piece.rotationError.data(), piece.rotationError.size());
        statuses.append(piece.statuses.data(), piece.statuses.size());
        const std::size_t end = std::min(n, (c + 1) * kChunkPoses);
        for (std::size_t i = c * kChunkPoses; i < end; ++i) {
            out.offsets[i + 1] += out.offsets[i];
            truncatedPoses_ += out.truncated[i];
        }
    };
    auto worker = [&] {
        try {
            armkin::Engine engine;
            if (!engine.setUp(arm_)) throw std::logic_error("the arm no longer sets up");
            auto result = std::make_unique<armkin::SolveResult>();
            auto piece = std::make_unique<Piece>();
            while (!stop.load(std::memory_order_relaxed)) {
                const std::size_t c = next.fetch_add(1, std::memory_order_relaxed);
                if (c >= chunks) break;
                piece->clear();
                solveChunk(engine, *result, c, *piece);
                const std::lock_guard<std::mutex> hold(appendLock);
                if (c != nextToAppend) {
                    waiting.emplace(c, std::move(piece));
                    if (spare.empty()) {
                        piece = std::make_unique<Piece>();
                    } else {
                        piece = std::move(spare.back());
                        spare.pop_back();
                    }
                    continue;
                }
                append(c, *piece);
                ++nextToAppend;
                for (auto w = waiting.begin(); w != waiting.end() && w->first == nextToAppend;
                     w = waiting.erase(w), ++nextToAppend) {
                    append(w->first, *w->second);
                    spare.push_back(std::move(w->second));
                }
            }
        } catch (...) {
            const std::lock_guard<std::mutex> hold(appendLock);
            if (!failure) failure = std::current_exception();
            stop = true;
        }
    };

    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(threads_), chunks);
    std::vector<std::thread> pool;
    if (count > 1) pool.reserve(count - 1);
    try {
        for (std::size_t k = 1; k < count; ++k) pool.emplace_back(worker);
    } catch (...) {
        stop = true;
        for (std::thread& t : pool) t.join();
        throw;
    }
    if (count > 0) worker();
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
    return faultReason_ == nullptr;
}

}  // namespace armkin_py
