#include "hctsa/correlation/ami_kraskov.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace quorlex::hctsa {

namespace {

constexpr std::size_t k_neighbours = 4;

// The k smallest distances seen so far, ascending; +infinity fills the rest.
class Smallest {
public:
    Smallest() { d_.fill(std::numeric_limits<double>::infinity()); }
    double kth() const { return d_[k_neighbours - 1]; }
    void offer(double d) {
        if (!(d < kth())) return;
        std::size_t i = k_neighbours - 1;
        while (i > 0 && d_[i - 1] > d) {
            d_[i] = d_[i - 1];
            --i;
        }
        d_[i] = d;
    }

private:
    std::array<double, k_neighbours> d_;
};

// Number of entries of the ascending `sorted` with |v - c| < eps, c being a
// value of `sorted`. fl(v - c) is monotone in v, and fl(c - v) = -fl(v - c),
// so the predicate holds on one contiguous run around c: two binary searches
// with the exact predicate find its ends.
std::size_t count_within(const std::vector<double>& sorted, double c, double eps) {
    const auto inside = [c, eps](double v) { return std::fabs(v - c) < eps; };
    const auto mid = std::lower_bound(sorted.begin(), sorted.end(), c);
    const auto first = std::partition_point(sorted.begin(), mid, [&](double v) { return !inside(v); });
    const auto last = std::partition_point(mid, sorted.end(), inside);
    return static_cast<std::size_t>(last - first);
}

}  // namespace

double ami_kraskov(Series x, Series z, std::span<const double> psi) {
    const std::size_t n = x.size();
    if (n < k_neighbours + 1) return std::numeric_limits<double>::quiet_NaN();

    // Points in x order. The fourth-smallest distance of a point is found by
    // walking outward from it in x order: a point whose x gap alone is at
    // least the current fourth-smallest distance cannot improve it, and
    // neither can any beyond it. The distances offered are the literal
    // max(|x_j - x_m|, |z_j - z_m|), and the k smallest of a multiset do not
    // depend on the order they are seen in, so eps is exactly the value that
    // sorting every row of distances would give.
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return x[a] < x[b]; });
    std::vector<std::size_t> rank(n);
    std::vector<double> xs(n), zx(n);
    for (std::size_t r = 0; r < n; ++r) {
        rank[order[r]] = r;
        xs[r] = x[order[r]];
        zx[r] = z[order[r]];
    }
    const std::vector<double> zs = common::sorted_copy(z);

    // Summed in point order, as the literal definition sums.
    double s = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const std::size_t r = rank[j];
        Smallest best;
        for (std::size_t q = r; q-- > 0;) {
            const double dx = std::fabs(x[j] - xs[q]);
            if (dx >= best.kth()) break;
            best.offer(std::max(dx, std::fabs(z[j] - zx[q])));
        }
        for (std::size_t q = r + 1; q < n; ++q) {
            const double dx = std::fabs(x[j] - xs[q]);
            if (dx >= best.kth()) break;
            best.offer(std::max(dx, std::fabs(z[j] - zx[q])));
        }
        const double eps = best.kth();
        // The point itself is within eps of itself exactly when eps > 0.
        const std::size_t self = 0.0 < eps ? 1 : 0;
        const std::size_t nx = count_within(xs, x[j], eps) - self;
        const std::size_t nz = count_within(zs, z[j], eps) - self;
        s += psi[nx + 1] + psi[nz + 1];
    }
    return psi[k_neighbours] - s / static_cast<double>(n) + psi[n];
}

}  // namespace quorlex::hctsa
