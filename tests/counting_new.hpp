#pragma once
//! Every global operator new of the test program that includes this header
//! is replaced by one that counts in `allocations`, so that a test can check
//! that a call allocates nothing. Include it in one file of a program only.

// The replaced operators pair malloc with free; GCC cannot see that pairing
// through inlined test factories and warns falsely.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

//! Allocations so far.
std::atomic<long> allocations{0};

void* counted(std::size_t n) {
    ++allocations;
    return std::malloc(n == 0 ? 1 : n);
}

void* countedAligned(std::size_t n, std::align_val_t a) {
    ++allocations;
    const std::size_t align = static_cast<std::size_t>(a);
    return std::aligned_alloc(align, (n + align - 1) / align * align);
}

}  // namespace

void* operator new(std::size_t n) {
    if (void* p = counted(n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    if (void* p = counted(n)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return counted(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return counted(n); }
void* operator new(std::size_t n, std::align_val_t a) {
    if (void* p = countedAligned(n, a)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) {
    if (void* p = countedAligned(n, a)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
