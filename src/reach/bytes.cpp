//! A study as bytes, so that other processes (a cluster's workers) run
//! exactly the same study: the arm description, options, targets and
//! placements as they lie in memory, behind a header naming the format,
//! the library version and the byte order.

#include <cstring>
#include <type_traits>

#include <armkin/version.hpp>

#include "reach/study_impl.hpp"

namespace armkin {

namespace {

constexpr char kMagic[8] = {'a', 'r', 'm', 'k', 'r', 'c', 'h', '1'};
constexpr std::uint32_t kByteOrderMark = 0x01020304u;

static_assert(std::is_trivially_copyable_v<ArmDescription> && std::is_trivially_copyable_v<ReachOptions> &&
              std::is_trivially_copyable_v<Pose> && std::is_trivially_copyable_v<Placement>);

template <typename T>
void put(std::string& out, const T& v) {
    out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

template <typename T>
bool take(std::string_view& in, T& v) {
    if (in.size() < sizeof v) return false;
    std::memcpy(&v, in.data(), sizeof v);
    in.remove_prefix(sizeof v);
    return true;
}

template <typename T>
bool takeVector(std::string_view& in, std::vector<T>& v) {
    std::uint64_t n = 0;
    if (!take(in, n) || n > in.size() / sizeof(T)) return false;
    v.resize(static_cast<std::size_t>(n));
    std::memcpy(v.data(), in.data(), v.size() * sizeof(T));
    in.remove_prefix(v.size() * sizeof(T));
    return true;
}

}  // namespace

std::string toBytes(const ReachStudy& study) {
    std::string out(kMagic, sizeof kMagic);
    put(out, kByteOrderMark);
    const std::string v = version();
    put(out, static_cast<std::uint32_t>(v.size()));
    out += v;
    put(out, study.model().arm());
    put(out, study.options());
    put(out, static_cast<std::uint64_t>(study.targets().size()));
    out.append(reinterpret_cast<const char*>(study.targets().data()), study.targets().size_bytes());
    put(out, static_cast<std::uint64_t>(study.placements().size()));
    out.append(reinterpret_cast<const char*>(study.placements().data()), study.placements().size_bytes());
    return out;
}

bool fromBytes(std::string_view in, ReachStudy& out, std::string* reason) {
    auto refuse = [&](const char* why) {
        if (reason) *reason = why;
        return false;
    };
    char magic[sizeof kMagic];
    std::uint32_t mark = 0, length = 0;
    if (!take(in, magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0)
        return refuse("not a reach study's bytes");
    if (!take(in, mark) || mark != kByteOrderMark) return refuse("a reach study of another byte order");
    if (!take(in, length) || in.size() < length || in.substr(0, length) != version())
        return refuse("a reach study of another armkin version");
    in.remove_prefix(length);
    ArmDescription arm;
    ReachOptions options;
    std::vector<Pose> targets;
    std::vector<Placement> placements;
    if (!take(in, arm) || !take(in, options) || !takeVector(in, targets) || !takeVector(in, placements) ||
        !in.empty())
        return refuse("a reach study's bytes cut short or too long");
    return out.setUp(arm, std::move(targets), std::move(placements), options, reason);
}

}  // namespace armkin
