#include "helpers/splinefit.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "helpers/failure.hpp"
#include "helpers/lanes.hpp"

namespace quorlex::common {

namespace {

constexpr std::size_t order = 4;  // cubic
constexpr std::size_t basis_count = 5;

// Polynomial in the local coordinate u of a piece, lowest power first.
using Poly = std::array<double, order>;
// The four B-splines that are non-zero on one piece, in basis order.
using PieceBasis = std::array<Poly, order>;

// Extended break sequence: the three breaks, with the spacings repeated
// periodically three times on either side so that all five B-splines have
// their full support.
std::array<double, 9> extended_breaks(std::size_t n) {
    const double b1 = static_cast<double>(static_cast<std::int32_t>(std::floor(static_cast<double>(n) * 0.5)) - 1);
    const double last = static_cast<double>(n) - 1.0;
    const double h0 = b1 - 0.0;
    const double h1 = last - b1;
    return {-(h1 + h0 + h1), -(h1 + h0), -h1, 0.0, b1, last, last + h0, last + h0 + h1, last + h0 + h1 + h0};
}

// Cox-de Boor recursion carried out on polynomials: the B-splines of order 4
// that cover the piece [t[q], t[q+1]], as cubics in u = x - t[q]. Slot s holds
// the B-spline starting at knot q - 3 + s.
PieceBasis piece_basis(const std::array<double, 9>& t, std::size_t q) {
    PieceBasis b{};
    b[order - 1] = {1.0, 0.0, 0.0, 0.0};
    const double a = t[q];
    for (std::size_t k = 2; k <= order; ++k) {
        // Ascending slots: slot s reads the previous order's slots s and s + 1,
        // and s + 1 is still unchanged when s is written.
        for (std::size_t s = order - k; s < order; ++s) {
            const std::size_t i = q + s - (order - 1);
            Poly next{};
            if (s > order - k) {
                // (x - t_i) / (t_{i+k-1} - t_i) * B_{i,k-1}
                const double denom = t[i + k - 1] - t[i];
                const double shift = a - t[i];
                for (std::size_t d = 0; d < order; ++d) {
                    const double lower = d > 0 ? b[s][d - 1] : 0.0;
                    next[d] += (b[s][d] * shift + lower) / denom;
                }
            }
            if (s + 1 < order) {
                // (t_{i+k} - x) / (t_{i+k} - t_{i+1}) * B_{i+1,k-1}
                const double denom = t[i + k] - t[i + 1];
                const double shift = t[i + k] - a;
                for (std::size_t d = 0; d < order; ++d) {
                    const double lower = d > 0 ? b[s + 1][d - 1] : 0.0;
                    next[d] += (b[s + 1][d] * shift - lower) / denom;
                }
            }
            b[s] = next;
        }
    }
    return b;
}

double horner(const Poly& p, double u) { return ((p[3] * u + p[2]) * u + p[1]) * u + p[0]; }

// Adds the points from .. to - 1 (all on one piece, whose B-splines are
// `basis` in the local coordinate u = i - origin) to the normal equations:
// m points at the piece's first diagonal entry of the 5 x 5 matrix (rows are
// basis_count apart), rhs at its first right-hand-side entry. Each of the ten
// upper entries and four right-hand sides is its own sum, continued in index
// order in a register; pairs of them share a vector.
void add_piece_points(const PieceBasis& basis, double origin, Series y, std::size_t from, std::size_t to, double* m,
                      double* rhs) {
    const auto at = [m](std::size_t r, std::size_t c) -> double& { return m[r * basis_count + c]; };
    const Lanes p01[order] = {{basis[0][0], basis[1][0]}, {basis[0][1], basis[1][1]}, {basis[0][2], basis[1][2]},
                             {basis[0][3], basis[1][3]}};
    const Lanes p23[order] = {{basis[2][0], basis[3][0]}, {basis[2][1], basis[3][1]}, {basis[2][2], basis[3][2]},
                             {basis[2][3], basis[3][3]}};
    // Entries (0,0) (0,1) | (0,2) (0,3) | (1,1) (1,2) | (1,3) (2,2) | (2,3) (3,3)
    Lanes s0 = {at(0, 0), at(0, 1)}, s1 = {at(0, 2), at(0, 3)}, s2 = {at(1, 1), at(1, 2)};
    Lanes s3 = {at(1, 3), at(2, 2)}, s4 = {at(2, 3), at(3, 3)};
    Lanes r01 = {rhs[0], rhs[1]}, r23 = {rhs[2], rhs[3]};
    for (std::size_t i = from; i < to; ++i) {
        const double u = static_cast<double>(i) - origin;
        const Lanes v01 = ((p01[3] * u + p01[2]) * u + p01[1]) * u + p01[0];
        const Lanes v23 = ((p23[3] * u + p23[2]) * u + p23[1]) * u + p23[0];
        const double v0 = v01[0], v1 = v01[1], v2 = v23[0], v3 = v23[1];
        s0 += Lanes{v0, v0} * v01;
        s1 += Lanes{v0, v0} * v23;
        s2 += Lanes{v1, v1} * Lanes{v1, v2};
        s3 += Lanes{v1, v2} * Lanes{v3, v2};
        s4 += Lanes{v2, v3} * Lanes{v3, v3};
        r01 += v01 * y[i];
        r23 += v23 * y[i];
    }
    at(0, 0) = s0[0];
    at(0, 1) = s0[1];
    at(0, 2) = s1[0];
    at(0, 3) = s1[1];
    at(1, 1) = s2[0];
    at(1, 2) = s2[1];
    at(1, 3) = s3[0];
    at(2, 2) = s3[1];
    at(2, 3) = s4[0];
    at(3, 3) = s4[1];
    rhs[0] = r01[0];
    rhs[1] = r01[1];
    rhs[2] = r23[0];
    rhs[3] = r23[1];
}

}  // namespace

void splinefit(Series y, std::span<double> out) {
    if (out.size() != y.size()) {
        fail("assertion `left == right` failed: splinefit needs an output of the series length\n  left: " +
             std::to_string(out.size()) + "\n right: " + std::to_string(y.size()));
    }
    const std::size_t n = y.size();
    const auto t = extended_breaks(n);
    const double b1 = t[4];
    // Piece p covers [t[3+p], t[4+p]]; its four B-splines are basis p .. p+3.
    const std::array<PieceBasis, 2> pieces{piece_basis(t, 3), piece_basis(t, 4)};

    // Normal equations (A^T A) c = A^T y, each entry summed over the points in
    // index order; a point only touches the four B-splines of its piece. The
    // points of piece 0 all come before those of piece 1, so each piece's
    // points are added in turn, continuing the sums the earlier piece left.
    double m[basis_count][basis_count] = {};
    double rhs[basis_count] = {};
    std::size_t split = 0;
    while (split < n && static_cast<double>(split) < b1) ++split;
    add_piece_points(pieces[0], t[3], y, 0, split, &m[0][0], &rhs[0]);
    add_piece_points(pieces[1], t[4], y, split, n, &m[1][1], &rhs[1]);
    for (std::size_t r = 0; r < basis_count; ++r) {
        for (std::size_t c = 0; c < r; ++c) m[r][c] = m[c][r];
    }

    // Gaussian elimination without pivoting, then back substitution.
    for (std::size_t k = 0; k + 1 < basis_count; ++k) {
        for (std::size_t j = k + 1; j < basis_count; ++j) {
            const double factor = m[j][k] / m[k][k];
            for (std::size_t c = k; c < basis_count; ++c) m[j][c] -= factor * m[k][c];
            rhs[j] -= factor * rhs[k];
        }
    }
    double coef[basis_count];
    for (std::size_t k = basis_count; k-- > 0;) {
        double v = rhs[k];
        for (std::size_t c = k + 1; c < basis_count; ++c) v -= m[k][c] * coef[c];
        coef[k] = v / m[k][k];
    }

    // One cubic per piece: the fitted combination of its B-splines.
    std::array<Poly, 2> fitted{};
    for (std::size_t p = 0; p < 2; ++p) {
        for (std::size_t d = 0; d < order; ++d) {
            double v = 0.0;
            for (std::size_t s = 0; s < order; ++s) v += coef[p + s] * pieces[p][s][d];
            fitted[p][d] = v;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i);
        const std::size_t p = x < b1 ? 0 : 1;
        out[i] = horner(fitted[p], x - t[3 + p]);
    }
}

}  // namespace quorlex::common
