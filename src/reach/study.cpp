//! Setting a reach study up: the arm, the targets and placements checked,
//! and the turns of the placements and spins computed once.

#include <cmath>
#include <numbers>

#include "reach/study_impl.hpp"

namespace armkin {

namespace {

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

bool finitePose(const Pose& p) {
    if (!finite(p.position)) return false;
    for (const auto& row : p.rotation)
        for (double v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

bool refuse(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
    return false;
}

Vec3 unit(const Vec3& v) {
    const double n = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / n, v.y / n, v.z / n};
}

}  // namespace

Rotation spunAboutZ(const Rotation& r, const Turn& t) noexcept {
    Rotation out = r;
    for (int row = 0; row < 3; ++row) {
        out[row][0] = r[row][0] * t.c + r[row][1] * t.s;
        out[row][1] = r[row][1] * t.c - r[row][0] * t.s;
    }
    return out;
}

bool surfacePose(const Vec3& p, const Vec3& n, Pose& out) noexcept {
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!finite(p) || !finite(n) || !(length > 0.0) || !std::isfinite(length)) return false;
    const Vec3 z = unit({-n.x, -n.y, -n.z});
    // World X, or world Y when X lies within about 25 degrees of the tool
    // axis, made orthogonal to it.
    const Vec3 ref = std::abs(z.x) > 0.9 ? Vec3{0.0, 1.0, 0.0} : Vec3{1.0, 0.0, 0.0};
    const double d = ref.x * z.x + ref.y * z.y + ref.z * z.z;
    const Vec3 x = unit({ref.x - d * z.x, ref.y - d * z.y, ref.z - d * z.z});
    const Vec3 y{z.y * x.z - z.z * x.y, z.z * x.x - z.x * x.z, z.x * x.y - z.y * x.x};
    out.position = p;
    out.rotation = {{{x.x, y.x, z.x}, {x.y, y.y, z.y}, {x.z, y.z, z.z}}};
    return true;
}

ReachStudy::ReachStudy() : impl_(std::make_unique<Impl>()) {}
ReachStudy::~ReachStudy() = default;
ReachStudy::ReachStudy(ReachStudy&&) noexcept = default;
ReachStudy& ReachStudy::operator=(ReachStudy&&) noexcept = default;

ReachWorkspace::ReachWorkspace() : impl_(std::make_unique<Impl>()) {}
ReachWorkspace::~ReachWorkspace() = default;
ReachWorkspace::ReachWorkspace(ReachWorkspace&&) noexcept = default;
ReachWorkspace& ReachWorkspace::operator=(ReachWorkspace&&) noexcept = default;

bool ReachStudy::setUp(const ArmDescription& arm, std::vector<Pose> targets,
                       std::vector<Placement> placements, const ReachOptions& options,
                       std::string* reason) {
    impl_ = std::make_unique<Impl>();
    Impl fresh;
    if (const SetupResult r = fresh.model.setUp(arm); !r) return refuse(reason, "arm: " + describe(r));
    if (targets.empty()) return refuse(reason, "the study has no targets");
    if (placements.empty()) return refuse(reason, "the study has no placements");
    if (options.spins < 1 || options.spins > kMaxReachSpins)
        return refuse(reason, "spins must be a whole number from 1 to " + std::to_string(kMaxReachSpins));
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const char* why = "";
        if (!finitePose(targets[i]) || checkTarget(targets[i], SolveOptions{}, &why) != Status::Ok)
            return refuse(reason, "target " + std::to_string(i) + ": " +
                                      (finitePose(targets[i]) ? why : "a value that is not finite"));
    }
    for (std::size_t i = 0; i < placements.size(); ++i) {
        if (!finite(placements[i].position) || !std::isfinite(placements[i].turn))
            return refuse(reason, "placement " + std::to_string(i) + ": a value that is not finite");
    }
    for (int k = 0; k < 6; ++k) {
        if (!std::isfinite(options.seed[k])) return refuse(reason, "the seed is not finite");
        if (!(options.weights[k] > 0.0) || !std::isfinite(options.weights[k]))
            return refuse(reason, "the weights must be positive and finite");
        if (!(options.limits.lower[k] <= options.limits.upper[k]))
            return refuse(reason, "joint " + std::to_string(k) + ": the lower limit exceeds the upper");
    }
    if (static_cast<std::uint64_t>(targets.size()) > (std::uint64_t{1} << 62) / placements.size() ||
        placements.size() > static_cast<std::size_t>(INT32_MAX))
        return refuse(reason, "too many target-placement pairs");
    fresh.solve.limits = options.limits;
    fresh.solve.seed = options.seed;
    fresh.solve.weights = options.weights;
    if (const char* why = ""; checkTarget(Pose{}, fresh.solve, &why) != Status::Ok)
        return refuse(reason, why);
    fresh.options = options;
    fresh.targets = std::move(targets);
    fresh.placements = std::move(placements);
    for (const Placement& p : fresh.placements)
        fresh.placementTurns.push_back({std::cos(p.turn), std::sin(p.turn)});
    for (int k = 0; k < options.spins; ++k) {
        // Spin 0 is the target's own rotation, exactly.
        const double a = 2.0 * std::numbers::pi * k / options.spins;
        fresh.spinTurns.push_back(k == 0 ? Turn{} : Turn{std::cos(a), std::sin(a)});
    }
    *impl_ = std::move(fresh);
    return true;
}

const Model& ReachStudy::model() const noexcept { return impl_->model; }
const ReachOptions& ReachStudy::options() const noexcept { return impl_->options; }
std::span<const Pose> ReachStudy::targets() const noexcept { return impl_->targets; }
std::span<const Placement> ReachStudy::placements() const noexcept { return impl_->placements; }
std::int64_t ReachStudy::targetCount() const noexcept {
    return static_cast<std::int64_t>(impl_->targets.size());
}
std::int64_t ReachStudy::placementCount() const noexcept {
    return static_cast<std::int64_t>(impl_->placements.size());
}
std::int64_t ReachStudy::pairCount() const noexcept { return targetCount() * placementCount(); }
std::int64_t ReachStudy::chunkCount(std::int64_t chunkSize) const noexcept {
    if (chunkSize < 1) return 0;
    return (pairCount() + chunkSize - 1) / chunkSize;
}

Pose ReachStudy::armTarget(const Pose& target, const Placement& p) const noexcept {
    return placedTarget(target, p, Turn{std::cos(p.turn), std::sin(p.turn)});
}

Pose placedTarget(const Pose& target, const Placement& p, const Turn& t) noexcept {
    // placement^-1 target: turned back by -turn about Z after the shift.
    Pose out;
    const Vec3 d{target.position.x - p.position.x, target.position.y - p.position.y,
                 target.position.z - p.position.z};
    out.position = {t.c * d.x + t.s * d.y, t.c * d.y - t.s * d.x, d.z};
    for (int c = 0; c < 3; ++c) {
        out.rotation[0][c] = t.c * target.rotation[0][c] + t.s * target.rotation[1][c];
        out.rotation[1][c] = t.c * target.rotation[1][c] - t.s * target.rotation[0][c];
        out.rotation[2][c] = target.rotation[2][c];
    }
    return out;
}

}  // namespace armkin
