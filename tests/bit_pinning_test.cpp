// Pins the exact bits of every result of the engine on a fixed set of
// poses: the forward kinematics of each typed vector, every PTP solution
// (from all zeros), the CP answer (from a neighbour 0.05 away in every
// joint) and every position-only solution. Any change of a single bit in
// any of them fails the test, so speed work can prove it changed nothing.
//
// Each entry of kPins holds the solution counts and a 64-bit FNV-1a hash of
// the bit patterns of the doubles (the count first, then joint 0..5 of each
// solution in list order; for CP, entry 0 of the list whatever the count).
//
// When the results change on purpose, regenerate the table and paste it
// over kPins:
//   ARMKIN_PRINT_PINS=1 build/test/tests/bit_pinning_test
// (the test then prints the table and is reported as skipped).

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "numeric/euler.hpp"
#include "fixtures/test_arms.hpp"

namespace kin {
namespace {

using kin::builtinArm;
using testing::setUp;

// Typed joint vectors: the all-zero arm (wrist centre on the waist axis,
// wrist axes aligned), two hand-picked vectors, a nearly aligned wrist, a
// stretched elbow, a shoulder at a quarter turn, then random vectors.
constexpr Joints kTyped[] = {
    {{0.0, 0.0, 0.0, 0.0, 0.0, 0.0}},
    {{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}},
    {{1.0, -1.0, 0.5, 2.0, -0.7, 3.0}},
    {{0.4, 0.9, -1.2, 0.3, 1e-3, -0.8}},
    {{0.3, 0.4, 0.0, 0.5, 1.0, -0.5}},
    {{0.0, 1.5708, 0.0, 0.0, 0.0, 0.0}},
    {{0.7722, 1.5192, 1.8548, 2.7800, 1.5073, 2.6536}},
    {{-2.9594, -0.2160, 2.7857, 0.9360, 2.5189, -2.4303}},
    {{-0.1943, -1.5923, 0.2750, 0.4646, -3.0592, -1.7798}},
    {{-1.3856, 2.6160, 1.6696, -2.1388, 1.8670, -2.2697}},
    {{0.7380, -2.3455, -3.1304, 2.3336, -1.8255, -1.7877}},
    {{3.0311, 2.3399, -1.3238, 2.8996, 0.2464, 1.1173}},
    {{-1.8549, 2.7707, 1.1978, 2.9315, 2.4740, -1.2642}},
    {{-0.8722, -2.0989, -2.2261, -2.7323, -1.2481, 0.6479}},
    {{-3.1203, 1.1180, -1.0185, -1.1941, 2.0013, -0.1210}},
    {{-1.1574, -0.1180, 1.2860, -2.7835, 2.9851, -2.9979}},
    {{1.5695, 2.1670, -3.0281, 1.8079, -0.8408, 0.4933}},
    {{-3.0846, -2.8480, -2.0048, 2.8600, -1.9068, 1.6068}},
    {{2.6996, 2.7774, -0.9778, -0.9124, 0.1552, 1.7317}},
    {{-2.4627, 1.5607, 1.8675, 2.2600, -2.9114, 2.8011}},
};
constexpr int kPoses = sizeof kTyped / sizeof kTyped[0];

struct Pin {
    int ptpCount, cpCount, positionCount;
    std::uint64_t fk, ptp, cp, position;
};

// Generated with ARMKIN_PRINT_PINS=1 (see the top of the file).
constexpr Pin kPins[kPoses] = {
    {0, 0, 0, 0xc6ce78e0b547ef99u, 0xa8c7f832281a39c5u, 0x8ac123d6f7dce585u, 0xa8c7f832281a39c5u},
    {8, 1, 4, 0x20a69c9f0d3484aeu, 0xbf0bdbf0e1f64620u, 0x70322126c7d0168eu, 0x443da6e03f1a475du},
    {8, 1, 4, 0x522179424105a672u, 0x8e8621612bff739du, 0x6c2c07b751b28b10u, 0xed8eb08f0e2a5fe2u},
    {8, 1, 4, 0xa75697aabcf77e9cu, 0x1b356f0fe5e2aa59u, 0x42296cb999d94f48u, 0x14050ae9e3e7177fu},
    {4, 1, 4, 0xa819266dfd10a1a3u, 0xd8172ac0ffb03fa2u, 0x98396ee4c9443590u, 0xf7acfbb4858d83a2u},
    {8, 0, 4, 0x7cf8aa2efd6a57a7u, 0xee6bca72ffdf27ccu, 0x8ac123d6f7dce585u, 0x076cb69632baf835u},
    {8, 1, 4, 0x9cf8f24e4a3a46f6u, 0x0bdc49f254eb76d4u, 0xcaaff3327a6f22bbu, 0xcd0197d45efa6debu},
    {4, 1, 4, 0x9a4a39b27adff89cu, 0xe32d619a6bdef9a5u, 0xb18c0db809670f90u, 0x6b881161d25c33d8u},
    {8, 1, 4, 0x4e0537e8ee8cb59au, 0x54c5bbce33b48eefu, 0x13179f99354b8789u, 0x28abed40dfe6bb95u},
    {8, 1, 4, 0x2ea1e8c464731b0eu, 0x9ae6a1c1a836e143u, 0xfd756661c796feb6u, 0x11d49fbdd1b6782du},
    {4, 1, 4, 0x193499bfdaeeeab7u, 0x7f1db176bcd1d4e1u, 0x28ded7d4f492a6c2u, 0x7012b175b64f35d2u},
    {8, 1, 4, 0x4c5d7eac3cfe2cd4u, 0x36c2d487fada4781u, 0xabd7614486b72529u, 0xb48093b3bdfaba31u},
    {8, 1, 4, 0x6456a28cc9d335c3u, 0x25df54c70ddc5082u, 0x6309c172413bf49bu, 0x9ec649689c1e9b34u},
    {8, 1, 4, 0x7b61f6981f5b8d93u, 0x2fa176c6ae572086u, 0xbbc4c90bf34425a8u, 0xedc58d5a0bd15041u},
    {8, 1, 4, 0x6b788bce87227d40u, 0xa3734b7eb5706a24u, 0xae473a145f8bd4b4u, 0x9648aede2f91f051u},
    {8, 1, 4, 0xaa571e3bcadbab33u, 0x6168c4aea9617cfau, 0xf42e68b738d2fe28u, 0x1a49d6dc52c42a2eu},
    {8, 1, 4, 0x2bbeecf7a289416fu, 0x1cec28fdc8c2c6fau, 0x4c5bad24df83ae77u, 0x4eb02aaabe3b6ea6u},
    {8, 1, 4, 0xc0ae54275666b7c2u, 0x989675cafd9d9486u, 0xf3a259d3980a2f6fu, 0x1621fce704cebf12u},
    {8, 1, 4, 0xc7f37894b188759du, 0xa9708ef546fcc1beu, 0x0b030bc4332617c1u, 0x487bafa4d7307a8du},
    {8, 1, 4, 0xd632ff4c05259563u, 0x4d61c59df69ae4c8u, 0x2be954e75e5f9665u, 0x5320937c28c28fbdu},
};

class Hash {
public:
    void add(std::uint64_t bits) {
        for (int i = 0; i < 8; ++i) {
            h_ ^= (bits >> (8 * i)) & 0xffu;
            h_ *= 0x100000001b3u;
        }
    }
    void add(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        add(bits);
    }
    void add(const Joints& q) {
        for (double v : q) add(v);
    }
    std::uint64_t value() const { return h_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325u;
};

std::uint64_t hashSolutions(int count, const SolutionList& sols, int hashed) {
    Hash h;
    h.add(static_cast<std::uint64_t>(count));
    for (int k = 0; k < hashed; ++k) h.add(sols[k]);
    return h.value();
}

void printHex(const char* what, const SolutionList& sols, int n) {
    for (int k = 0; k < n; ++k) {
        std::printf("  %s[%d]:", what, k);
        for (double v : sols[k]) std::printf(" %a", v);
        std::printf("\n");
    }
}

// Runs every operation on pose i with one engine (the engine keeps its
// records between calls, so the order is part of what is pinned).
Pin measure(Kinematics& e, int i, bool verbose) {
    const Joints& q = kTyped[i];
    Pin pin{};

    Vec3 pos;
    EulerZYZ euler;
    e.analys(6, q.data(), pos, euler);
    Hash fk;
    fk.add(pos.x), fk.add(pos.y), fk.add(pos.z);
    fk.add(euler.phi), fk.add(euler.theta), fk.add(euler.psi);
    pin.fk = fk.value();
    const Axes axes = eulerToAxes(euler);

    SolutionList sols{};
    const Joints zeros{};
    pin.ptpCount = e.inverseKinematics(6, pos, axes, zeros, sols, kModePtp);
    pin.ptp = hashSolutions(pin.ptpCount, sols, pin.ptpCount);
    if (verbose) printHex("PTP", sols, pin.ptpCount);

    sols = SolutionList{};
    Joints near = q;
    for (int j = 0; j < 6; ++j) near[j] += j % 2 == 0 ? 0.05 : -0.05;
    pin.cpCount = e.inverseKinematics(6, pos, axes, near, sols, kModeCp);
    pin.cp = hashSolutions(pin.cpCount, sols, 1);
    if (verbose) printHex("CP", sols, 1);

    sols = SolutionList{};
    pin.positionCount = e.inverseKinematics(6, pos, axes, q, sols, kModePositionOnly);
    pin.position = hashSolutions(pin.positionCount, sols, pin.positionCount);
    if (verbose) printHex("position only", sols, pin.positionCount);
    return pin;
}

TEST(BitPinning, EveryResultKeepsItsBits) {
    Kinematics e;
    setUp(e, builtinArm());
    if (std::getenv("ARMKIN_PRINT_PINS") != nullptr) {
        for (int i = 0; i < kPoses; ++i) {
            const Pin p = measure(e, i, false);
            std::printf("    {%d, %d, %d, 0x%016" PRIx64 "u, 0x%016" PRIx64 "u, 0x%016" PRIx64
                        "u, 0x%016" PRIx64 "u},\n",
                        p.ptpCount, p.cpCount, p.positionCount, p.fk, p.ptp, p.cp, p.position);
        }
        GTEST_SKIP() << "printed the table instead of checking it";
    }
    for (int i = 0; i < kPoses; ++i) {
        const Pin p = measure(e, i, false);
        const Pin& want = kPins[i];
        const bool same = p.ptpCount == want.ptpCount && p.cpCount == want.cpCount &&
                          p.positionCount == want.positionCount && p.fk == want.fk &&
                          p.ptp == want.ptp && p.cp == want.cp && p.position == want.position;
        EXPECT_TRUE(same) << "pose " << i << ": counts " << p.ptpCount << "/" << p.cpCount << "/"
                          << p.positionCount << " (pinned " << want.ptpCount << "/"
                          << want.cpCount << "/" << want.positionCount << "); fk "
                          << (p.fk == want.fk ? "same" : "changed") << ", PTP "
                          << (p.ptp == want.ptp ? "same" : "changed") << ", CP "
                          << (p.cp == want.cp ? "same" : "changed") << ", position only "
                          << (p.position == want.position ? "same" : "changed");
        if (!same) {
            // Replays the sequence up to this pose to show the values.
            Kinematics replay;
            setUp(replay, builtinArm());
            for (int j = 0; j < i; ++j) measure(replay, j, false);
            measure(replay, i, true);
        }
    }
}

}  // namespace
}  // namespace kin
