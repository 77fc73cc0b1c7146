//! Checking a target before a solve: finite values, usable options, and a
//! rotation that is a proper rotation (or its nearest proper rotation, on
//! request).

#include <cmath>
#include <utility>

#include "solver/internal.hpp"

namespace armkin {

namespace {

//! Below this deviation a target rotation is solved as given: rounding in
//! the last bits of a computed pose, nothing to repair.
constexpr double kSolveAsGiven = 1e-14;

bool finite(const Rotation& r) {
    for (const auto& row : r)
        for (double v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

//! Largest |(R^T R - I)_ij|.
double orthonormalDeviation(const Rotation& r) {
    double worst = 0.0;
    for (int a = 0; a < 3; ++a)
        for (int b = a; b < 3; ++b) {
            double d = 0.0;
            for (int k = 0; k < 3; ++k) d += r[k][a] * r[k][b];
            const double e = std::fabs(d - (a == b ? 1.0 : 0.0));
            if (e > worst) worst = e;  // the caller has checked r is finite
        }
    return worst;
}

double determinant(const Rotation& r) {
    return r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
           r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
           r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
}

const char* optionsFault(const SolveOptions& o) {
    if (!(o.positionTolerance > 0.0) || !(o.rotationTolerance > 0.0))
        return "the position and rotation tolerances must be positive";
    if (!(o.singularTolerance >= 0.0)) return "the singular tolerance must not be negative";
    if (!(o.duplicateTolerance >= 0.0)) return "the duplicate tolerance must not be negative";
    if (o.polishIterations < 0) return "the polish iterations must not be negative";
    for (int k = 0; k < 6; ++k) {
        if (!std::isfinite(o.seed[k])) return "the seed must be finite";
        if (!(o.weights[k] >= 0.0) || !std::isfinite(o.weights[k]))
            return "the seed weights must be finite and not negative";
        if (std::isnan(o.limits.lower[k]) || std::isnan(o.limits.upper[k]))
            return "a joint limit is not a number";
        if (o.limits.lower[k] > o.limits.upper[k]) return "a lower joint limit lies above its upper limit";
    }
    return nullptr;
}

//! The largest eigenvalue of the symmetric 4x4 matrix K and its unit
//! eigenvector, by cyclic Jacobi rotations. Returns false when the largest
//! eigenvalue is not simple (no unique eigenvector).
bool largestEigenvector(double K[4][4], double v[4]) {
    double V[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int sweep = 0; sweep < 50; ++sweep) {
        double off = 0.0;
        for (int p = 0; p < 4; ++p)
            for (int q = p + 1; q < 4; ++q) off += K[p][q] * K[p][q];
        if (off == 0.0) break;
        for (int p = 0; p < 4; ++p)
            for (int q = p + 1; q < 4; ++q) {
                if (K[p][q] == 0.0) continue;
                const double theta = (K[q][q] - K[p][p]) / (2.0 * K[p][q]);
                const double t = (theta >= 0.0 ? 1.0 : -1.0) /
                                 (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0);
                const double s = t * c;
                for (int k = 0; k < 4; ++k) {
                    const double kp = K[k][p];
                    const double kq = K[k][q];
                    K[k][p] = c * kp - s * kq;
                    K[k][q] = s * kp + c * kq;
                }
                for (int k = 0; k < 4; ++k) {
                    const double pk = K[p][k];
                    const double qk = K[q][k];
                    K[p][k] = c * pk - s * qk;
                    K[q][k] = s * pk + c * qk;
                }
                for (int k = 0; k < 4; ++k) {
                    const double vp = V[k][p];
                    const double vq = V[k][q];
                    V[k][p] = c * vp - s * vq;
                    V[k][q] = s * vp + c * vq;
                }
            }
    }
    int best = 0;
    for (int i = 1; i < 4; ++i)
        if (K[i][i] > K[best][best]) best = i;
    double scale = 0.0;
    for (int i = 0; i < 4; ++i) scale = std::fmax(scale, std::fabs(K[i][i]));
    for (int i = 0; i < 4; ++i) {
        if (i != best && K[best][best] - K[i][i] <= 1e-12 * scale) return false;
    }
    for (int k = 0; k < 4; ++k) v[k] = V[k][best];
    return true;
}

}  // namespace

Status nearestRotation(const Rotation& m, Rotation& out) noexcept {
    if (!finite(m)) return Status::InvalidInput;
    // trace(R^T M) = q^T K q for the rotation R of unit quaternion q: the
    // nearest rotation's quaternion is K's leading eigenvector.
    double K[4][4] = {
        {m[0][0] + m[1][1] + m[2][2], m[2][1] - m[1][2], m[0][2] - m[2][0], m[1][0] - m[0][1]},
        {m[2][1] - m[1][2], m[0][0] - m[1][1] - m[2][2], m[0][1] + m[1][0], m[0][2] + m[2][0]},
        {m[0][2] - m[2][0], m[0][1] + m[1][0], m[1][1] - m[0][0] - m[2][2], m[1][2] + m[2][1]},
        {m[1][0] - m[0][1], m[0][2] + m[2][0], m[1][2] + m[2][1], m[2][2] - m[0][0] - m[1][1]}};
    double q[4];
    if (!largestEigenvector(K, q)) return Status::InvalidInput;
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    out = {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
    return Status::Ok;
}

Status checkTarget(const Pose& target, const SolveOptions& options, const char** reason) noexcept {
    Rotation solveFor;
    bool repaired = false;
    const char* why = kin::solver::targetFault(target, options, solveFor, repaired);
    if (reason != nullptr) *reason = why == nullptr ? "" : why;
    return why == nullptr ? Status::Ok : Status::InvalidInput;
}

}  // namespace armkin

namespace kin::solver {

const char* targetFault(const armkin::Pose& target, const SolveOptions& options,
                        armkin::Rotation& solveFor, bool& repaired) {
    const Vec3& p = target.position;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z) || !armkin::finite(target.rotation))
        return "the target is not finite";
    if (const char* fault = armkin::optionsFault(options)) return fault;
    const double deviation = armkin::orthonormalDeviation(target.rotation);
    const double det = armkin::determinant(target.rotation);
    repaired = false;
    solveFor = target.rotation;
    if (deviation <= armkin::kSolveAsGiven && det > 0.0) return nullptr;
    if (!options.orthonormalize) {
        if (!(det > 0.0) && deviation <= 1.0)
            return "the rotation is a reflection (determinant -1), not a rotation";
        if (deviation > armkin::kRotationCheckTolerance)
            return "the rotation is not orthonormal within 1e-9 (orthonormalize solves for the "
                   "nearest rotation)";
    }
    if (armkin::nearestRotation(target.rotation, solveFor) != armkin::Status::Ok)
        return "the rotation has no unique nearest rotation";
    repaired = true;
    return nullptr;
}

}  // namespace kin::solver
