//! The six-joint polish: Levenberg-Marquardt with the analytic Jacobian,
//! started from each closed-form candidate (or numeric start), and the
//! selection of the polished branches.

#include <cmath>

#include "numeric/round.hpp"
#include "solver/internal.hpp"
#include "solver/least_squares.hpp"

namespace kin::solver {

namespace {

double norm3(const Twist& e, int s) {
    return std::sqrt(e[s] * e[s] + e[s + 1] * e[s + 1] + e[s + 2] * e[s + 2]);
}

double sumSq(const Twist& e) {
    double s = 0.0;
    for (double v : e) s += v * v;
    return s;
}

//! Solves the symmetric positive definite system A x = b (Cholesky).
//! False when a pivot is not positive.
bool choleskySolve(double A[6][6], const double b[6], double x[6]) {
    double L[6][6] = {};
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j <= i; ++j) {
            double s = A[i][j];
            for (int k = 0; k < j; ++k) s -= L[i][k] * L[j][k];
            if (i == j) {
                if (!(s > 0.0)) return false;
                L[i][i] = std::sqrt(s);
            } else {
                L[i][j] = s / L[j][j];
            }
        }
    }
    double y[6];
    for (int i = 0; i < 6; ++i) {
        double s = b[i];
        for (int k = 0; k < i; ++k) s -= L[i][k] * y[k];
        y[i] = s / L[i][i];
    }
    for (int i = 5; i >= 0; --i) {
        double s = y[i];
        for (int k = i + 1; k < 6; ++k) s -= L[k][i] * x[k];
        x[i] = s / L[i][i];
    }
    return true;
}

//! Whether a and b are one branch: every joint within tol (modulo a turn).
bool sameBranch(const SolverModel& m, const Joints& a, const Joints& b, double tol) {
    for (int k = 0; k < 6; ++k) {
        if (!(jointGap(m.model.jointTypes[k], a[k], b[k]) <= tol)) return false;
    }
    return true;
}

//! A singular solution stands for a continuous family: slide it along the
//! family (the Jacobian's null space, to first order) towards the seed and
//! polish it back onto the target, so that every member found of one
//! family ends at the same representative, the member nearest the seed.
void settleFamily(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
                  const SolveOptions& o, Joints& q) {
    // Directions whose singular value is below sqrt(kNull) count as free.
    constexpr double kNull = 1e-10;
    // Longest step along the family per round, rad or length units.
    constexpr double kStep = 0.25;
    for (int round = 0; round < 60; ++round) {
        ChainPose c;
        Jacobian J;
        chainPose(m, q, c);
        jacobian(m, c, J);
        double A[6][6];
        double v[6];
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j <= i; ++j) {
                double s = 0.0;
                for (int r = 0; r < 6; ++r) s += J[i][r] * J[j][r];
                A[i][j] = A[j][i] = s;
            }
            A[i][i] += kNull;
            v[i] = kNull * (o.seed[i] - q[i]);
        }
        double dq[6];
        if (!choleskySolve(A, v, dq)) return;
        double moved = 0.0;
        for (int k = 0; k < 6; ++k) moved = std::fmax(moved, std::fabs(dq[k]));
        if (moved < 1e-9) return;
        const double shrink = moved > kStep ? kStep / moved : 1.0;
        Joints stepped = q;
        for (int k = 0; k < 6; ++k) stepped[k] += dq[k] * shrink;
        Joints next = stepped;
        int iterations = 0;
        if (!polish(m, ws, target, o, next, iterations)) return;
        // On a true family the polish only corrects the curvature of the
        // step; a solution that is merely close to a singularity is pulled
        // back instead, and stays where it was.
        double pulled = 0.0;
        for (int k = 0; k < 6; ++k) pulled = std::fmax(pulled, std::fabs(next[k] - stepped[k]));
        if (pulled > 0.1 * moved * shrink + 1e-9) return;
        q = next;
    }
}

}  // namespace

bool polish(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
            const SolveOptions& o, Joints& q, int& iterations) {
    Polished p;
    const bool ok = polish(m, ws, target, o, q, p);
    iterations = p.iterations;
    return ok;
}

namespace {

//! The six-joint pose error as a least-squares problem: the twist from the
//! tool to the target over the joints.
struct PosePolish {
    const SolverModel& m;
    SolverWorkspace& ws;
    const Frame& target;
    const SolveOptions& o;
    Joints& q;
    Polished& out;
    Twist e{};
    double sum = 0.0;
    bool measured = true;  //!< out's residuals belong to q

    double cost() const { return sum; }
    bool converged() {
        // The twist's rotation part is sin(angle) times the axis, so half the
        // tolerances leaves room for the exact measure checked here.
        if (!(norm3(e, 0) <= 0.5 * o.positionTolerance && norm3(e, 3) <= 0.5 * o.rotationTolerance))
            return false;
        if (!measured) chainPoseFk(m, ws.fk, q, target, out.pose, out.positionError, out.rotationError);
        measured = true;
        return out.positionError <= o.positionTolerance && out.rotationError <= o.rotationTolerance;
    }
    void normalEquations(double A[6][6], double g[6]) {
        Jacobian J;
        jacobian(m, out.pose, J);
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j <= i; ++j) {
                double s = 0.0;
                for (int r = 0; r < 6; ++r) s += J[i][r] * J[j][r];
                A[i][j] = A[j][i] = s;
            }
            double s = 0.0;
            for (int r = 0; r < 6; ++r) s += J[i][r] * e[r];
            g[i] = s;
        }
    }
    bool solve(double D[6][6], const double g[6], double dq[6]) const { return choleskySolve(D, g, dq); }
    bool tryStep(const double dq[6]) {
        Joints qn = q;
        for (int k = 0; k < 6; ++k) qn[k] += dq[k];
        ChainPose cn;
        chainPose(m, qn, cn);
        const Twist en = poseTwist(cn, target);
        const double cn2 = sumSq(en);
        if (!(cn2 < sum)) return false;
        measured = false;
        q = qn;
        out.pose = cn;
        e = en;
        sum = cn2;
        return true;
    }
};

}  // namespace

bool polish(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
            const SolveOptions& o, Joints& q, Polished& out) {
    chainPoseFk(m, ws.fk, q, target, out.pose, out.positionError, out.rotationError);
    PosePolish p{m, ws, target, o, q, out};
    p.e = poseTwist(out.pose, target);
    p.sum = sumSq(p.e);
    LsqOptions lsq;
    lsq.maxIterations = o.polishIterations;
    const LsqSummary summary = minimize<6>(p, lsq);
    out.iterations = summary.iterations;
    switch (summary.status) {
    case LsqStatus::Converged: return true;
    case LsqStatus::NoProgress:
        // No step lowers the error any more: this is as close as the
        // arithmetic gets. Accept only if that meets the tolerances.
        poseResiduals(m, ws.fk, q, target, out.positionError, out.rotationError);
        return out.positionError <= o.positionTolerance && out.rotationError <= o.rotationTolerance;
    case LsqStatus::IterationLimit:
    case LsqStatus::NotFinite: return false;
    }
    return false;
}

void nearestCopies(const SolverModel& m, const SolveOptions& o, Joints& q) {
    for (int k = 0; k < 6; ++k) {
        if (m.model.jointTypes[k] == 'R') {
            q[k] += turnsShift(o.seed[k] - q[k]);
        }
    }
}

namespace {

//! The check of a candidate that carries its turns: the solver's chain from
//! the recorded frames on, the residuals, and the polish's own test at its
//! start (the twist within half the tolerances, the residuals within
//! them). Writes p (no iterations); false when the candidate misses.
bool checkTurns(const SolverModel& m, const CandidateSet& cs, int i, const Frame& target,
                const SolveOptions& o, const Joints& q, Polished& p) {
    if (const int k = cs.prefix[i]; k >= 0) {
        const CandidateSet::Prefix& f = cs.prefixes[k];
        for (int j = 0; j < f.depth; ++j) p.pose.joint[j] = f.joint[j];
        chainPose(m, q, cs.turns[i], p.pose, f.depth, &f.next);
    } else {
        chainPose(m, q, cs.turns[i], p.pose, 0);
    }
    toolResiduals(p.pose, target, p.positionError, p.rotationError);
    p.iterations = 0;
    const Twist e = poseTwist(p.pose, target);
    return norm3(e, 0) <= 0.5 * o.positionTolerance && norm3(e, 3) <= 0.5 * o.rotationTolerance &&
           p.positionError <= o.positionTolerance && p.rotationError <= o.rotationTolerance;
}

}  // namespace

bool finishCandidate(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
                     const SolveOptions& o, int i, Solution& s, bool tryQuick) {
    CandidateSet& cs = ws.candidates;
    Joints q = cs.q[i];
    nearestCopies(m, o, q);
    if (tryQuick && quickCheck(m, cs, i, target, o, s.positionError, s.rotationError)) {
        s.joints = q;
        s.status = SolutionStatus::Exact;
        return true;
    }
    Polished p;
    if (!(cs.hasTurns[i] && checkTurns(m, cs, i, target, o, q, p)) && !polish(m, ws, target, o, q, p)) {
        return false;
    }
    const bool singular = cs.wristFree[i] || singularAt(m, p.pose, o.singularTolerance);
    if (singular) {
        settleFamily(m, ws, target, o, q);
        nearestCopies(m, o, q);
        poseResiduals(m, ws.fk, q, target, p.positionError, p.rotationError);
    }
    s.joints = q;
    s.positionError = p.positionError;
    s.rotationError = p.rotationError;
    s.status = singular ? SolutionStatus::Singular
                        : (p.iterations == 0 ? SolutionStatus::Exact : SolutionStatus::Converged);
    return true;
}

bool sameSolution(const SolverModel& m, const SolveOptions& o, const Solution& a, const Solution& b) {
    const bool bothSingular = a.status == SolutionStatus::Singular && b.status == SolutionStatus::Singular;
    return sameBranch(m, a.joints, b.joints,
                      bothSingular ? std::fmax(o.duplicateTolerance, 1e-3) : o.duplicateTolerance);
}

bool keepBranch(const SolverModel& m, const SolveOptions& o, BranchSet& b, const Solution& s) {
    for (int k = 0; k < b.count; ++k) {
        if (sameSolution(m, o, s, b.solutions[k])) {
            // Two members of one singular family (or two ends of a
            // near-tangent pair): keep the one nearer the seed.
            Solution& kept = b.solutions[k];
            if (s.status == SolutionStatus::Singular &&
                seedDistance(o, s.joints, o.seed) < seedDistance(o, kept.joints, o.seed)) {
                kept = s;
            }
            return true;
        }
    }
    if (b.count == BranchSet::kCapacity) {
        b.truncated = true;
        return false;
    }
    b.solutions[b.count++] = s;
    return true;
}

void polishCandidates(Solve& solve, bool anyCandidate) {
    const SolverModel& m = solve.model;
    SolverWorkspace& ws = solve.ws;
    const Frame& target = solve.target;
    const SolveOptions& o = solve.options;
    BranchSet& b = ws.branches;
    b.count = 0;
    b.truncated = false;
    b.reason = "";
    CandidateSet& cs = ws.candidates;
    std::array<QuickResult, 2> quick;
    bool paired = false;
    for (int i = 0; i < cs.count; ++i) {
        Solution s;
        // Candidates in twos (the two wrist solutions of a branch) take the
        // quick check together.
        if (i % 2 == 0) paired = i + 1 < cs.count && quickCheckPair(m, cs, i, target, o, quick);
        const QuickResult& r = quick[i % 2];
        if (paired && r.passed) {
            s.joints = cs.q[i];
            nearestCopies(m, o, s.joints);
            s.positionError = r.positionError;
            s.rotationError = r.rotationError;
            s.status = SolutionStatus::Exact;
        } else if (!finishCandidate(m, ws, target, o, i, s, !paired)) {
            continue;
        }
        if (!keepBranch(m, o, b, s)) break;
    }
    if (b.count > 0) {
        b.status = Status::Ok;
    } else {
        b.status = anyCandidate ? Status::NotConverged : Status::OutOfReach;
    }
}

}  // namespace kin::solver
