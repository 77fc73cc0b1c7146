#pragma once
// ik_batch's work, free of Python: poses are checked, then solved on several
// threads, each with its own engine and one SolveResult, in chunks taken in
// turn. A finished chunk's solutions are appended, in pose order, to compact
// columns that grow with what was found (realloc: large ones grow by
// remapping, without a copy) and are finally handed to numpy as they are.
// Nothing here touches a Python object, so all of it runs without the GIL.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include <armkin/armkin.hpp>

namespace armkin_py {

//! A growing array of trivially copyable T in malloc'd memory, which
//! release() hands over (to be freed with std::free).
template <class T>
class Column {
public:
    Column() = default;
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;
    ~Column() { std::free(data_); }

    std::size_t size() const noexcept { return size_; }
    void append(const T* values, std::size_t n);
    //! The data, shrunk to size (never null), now the caller's.
    T* release();

private:
    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

//! Per-pose outputs, n entries each (offsets n + 1), written in place.
struct PoseColumns {
    std::int64_t* offsets;    //!< solutions of pose i: [offsets[i], offsets[i + 1])
    std::uint8_t* reasons;    //!< armkin::Status of each pose
    std::int32_t* branches;   //!< SolveResult::branches
    bool* truncated;          //!< SolveResult::truncated
};

class BatchSolver {
public:
    //! threads: 0 for every core.
    BatchSolver(const armkin::ArmDescription& arm, const armkin::SolveOptions& options, int threads);

    //! The index of the first of n row-major 4x4 transforms that cannot be
    //! solved, with the reason written to *reason (see poseFault); -1 when
    //! every one can.
    std::ptrdiff_t firstFault(const double* poses, std::size_t n, const char** reason) const;

    //! Solves n row-major 4x4 transforms, writing the per-pose columns and
    //! appending the solutions to the columns below. Returns false when a
    //! pose turned out unusable while solving (its array changed after
    //! firstFault): faultIndex and faultReason then say which and why.
    bool solve(const double* poses, std::size_t n, const PoseColumns& out);

    std::size_t faultIndex() const noexcept { return faultIndex_; }
    const char* faultReason() const noexcept { return faultReason_; }
    //! How many poses of the last solve() have SolveResult::truncated set.
    std::size_t truncatedPoses() const noexcept { return truncatedPoses_; }

    //! Every solution, in pose order.
    Column<double> joints;  //!< six per solution
    Column<double> positionError;
    Column<double> rotationError;
    Column<std::uint8_t> statuses;  //!< armkin::SolutionStatus

private:
    struct Piece;

    armkin::ArmDescription arm_;
    armkin::SolveOptions options_;
    int threads_;
    std::size_t faultIndex_ = SIZE_MAX;
    const char* faultReason_ = nullptr;
    std::size_t truncatedPoses_ = 0;
};

template <class T>
void Column<T>::append(const T* values, std::size_t n) {
    if (n == 0) return;
    if (size_ + n > capacity_) {
        std::size_t capacity = capacity_ < 512 ? 512 : 2 * capacity_;
        if (capacity < size_ + n) capacity = size_ + n;
        void* grown = std::realloc(data_, capacity * sizeof(T));
        if (grown == nullptr) throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = capacity;
    }
    std::copy(values, values + n, data_ + size_);
    size_ += n;
}

template <class T>
T* Column<T>::release() {
    void* kept = std::realloc(data_, (size_ == 0 ? 1 : size_) * sizeof(T));
    T* out = kept != nullptr ? static_cast<T*>(kept) : data_;
    if (out == nullptr) throw std::bad_alloc();
    data_ = nullptr;
    size_ = capacity_ = 0;
    return out;
}

}  // namespace armkin_py
