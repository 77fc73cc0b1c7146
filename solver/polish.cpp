//! The six-joint polish: Levenberg-Marquardt with the analytic Jacobian,
//! started from each closed-form candidate (or numeric start), and the
//! selection of the polished branches.

#include <cmath>

#include "solver/internal.hpp"

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

//! Distance of two joint values: modulo 2 pi for a turning joint.
double jointGap(char type, double a, double b) {
    const double d = a - b;
    return type == 'R' ? std::fabs(std::remainder(d, 2.0 * M_PI)) : std::fabs(d);
}

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
    for (int round = 0; round < 30; ++round) {
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
        Joints next = q;
        double moved = 0.0;
        for (int k = 0; k < 6; ++k) {
            next[k] += dq[k];
            moved = std::fmax(moved, std::fabs(dq[k]));
        }
        int iterations = 0;
        if (!polish(m, ws, target, o, next, iterations)) return;
        q = next;
        if (moved < 1e-9) return;
    }
}

}  // namespace

bool polish(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
            const SolveOptions& o, Joints& q, int& iterations) {
    ChainPose c;
    Jacobian J;
    chainPose(m, q, c);
    Twist e = poseTwist(c, target);
    double cost = sumSq(e);
    double lambda = 1e-12;
    iterations = 0;
    // The twist's rotation part is sin(angle) times the axis, so half the
    // tolerances leaves room for the exact measure checked at the end.
    const double tp = 0.5 * o.positionTolerance;
    const double tr = 0.5 * o.rotationTolerance;
    for (int it = 0; it <= o.polishIterations; ++it) {
        if (!std::isfinite(cost)) return false;
        if (norm3(e, 0) <= tp && norm3(e, 3) <= tr) {
            double pe = 0.0, re = 0.0;
            poseResiduals(m, ws.fk, q, target, pe, re);
            if (pe <= o.positionTolerance && re <= o.rotationTolerance) return true;
        }
        if (it == o.polishIterations) break;
        jacobian(m, c, J);
        double A[6][6];
        double g[6];
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
        bool stepped = false;
        while (lambda < 1e8) {
            double D[6][6];
            for (int i = 0; i < 6; ++i) {
                for (int j = 0; j < 6; ++j) D[i][j] = A[i][j];
                D[i][i] += lambda * (A[i][i] + 1e-12);
            }
            double dq[6];
            if (choleskySolve(D, g, dq)) {
                Joints qn = q;
                for (int k = 0; k < 6; ++k) qn[k] += dq[k];
                ChainPose cn;
                chainPose(m, qn, cn);
                const Twist en = poseTwist(cn, target);
                const double cn2 = sumSq(en);
                if (cn2 < cost) {
                    q = qn;
                    c = cn;
                    e = en;
                    cost = cn2;
                    lambda = std::fmax(lambda * 0.1, 1e-15);
                    stepped = true;
                    break;
                }
            }
            lambda *= 10.0;
        }
        ++iterations;
        if (!stepped) {
            // No step lowers the error any more: this is as close as the
            // arithmetic gets. Accept only if that meets the tolerances.
            double pe = 0.0, re = 0.0;
            poseResiduals(m, ws.fk, q, target, pe, re);
            return pe <= o.positionTolerance && re <= o.rotationTolerance;
        }
    }
    return false;
}

void polishCandidates(const SolverModel& m, SolverWorkspace& ws, const Frame& target,
                      const SolveOptions& o, bool anyCandidate) {
    SolveResult& b = ws.branches;
    b.count = 0;
    b.truncated = false;
    const CandidateSet& cs = ws.candidates;
    const double singularMerge = std::fmax(o.duplicateTolerance, 1e-3);
    for (int i = 0; i < cs.count; ++i) {
        Joints q = cs.q[i];
        int iterations = 0;
        if (!polish(m, ws, target, o, q, iterations)) continue;
        ChainPose c;
        Jacobian J;
        chainPose(m, q, c);
        jacobian(m, c, J);
        const bool singular = cs.wristFree[i] || volumeRatio(J) < o.singularTolerance;
        if (singular) settleFamily(m, ws, target, o, q);
        bool duplicate = false;
        for (int k = 0; k < b.count && !duplicate; ++k) {
            const bool bothSingular =
                singular && b.solutions[k].status == SolutionStatus::Singular;
            duplicate = sameBranch(m, q, b.solutions[k].joints,
                                   bothSingular ? singularMerge : o.duplicateTolerance);
        }
        if (duplicate) continue;
        if (b.count == kMaxSolverSolutions) {
            b.truncated = true;
            break;
        }
        Solution& s = b.solutions[b.count++];
        s.joints = q;
        poseResiduals(m, ws.fk, q, target, s.positionError, s.rotationError);
        s.status = singular ? SolutionStatus::Singular
                            : (iterations == 0 ? SolutionStatus::Exact : SolutionStatus::Converged);
    }
    if (b.count > 0) {
        b.status = SolveStatus::Solved;
    } else {
        b.status = anyCandidate ? SolveStatus::NotConverged : SolveStatus::OutOfReach;
    }
}

}  // namespace kin::solver
