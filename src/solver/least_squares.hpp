#pragma once
//! A small damped least-squares core (Levenberg-Marquardt) for N unknowns:
//! fixed size, no allocation, one damping schedule for every caller.

#include <cmath>

namespace kin::solver {

struct LsqOptions {
    double initialDamping = 1e-12;
    double maxDamping = 1e8;     //!< no step at this damping or above: no progress
    double dampingUp = 10.0;     //!< after a step that does not lower the cost
    double dampingDown = 0.1;    //!< after one that does
    double minDamping = 1e-15;
    //! Added to each diagonal entry before it is scaled by the damping, so
    //! that a joint the error does not depend on is still damped.
    double diagonalFloor = 1e-12;
    int maxIterations = 40;
};

enum class LsqStatus : unsigned char {
    Converged,       //!< the problem's own test passed
    NoProgress,      //!< no damping gave a step that lowers the cost
    IterationLimit,
    NotFinite,       //!< the cost is not a finite number
};

struct LsqSummary {
    LsqStatus status = LsqStatus::IterationLimit;
    int iterations = 0;  //!< steps taken
};

//! Minimises p's cost from its current point. Problem provides
//!   double cost() const;                        the cost at the current point
//!   bool converged();                           the stop test there
//!   void normalEquations(double A[N][N], double g[N]);  J^T J and J^T e there
//!   bool solve(double D[N][N], const double g[N], double dx[N]);
//!   bool tryStep(const double dx[N]);           moves by dx if that lowers the cost
template <int N, class Problem>
LsqSummary minimize(Problem& p, const LsqOptions& o) {
    LsqSummary s;
    double lambda = o.initialDamping;
    for (int it = 0; it <= o.maxIterations; ++it) {
        if (!std::isfinite(p.cost())) {
            s.status = LsqStatus::NotFinite;
            return s;
        }
        if (p.converged()) {
            s.status = LsqStatus::Converged;
            return s;
        }
        if (it == o.maxIterations) break;
        double A[N][N];
        double g[N];
        p.normalEquations(A, g);
        bool stepped = false;
        while (lambda < o.maxDamping) {
            double D[N][N];
            for (int i = 0; i < N; ++i) {
                for (int j = 0; j < N; ++j) D[i][j] = A[i][j];
                D[i][i] += lambda * (A[i][i] + o.diagonalFloor);
            }
            double dx[N];
            if (p.solve(D, g, dx) && p.tryStep(dx)) {
                lambda = std::fmax(lambda * o.dampingDown, o.minDamping);
                stepped = true;
                break;
            }
            lambda *= o.dampingUp;
        }
        ++s.iterations;
        if (!stepped) {
            s.status = LsqStatus::NoProgress;
            return s;
        }
    }
    s.status = LsqStatus::IterationLimit;
    return s;
}

}  // namespace kin::solver
