//! Arms without a closed form: starts from the spherical closed form at the
//! wrist axes' nearest point, the engine's written PTP answers, the seed and
//! a fixed spread of joint vectors, each polished on all six joints.

#include <cmath>

#include "solver/internal.hpp"

namespace kin::solver {

namespace {

//! Starts of the spread: a Halton sequence over the joint box, fixed, so
//! the answers do not depend on anything but the pose.
constexpr int kSpread = 40;

}  // namespace

double halton(int index, int base) {
    double f = 1.0, r = 0.0;
    for (int i = index; i > 0; i /= base) {
        f /= base;
        r += f * (i % base);
    }
    return r;
}

bool generalCandidates(Solve& s) {
    const SolverModel& m = s.model;
    SolverWorkspace& ws = s.ws;
    const Frame& target = s.target;
    const SolveOptions& o = s.options;
    // A wrist whose axes nearly meet: the closed form of the arm with its
    // wrist centre at their nearest point starts close to every branch.
    if (m.kind == WristKind::General && m.nearlySpherical) sphericalCandidates(s);
    SolutionList written{};
    const Axes axes{target.X, target.Y, target.Z};
    const int nw = ws.engine.inverseKinematics(6, target.O, axes, o.seed, written, kModePtp);
    for (int i = 0; i < nw; ++i) ws.candidates.push(written[i]);
    ws.candidates.push(o.seed);
    static constexpr int kPrimes[6] = {2, 3, 5, 7, 11, 13};
    for (int i = 1; i <= kSpread; ++i) {
        Joints q{};
        for (int k = 0; k < 6; ++k) {
            const double t = halton(i, kPrimes[k]) * 2.0 - 1.0;
            q[k] = m.model.jointTypes[k] == 'R' ? t * M_PI : t * m.scale;
        }
        if (!ws.candidates.push(q)) break;
    }
    return true;
}

}  // namespace kin::solver
