//! Every branch of an arm without a closed form, by elimination.
//!
//! The target and the six joints close a loop. Cut at one turning joint,
//! the loop says where that joint's axis lies in two ways: through three
//! joints on one side, through two joints and the target on the other.
//! Fourteen quantities of the axis (its direction l and point p, p.p, l.p,
//! l x p and l (p.p) - 2 p (l.p)) are, on each side, sums of products of
//! (1, cos u, sin u) per turning joint, or (1, u, u^2) per sliding joint.
//! The target's side has eight such products beside the constant; six
//! combinations of the fourteen equations are free of them. With half-angle
//! tangents of the next two joints and the six equations also multiplied
//! by the first tangent, that is a 12 x 12 linear system in the tangents'
//! monomials whose matrix is linear in (1, cos, sin) of the remaining joint:
//! the joint's values are the real roots of its determinant, a
//! trigonometric polynomial, and each root's null vector gives the two
//! other joints; a linear solve gives the two eliminated ones and the cut
//! joint follows from the pose. Both sides' coefficients are found by
//! sampling the loop at three values per joint, so no symbolic expansion is
//! needed, and the same code serves every arm and both joint kinds.
//!
//! Of the four ways to cut a loop with the target beside the eliminated
//! joints, set-up keeps the one that best recovers a fixed set of the arm's
//! own poses.

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "numeric/frame.hpp"
#include "solver/internal.hpp"

namespace kin::solver {

namespace {

using Mat12 = Eigen::Matrix<double, 12, 12>;
using Mat14x8 = Eigen::Matrix<double, kLoopEquations, 8>;

//! Samples of the determinant per turn: more than twice its degree (at most
//! 12, and 8 on most cuts; LoopCut::detSamples).
constexpr int kDetSamples = 32;
//! Search grid for the determinant's real roots.
constexpr int kRootGrid = 256;

//! A joint axis as a line: direction and point.
struct Line {
    Vec3 l{0.0, 0.0, 1.0};
    Vec3 p{0.0, 0.0, 0.0};
};

Line apply(const Frame& F, const Line& a) { return {frameApplyVector(F, a.l), frameApplyPoint(F, a.p)}; }
Line applyInverse(const Frame& F, const Line& a) {
    return {frameInvApplyVector(F, a.l), frameInvApplyPoint(F, a.p)};
}

Vec3 turnZ(const Vec3& v, double c, double s) { return {c * v.x - s * v.y, s * v.x + c * v.y, v.z}; }

//! Joint motion of the given kind by u (scaled units), or its inverse.
Line move(char type, double u, const Line& a) {
    if (type == 'R') {
        const double c = std::cos(u), s = std::sin(u);
        return {turnZ(a.l, c, s), turnZ(a.p, c, s)};
    }
    return {a.l, {a.p.x + u, a.p.y, a.p.z}};
}

using Quantities = std::array<double, kLoopEquations>;

Quantities quantities(const Line& a) {
    const Vec3& l = a.l;
    const Vec3& p = a.p;
    const double pp = dot3(p, p);
    const double lp = dot3(l, p);
    const Vec3 lxp = cross3(l, p);
    return {l.x, l.y, l.z, p.x, p.y, p.z, pp, lp, lxp.x, lxp.y, lxp.z,
            l.x * pp - 2.0 * p.x * lp, l.y * pp - 2.0 * p.y * lp, l.z * pp - 2.0 * p.z * lp};
}

//! The three sample values of a joint and the weights that turn samples
//! into coefficients of (1, cos u, sin u) or (1, u, u^2).
double sampleValue(char type, int i) { return type == 'R' ? i * (kFullTurn / 3.0) : i - 1.0; }

double sampleWeight(char type, int term, int i) {
    // Rows: the constant, cos u and sin u (or u and u^2) from the three
    // samples; cos(2 pi / 3) = -1/2, sin(2 pi / 3) = sqrt(3) / 2.
    static constexpr double kHalfRoot3 = 0.57735026918962576451;  // 1 / sqrt(3)
    static constexpr double turning[3][3] = {
        {1.0 / 3.0, 1.0 / 3.0, 1.0 / 3.0}, {2.0 / 3.0, -1.0 / 3.0, -1.0 / 3.0}, {0.0, kHalfRoot3, -kHalfRoot3}};
    static constexpr double sliding[3][3] = {{0.0, 1.0, 0.0}, {-0.5, 0.0, 0.5}, {0.5, -1.0, 0.5}};
    return type == 'R' ? turning[term][i] : sliding[term][i];
}

//! The terms of a joint at value u.
std::array<double, 3> terms(char type, double u) {
    if (type == 'R') return {1.0, std::cos(u), std::sin(u)};
    return {1.0, u, u * u};
}

//! Powers of the half-angle tangent x that term j becomes once multiplied
//! by (1 + x^2); sliding joints use u itself.
double powerOf(char type, int term, int power) {
    static constexpr double turning[3][3] = {{1.0, 0.0, 1.0}, {1.0, 0.0, -1.0}, {0.0, 2.0, 0.0}};
    if (type == 'R') return turning[term][power];
    return term == power ? 1.0 : 0.0;
}

//! The joint value from the ratio num/den of consecutive powers of its
//! half-angle tangent (or of itself when sliding).
double fromRatio(char type, double num, double den) {
    if (type == 'R') return std::remainder(2.0 * std::atan2(num, den), kFullTurn);
    return num / den;
}

//! The constant side at loop values u2, u3, u4: E1 K2 E2 K3 E3 K4 E4 applied
//! to the cut joint's axis.
Line leftSide(const LoopCut& c, const std::array<Frame, 6>& link, double u2, double u3, double u4) {
    Line a;
    a = apply(link[4], a);
    a = move(c.type[4], u4, a);
    a = apply(link[3], a);
    a = move(c.type[3], u3, a);
    a = apply(link[2], a);
    a = move(c.type[2], u2, a);
    return apply(link[1], a);
}

//! The constant side's coefficients over its 27 terms, from 27 samples.
void leftCoefficients(const LoopCut& c, const std::array<Frame, 6>& link, LeftCoefficients& out) {
    std::array<Quantities, 27> samples;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                samples[9 * i + 3 * j + k] = quantities(leftSide(
                    c, link, sampleValue(c.type[2], i), sampleValue(c.type[3], j), sampleValue(c.type[4], k)));
    // Separable: one joint's samples at a time.
    for (int e = 0; e < kLoopEquations; ++e) {
        double a[27], b[27];
        for (int s = 0; s < 27; ++s) a[s] = samples[s][e];
        for (int i = 0; i < 3; ++i)      // joint 4
            for (int j = 0; j < 9; ++j)  // (joint 2 sample, joint 3 sample)
                b[3 * j + i] = sampleWeight(c.type[4], i, 0) * a[3 * j] + sampleWeight(c.type[4], i, 1) * a[3 * j + 1] +
                               sampleWeight(c.type[4], i, 2) * a[3 * j + 2];
        for (int i2 = 0; i2 < 3; ++i2)
            for (int t3 = 0; t3 < 3; ++t3)
                for (int t4 = 0; t4 < 3; ++t4) {
                    double v = 0.0;
                    for (int i3 = 0; i3 < 3; ++i3) v += sampleWeight(c.type[3], t3, i3) * b[9 * i2 + 3 * i3 + t4];
                    a[9 * i2 + 3 * t3 + t4] = v;
                }
        for (int t2 = 0; t2 < 3; ++t2)
            for (int r = 0; r < 9; ++r) {
                double v = 0.0;
                for (int i2 = 0; i2 < 3; ++i2) v += sampleWeight(c.type[2], t2, i2) * a[9 * i2 + r];
                out[e][9 * t2 + r] = v;
            }
    }
}

//! The target's side at loop values u0, u1: K1^-1 E0^-1 K0^-1 E5^-1.
Line rightSide(const LoopCut& c, const std::array<Frame, 6>& link, double u0, double u1) {
    Line a;
    a = applyInverse(link[5], a);
    a = move(c.type[0], -u0, a);
    a = applyInverse(link[0], a);
    return move(c.type[1], -u1, a);
}

//! The loop's links for one target: the constant ones and the target's.
std::array<Frame, 6> linksFor(const LoopCut& c, const Frame& target) {
    Frame t = target;
    t.O = {t.O.x / c.scale, t.O.y / c.scale, t.O.z / c.scale};
    const Frame flange = frameMul(t, c.toolInverse);  // the last joint frame on target
    std::array<Frame, 6> link = c.link;
    link[c.targetAt] = c.reversed ? frameMul(frameInverse(c.baseLink), flange)
                                  : frameMul(frameInverse(flange), c.baseLink);
    return link;
}

//! The trigonometric polynomial a0 + sum a_k cos k t + b_k sin k t.
struct TrigPoly {
    int degree = 0;
    std::array<double, 17> a{};
    std::array<double, 17> b{};

    //! Value, slope and second derivative at the angle whose cosine and
    //! sine are c1, s1.
    void evalAt(double c1, double s1, double& v, double& d, double& dd) const {
        double ck = 1.0, sk = 0.0;
        v = a[0];
        d = 0.0;
        dd = 0.0;
        for (int k = 1; k <= degree; ++k) {
            const double cn = ck * c1 - sk * s1;
            sk = sk * c1 + ck * s1;
            ck = cn;
            const double even = a[k] * ck + b[k] * sk;
            v += even;
            d += k * (b[k] * ck - a[k] * sk);
            dd -= k * k * even;
        }
    }
    //! Value and slope at angle t.
    void eval(double t, double& v, double& d) const {
        double dd;
        evalAt(std::cos(t), std::sin(t), v, d, dd);
    }
    //! Slope and second derivative at angle t.
    void evalSlope(double t, double& d, double& dd) const {
        double v;
        evalAt(std::cos(t), std::sin(t), v, d, dd);
    }
    double value(double t) const {
        double v, d;
        eval(t, v, d);
        return v;
    }
};

//! A root of f in [lo, hi] where f(lo), f(hi) differ in sign: Newton steps
//! kept inside a shrinking bracket.
template <class F>
double bracketedRoot(F f, double lo, double hi, double flo) {
    double t = 0.5 * (lo + hi);
    for (int it = 0; it < 80 && hi - lo > 1e-15; ++it) {
        double v, d;
        f(t, v, d);
        if (v == 0.0) return t;
        if ((v < 0.0) == (flo < 0.0)) {
            lo = t;
            flo = v;
        } else {
            hi = t;
        }
        double next = d != 0.0 ? t - v / d : 0.5 * (lo + hi);
        if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
        if (std::fabs(next - t) < 1e-15) return next;
        t = next;
    }
    return t;
}

//! The real roots of p in [0, 2 pi). A grid cell with one sign change and
//! slopes that agree with it holds one root; a cell whose curve heads
//! towards zero at either end may hold two more, so it is halved (a few
//! times, then its turning point decides: two roots when it crosses, one
//! when it touches within tiny). Writes up to out.size(), returns how many.
class RootFinder {
public:
    RootFinder(const TrigPoly& p, double tiny, std::array<double, 32>& out) : p_(p), tiny_(tiny), out_(out) {}

    int run() {
        // The grid by turning (cos, sin) one step at a time: no libm calls.
        const double step = kFullTurn / kRootGrid;
        const double cs = std::cos(step), ss = std::sin(step);
        double c = 1.0, s = 0.0;
        Point a{0.0, 1.0, 0.0, 0.0, 0.0, 0.0};
        p_.evalAt(c, s, a.v, a.d, a.dd);
        const Point first = a;
        for (int j = 1; j <= kRootGrid; ++j) {
            const double cn = c * cs - s * ss;
            s = s * cs + c * ss;
            c = cn;
            Point b{j * step, c, s, 0.0, 0.0, 0.0};
            if (j == kRootGrid) {
                b.v = first.v;
                b.d = first.d;
                b.dd = first.dd;
            } else {
                p_.evalAt(c, s, b.v, b.d, b.dd);
            }
            cell(a, b, 0);
            a = b;
        }
        return n_;
    }

private:
    struct Point {
        double t, c, s, v, d, dd;  //!< angle, its cosine and sine, value, slope, curvature
    };
    static constexpr int kSplits = 5;
    //! The curvature inside a cell is taken as at most this many times the
    //! larger at its ends.
    static constexpr double kCurveMargin = 4.0;
    //! Below this (the largest coefficient being 1) the curve counts as flat.
    static constexpr double kFlat = 1e-4;

    //! The point halfway between a and b (less than a half turn apart):
    //! its cosine and sine from theirs, without a library call.
    Point middle(const Point& a, const Point& b) const {
        const double c = a.c + b.c, s = a.s + b.s;
        const double n = 1.0 / std::sqrt(c * c + s * s);
        Point q{0.5 * (a.t + b.t), c * n, s * n, 0.0, 0.0, 0.0};
        p_.evalAt(q.c, q.s, q.v, q.d, q.dd);
        return q;
    }
    void add(double t) {
        if (n_ < static_cast<int>(out_.size())) out_[n_++] = t;
    }
    double root(double lo, double hi, double flo) const {
        return bracketedRoot([&](double t, double& v, double& d) { p_.eval(t, v, d); }, lo, hi, flo);
    }

    void cell(const Point& a, const Point& b, int depth) {
        if (a.v == 0.0) {
            add(a.t);
            return;
        }
        const bool crosses = (a.v < 0.0) != (b.v < 0.0) && b.v != 0.0;
        // With the curvature inside the cell bounded by that at its ends
        // (kCurveMargin), a slope larger than curve * h at both ends
        // cannot vanish inside (one root at most), and a value beyond
        // slope * h + curve * h^2 / 2 at either end cannot reach zero.
        const double h = b.t - a.t;
        const double curve = kCurveMargin * std::max(std::fabs(a.dd), std::fabs(b.dd));
        const double bend = 0.5 * curve * h * h;
        // Where the curve stays this close to zero, roots come in clusters
        // (arms near a special geometry) whose curvature the ends do not
        // show: such cells are halved regardless.
        const bool flat = std::fabs(a.v) < kFlat && std::fabs(b.v) < kFlat;
        if (crosses) {
            const bool monotone = std::fabs(a.d) > curve * h && std::fabs(b.d) > curve * h &&
                                  (a.d > 0.0) == (b.d > 0.0);
            if ((monotone && !flat) || depth == kSplits) {
                add(root(a.t, b.t, a.v));
                return;
            }
        } else if (!flat &&
                   (std::fabs(a.v) > std::fabs(a.d) * h + bend || std::fabs(b.v) > std::fabs(b.d) * h + bend)) {
            return;
        }
        if (depth < kSplits) {
            const Point mid = middle(a, b);
            cell(a, mid, depth + 1);
            cell(mid, b, depth + 1);
            return;
        }
        // Smallest cell, curve heading towards zero and back: its turning
        // point decides.
        if ((a.d < 0.0) == (b.d < 0.0)) return;
        const double te = bracketedRoot([&](double t, double& v, double& d) { p_.evalSlope(t, v, d); }, a.t,
                                        b.t, a.d);
        const double ve = p_.value(te);
        if ((ve < 0.0) != (a.v < 0.0)) {
            add(root(a.t, te, a.v));
            add(root(te, b.t, ve));
        } else if (std::fabs(ve) <= tiny_) {
            add(te);
        }
    }

    const TrigPoly& p_;
    double tiny_;
    std::array<double, 32>& out_;
    int n_ = 0;
};

//! Determinant of a 12 x 12 matrix: Gaussian elimination with partial
//! pivoting on a copy.
double determinant(Mat12 A) {
    double det = 1.0;
    for (int c = 0; c < 12; ++c) {
        int piv = c;
        for (int r = c + 1; r < 12; ++r) {
            if (std::fabs(A(r, c)) > std::fabs(A(piv, c))) piv = r;
        }
        const double top = A(piv, c);
        if (top == 0.0) return 0.0;
        if (piv != c) {
            A.row(piv).swap(A.row(c));
            det = -det;
        }
        det *= top;
        const double inv = 1.0 / top;
        for (int r = c + 1; r < 12; ++r) {
            const double f = A(r, c) * inv;
            if (f != 0.0) {
                for (int j = c + 1; j < 12; ++j) A(r, j) -= f * A(c, j);
            }
        }
    }
    return det;
}

//! Kernel vector of a (numerically) singular 12 x 12 matrix, by one step
//! of inverse iteration: elimination with partial pivoting (a zero pivot
//! nudged to rounding size), then a solve whose answer is dominated by the
//! kernel direction.
Eigen::Matrix<double, 12, 1> kernelVector(Mat12 A) {
    std::array<int, 12> perm;
    for (int i = 0; i < 12; ++i) perm[i] = i;
    const double tiny = 1e-300 + 1e-17 * A.cwiseAbs().maxCoeff();
    for (int c = 0; c < 12; ++c) {
        int piv = c;
        for (int r = c + 1; r < 12; ++r) {
            if (std::fabs(A(r, c)) > std::fabs(A(piv, c))) piv = r;
        }
        if (piv != c) {
            A.row(piv).swap(A.row(c));
            std::swap(perm[piv], perm[c]);
        }
        if (std::fabs(A(c, c)) < tiny) A(c, c) = tiny;
        const double inv = 1.0 / A(c, c);
        for (int r = c + 1; r < 12; ++r) {
            const double f = A(r, c) * inv;
            A(r, c) = f;
            for (int j = c + 1; j < 12; ++j) A(r, j) -= f * A(c, j);
        }
    }
    // Right-hand side: a fixed vector with no special direction.
    Eigen::Matrix<double, 12, 1> y;
    for (int i = 0; i < 12; ++i) y(i) = 1.0 + 0.1 * perm[i];
    for (int i = 1; i < 12; ++i) {
        for (int j = 0; j < i; ++j) y(i) -= A(i, j) * y(j);
    }
    for (int i = 11; i >= 0; --i) {
        for (int j = i + 1; j < 12; ++j) y(i) -= A(i, j) * y(j);
        y(i) /= A(i, i);
    }
    return y / y.cwiseAbs().maxCoeff();
}

//! The cut joint's value once the other five are known: the turn about
//! its axis that the pose asks for.
double cutJoint(const SolverModel& m, int d, const Joints& q, const Frame& target) {
    const ArmModel& a = m.model;
    Frame before = a.baseFrame;
    for (int k = 0; k < d; ++k) {
        before = frameMul(before, a.linkFrames[k]);
        moveJoint(before, a.jointTypes[k], q[k]);
    }
    before = frameMul(before, a.linkFrames[d]);
    Frame after = identityFrame();
    for (int k = d + 1; k < 6; ++k) {
        after = frameMul(after, a.linkFrames[k]);
        moveJoint(after, a.jointTypes[k], q[k]);
    }
    after = frameMul(after, Frame{m.toolRot.X, m.toolRot.Y, m.toolRot.Z, m.toolPoint});
    const Frame turn = frameMul(frameMul(frameInverse(before), target), frameInverse(after));
    return std::atan2(turn.X.y - turn.Y.x, turn.X.x + turn.Y.y);
}

}  // namespace

int cutCandidates(const SolverModel& m, const LoopCut& c, const Frame& target, CutAnswers& out,
                  double* highTerms) {
    const std::array<Frame, 6> link = linksFor(c, target);
    LeftCoefficients posed;
    const bool constantLeft = c.targetAt == 0 || c.targetAt == 5;
    if (!constantLeft) leftCoefficients(c, link, posed);
    const LeftCoefficients& leftTerms = constantLeft ? c.left : posed;

    // The target's side: coefficients of its nine products of the terms of
    // loop joints 0 and 1 (joint 0's term varies slowest).
    std::array<Quantities, 9> samples;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            samples[3 * i + j] =
                quantities(rightSide(c, link, sampleValue(c.type[0], i), sampleValue(c.type[1], j)));
        }
    }
    Eigen::Matrix<double, kLoopEquations, 9> right;
    for (int e = 0; e < kLoopEquations; ++e) {
        for (int t0 = 0; t0 < 3; ++t0) {
            for (int t1 = 0; t1 < 3; ++t1) {
                double v = 0.0;
                for (int i = 0; i < 3; ++i) {
                    for (int j = 0; j < 3; ++j) {
                        v += sampleWeight(c.type[0], t0, i) * sampleWeight(c.type[1], t1, j) *
                             samples[3 * i + j][e];
                    }
                }
                right(e, 3 * t0 + t1) = v;
            }
        }
    }

    // Six combinations of the equations free of the eight products.
    const Mat14x8 products = right.rightCols<8>();
    // Column pivoting: on some arms with slides a product never occurs (its
    // column is zero), and the least-squares solve must not divide by it.
    const Eigen::ColPivHouseholderQR<Mat14x8> qr(products);
    const Eigen::Matrix<double, kLoopEquations, kLoopEquations> Q = qr.householderQ();
    const Eigen::Matrix<double, 6, kLoopEquations> free = Q.rightCols<6>().transpose();
    Eigen::Matrix<double, kLoopEquations, kLeftTerms> left;
    for (int e = 0; e < kLoopEquations; ++e) {
        for (int t = 0; t < kLeftTerms; ++t) left(e, t) = leftTerms[e][t];
        left(e, 0) -= right(e, 0);
    }
    const Eigen::Matrix<double, 6, kLeftTerms> six = free * left;

    // 12 x 12 matrices per term of loop joint 2: rows as they are and
    // multiplied by joint 3's tangent, columns the monomials x3^i x4^j.
    std::array<Mat12, 3> A;
    for (int t2 = 0; t2 < 3; ++t2) {
        A[t2].setZero();
        for (int r = 0; r < 6; ++r) {
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) {
                    double v = 0.0;
                    for (int t3 = 0; t3 < 3; ++t3) {
                        for (int t4 = 0; t4 < 3; ++t4) {
                            v += six(r, 9 * t2 + 3 * t3 + t4) * powerOf(c.type[3], t3, i) *
                                 powerOf(c.type[4], t4, j);
                        }
                    }
                    A[t2](r, 3 * i + j) = v;
                    A[t2](r + 6, 3 * (i + 1) + j) = v;
                }
            }
        }
    }
    // M(t) = M0 + cos t M1 + sin t M2; a sliding joint 2 is u = tan(t/2),
    // the matrix multiplied by cos^2(t/2).
    std::array<Mat12, 3> M;
    if (c.type[2] == 'R') {
        M = A;
    } else {
        M[0] = 0.5 * (A[0] + A[2]);
        M[1] = 0.5 * (A[0] - A[2]);
        M[2] = 0.5 * A[1];
    }
    auto matrixAt = [&](double t) -> Mat12 { return M[0] + std::cos(t) * M[1] + std::sin(t) * M[2]; };

    // The determinant as a trigonometric polynomial, from equally spaced
    // samples.
    const int detCount = c.detSamples;
    std::array<double, kDetSamples> det, cosines, sines;
    for (int j = 0; j < detCount; ++j) {
        cosines[j] = std::cos(j * kFullTurn / detCount);
        sines[j] = std::sin(j * kFullTurn / detCount);
        det[j] = determinant(M[0] + cosines[j] * M[1] + sines[j] * M[2]);
    }
    TrigPoly p;
    p.degree = detCount > 2 * 8 + 1 && detCount < kDetSamples ? 8 : 12;
    double largest = 0.0;
    for (int k = 0; k <= p.degree; ++k) {
        double re = 0.0, im = 0.0;
        for (int j = 0; j < detCount; ++j) {
            re += det[j] * cosines[(k * j) % detCount];
            im += det[j] * sines[(k * j) % detCount];
        }
        const double w = (k == 0 ? 1.0 : 2.0) / detCount;
        p.a[k] = w * re;
        p.b[k] = w * im;
        largest = std::max({largest, std::fabs(p.a[k]), std::fabs(p.b[k])});
    }
    if (!(largest > 0.0) || !std::isfinite(largest)) return 0;
    for (int k = 0; k <= p.degree; ++k) {
        p.a[k] /= largest;
        p.b[k] /= largest;
    }
    if (highTerms != nullptr) {
        for (int k = 9; k <= p.degree; ++k) *highTerms = std::max({*highTerms, std::fabs(p.a[k]), std::fabs(p.b[k])});
    }
    while (p.degree > 0 && std::fabs(p.a[p.degree]) < 1e-11 && std::fabs(p.b[p.degree]) < 1e-11) --p.degree;

    std::array<double, 32> roots;
    const int nr = RootFinder(p, 1e-9, roots).run();
    int n = 0;
    for (int r = 0; r < nr && n < static_cast<int>(out.size()); ++r) {
        const double t = roots[r];
        const Eigen::Matrix<double, 12, 1> x = kernelVector(matrixAt(t));
        // Joint 3 from x3 = x(i+1, j) / x(i, j), joint 4 from x(i, j+1) / x(i, j),
        // each from the largest pair.
        int bi = 0, bj = 0, ci = 0, cj = 0;
        double bw = -1.0, cw = -1.0;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (i < 3) {
                    const double w = x(3 * i + j) * x(3 * i + j) + x(3 * (i + 1) + j) * x(3 * (i + 1) + j);
                    if (w > bw) bw = w, bi = i, bj = j;
                }
                if (j < 2) {
                    const double w = x(3 * i + j) * x(3 * i + j) + x(3 * i + j + 1) * x(3 * i + j + 1);
                    if (w > cw) cw = w, ci = i, cj = j;
                }
            }
        }
        std::array<double, 6> u{};
        u[2] = c.type[2] == 'R' ? t : std::tan(0.5 * t);
        u[3] = fromRatio(c.type[3], x(3 * (bi + 1) + bj), x(3 * bi + bj));
        u[4] = fromRatio(c.type[4], x(3 * ci + cj + 1), x(3 * ci + cj));
        if (!std::isfinite(u[2]) || !std::isfinite(u[3]) || !std::isfinite(u[4])) continue;

        // Joints 0 and 1 from the eight products: least squares.
        Eigen::Matrix<double, kLeftTerms, 1> mono;
        const auto T2 = terms(c.type[2], u[2]), T3 = terms(c.type[3], u[3]), T4 = terms(c.type[4], u[4]);
        for (int a2 = 0; a2 < 3; ++a2)
            for (int a3 = 0; a3 < 3; ++a3)
                for (int a4 = 0; a4 < 3; ++a4) mono(9 * a2 + 3 * a3 + a4) = T2[a2] * T3[a3] * T4[a4];
        const Eigen::Matrix<double, kLoopEquations, 1> rhs = left * mono;
        const Eigen::Matrix<double, 8, 1> prod = qr.solve(rhs);
        // products index 3 * t0 + t1 - 1
        u[0] = c.type[0] == 'R' ? std::atan2(prod(5), prod(2)) : prod(2);
        u[1] = c.type[1] == 'R' ? std::atan2(prod(1), prod(0)) : prod(0);
        if (!std::isfinite(u[0]) || !std::isfinite(u[1])) continue;

        Joints q{};
        for (int k = 0; k < 5; ++k) q[c.joint[k]] = c.sign[k] * u[k] * (c.type[k] == 'R' ? 1.0 : c.scale);
        q[c.joint[5]] = cutJoint(m, c.joint[5], q, target);
        if (!std::isfinite(q[c.joint[5]])) continue;
        out[n++] = q;
    }
    return n;
}

namespace {

//! The cut whose loop positions start at `start` (in the loop's own order,
//! forward or reversed). Returns false when the cut joint slides.
bool makeCut(const SolverModel& m, bool reversed, int start, LoopCut& c) {
    const ArmModel& a = m.model;
    c = LoopCut{};
    c.reversed = reversed;
    c.scale = m.scale;
    auto scaled = [&](Frame F) {
        F.O = {F.O.x / c.scale, F.O.y / c.scale, F.O.z / c.scale};
        return F;
    };
    c.baseLink = scaled(frameMul(a.baseFrame, a.linkFrames[0]));
    c.toolInverse = frameInverse(scaled(Frame{m.toolRot.X, m.toolRot.Y, m.toolRot.Z, m.toolPoint}));
    for (int k = 0; k < 6; ++k) {
        const int i = (start + k) % 6;
        if (!reversed) {
            // J_i followed by L_(i+1); after joint 5 the target's link.
            c.joint[k] = i;
            c.sign[k] = 1.0;
            if (i == 5) {
                c.targetAt = k;
            } else {
                c.link[k] = scaled(a.linkFrames[i + 1]);
            }
        } else {
            // J_(5-i)^-1 followed by L_(5-i)^-1; after joint 0 the target's.
            c.joint[k] = 5 - i;
            c.sign[k] = -1.0;
            if (i == 5) {
                c.targetAt = k;
            } else {
                c.link[k] = frameInverse(scaled(a.linkFrames[5 - i]));
            }
        }
        c.type[k] = a.jointTypes[c.joint[k]];
    }
    if (c.type[5] != 'R') return false;
    if (c.targetAt == 0 || c.targetAt == 5) leftCoefficients(c, c.link, c.left);
    return true;
}

}  // namespace

void buildElimination(const SolverModel& m, LoopCut& best) {
    best = LoopCut{};
    best.recovery = 1e300;
    // Check poses: fixed joint vectors spread over the joint box.
    static constexpr double kCheck[6][6] = {
        {0.3, -0.7, 1.1, 0.4, -1.3, 0.9},  {-2.1, 0.5, -0.4, 2.6, 0.8, -1.7},
        {1.7, 1.9, -2.4, -0.6, 2.2, 0.2},  {-0.8, -1.6, 0.7, -2.9, -0.5, 2.8},
        {2.6, -0.2, 2.9, 1.4, 1.6, -0.6},  {-1.2, 2.7, -1.5, -1.8, -2.6, 1.3},
    };
    for (int k = 0; k < 12; ++k) {
        LoopCut c;
        if (!makeCut(m, k >= 6, k % 6, c)) continue;
        double worst = 0.0;
        for (const auto& row : kCheck) {
            Joints q;
            for (int j = 0; j < 6; ++j) q[j] = m.model.jointTypes[j] == 'R' ? row[j] : row[j] * 0.2 * m.scale;
            ChainPose pose;
            chainPose(m, q, pose);
            const Frame target{pose.toolAxes.X, pose.toolAxes.Y, pose.toolAxes.Z, pose.toolPos};
            CutAnswers found;
            const int n = cutCandidates(m, c, target, found, &c.highTerms);
            double nearest = 1e300;
            for (int i = 0; i < n; ++i) {
                double gap = 0.0;
                for (int j = 0; j < 6; ++j) {
                    gap = std::max(gap, jointGap(m.model.jointTypes[j], found[i][j], q[j]) /
                                            (m.model.jointTypes[j] == 'R' ? 1.0 : m.scale));
                }
                nearest = std::min(nearest, gap);
            }
            worst = std::max(worst, nearest);
        }
        // A cut whose constant side holds no target is cheaper per pose:
        // others must recover the poses ten times better to be taken.
        const bool cheap = c.targetAt == 0 || c.targetAt == 5;
        if (!cheap) worst *= 10.0;
        if (worst < best.recovery) {
            best = c;
            best.recovery = worst;
        }
    }
    best.usable = best.recovery < 1e-4;
    // Most cuts give a determinant of degree 8 (the elimination's 8
    // extra roots sit at x = +-i, which the angle form leaves out): then 18
    // samples per turn are enough.
    if (best.highTerms < 1e-9) best.detSamples = 18;
}

bool eliminationCandidates(Solve& s) {
    const SolverModel& m = s.model;
    CutAnswers found;
    const int n = cutCandidates(m, m.cut, s.target, found);
    for (int i = 0; i < n; ++i) s.ws.candidates.push(found[i]);
    return n > 0;
}

}  // namespace kin::solver
