// The complete solver never allocates during a solve: every global
// operator new of this program is replaced by one that counts, and the
// count must not move across solveAll, solveNearest and solveTrack on every
// test arm, singular and unreachable poses included.

// The replaced operators pair malloc with free; GCC cannot see that pairing
// through inlined test factories and warns falsely.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <cstdlib>
#include <new>
#include <memory>
#include <random>
#include <vector>

#include "fixtures/sliding_arms.hpp"
#include "fixtures/solver_arms.hpp"

namespace {

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

namespace kin {
namespace {

using namespace kin::testing;

void sweep(const ArmDescription& d, std::mt19937_64& rng) {
    auto rig = std::make_unique<SolverRig>(d);
    std::uniform_real_distribution<double> U(-M_PI, M_PI);
    std::vector<Frame> targets;
    std::vector<Joints> seeds;
    for (int i = 0; i < 60; ++i) {
        Joints q;
        for (double& v : q) v = U(rng);
        if (i == 0) q = Joints{};
        if (i == 1) q[4] = 0.0;
        targets.push_back(rig->target(q));
        for (double& v : q) v += 0.05;
        seeds.push_back(q);
    }
    targets[2].O.x += 50.0;
    auto result = std::make_unique<SolveResult>();
    SolveOptions o;
    o.limits.lower[0] = -2.0 * M_PI;
    o.limits.upper[0] = 2.0 * M_PI;
    Solution s;
    const long before = allocations.load();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        solveAll(rig->model, rig->ws, targets[i], o, *result);
        solveNearest(rig->model, rig->ws, targets[i], seeds[i], o, s);
        solveTrack(rig->model, rig->ws, targets[i], seeds[i], o, s);
    }
    EXPECT_EQ(allocations.load(), before);
}

TEST(SolverNoAllocation, EveryArm) {
    std::mt19937_64 rng(8);
    for (const SolverArm& arm : solverArms()) {
        SCOPED_TRACE(arm.name);
        sweep(arm.description, rng);
    }
    for (const SlidingArm& arm : slidingArms()) {
        SCOPED_TRACE(arm.name);
        sweep(describe(arm), rng);
    }
}

}  // namespace
}  // namespace kin
