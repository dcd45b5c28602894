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
constexpr double inf = std::numeric_limits<double>::infinity();

// The k smallest distances seen so far, ascending; +infinity fills the rest.
class Smallest {
public:
    Smallest() { d_.fill(inf); }
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

// How many of sorted[0 .. at) (below `at`, all <= c) or sorted(at .. end)
// (all >= c) satisfy |v - c| < eps. fl(v - c) is monotone in v and
// fl(c - v) = -fl(v - c), so on each side the predicate holds on one run
// next to `at`: a galloping search finds a bound and a binary search with the
// exact predicate finds its end.
std::size_t count_below(const std::vector<double>& sorted, std::size_t at, double c, double eps) {
    const auto inside = [c, eps](double v) { return std::fabs(c - v) < eps; };
    std::size_t step = 1;
    std::size_t lo = at;
    while (lo > 0) {
        lo = lo > step ? lo - step : 0;
        if (!inside(sorted[lo])) break;
        step *= 2;
    }
    const auto first = std::partition_point(sorted.begin() + static_cast<std::ptrdiff_t>(lo),
                                            sorted.begin() + static_cast<std::ptrdiff_t>(at),
                                            [&](double v) { return !inside(v); });
    return static_cast<std::size_t>(sorted.begin() + static_cast<std::ptrdiff_t>(at) - first);
}

std::size_t count_above(const std::vector<double>& sorted, std::size_t at, double c, double eps) {
    const auto inside = [c, eps](double v) { return std::fabs(c - v) < eps; };
    const std::size_t n = sorted.size();
    std::size_t step = 1;
    std::size_t hi = at + 1;
    while (hi < n) {
        hi = std::min(n, hi + step);
        if (!inside(sorted[hi - 1])) break;
        step *= 2;
    }
    const auto last = std::partition_point(sorted.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                           sorted.begin() + static_cast<std::ptrdiff_t>(hi), inside);
    return static_cast<std::size_t>(last - (sorted.begin() + static_cast<std::ptrdiff_t>(at) + 1));
}

// The estimator for points (x[j], z[j]) given their orders by x and by z.
double estimate(Series x, Series z, const std::vector<std::size_t>& by_x, const std::vector<std::size_t>& by_z,
                std::span<const double> psi) {
    const std::size_t n = x.size();
    std::vector<std::size_t> rank_x(n), rank_z(n);
    std::vector<double> xs(n), zx(n), zs(n);
    for (std::size_t r = 0; r < n; ++r) {
        rank_x[by_x[r]] = r;
        xs[r] = x[by_x[r]];
        zx[r] = z[by_x[r]];
        rank_z[by_z[r]] = r;
        zs[r] = z[by_z[r]];
    }

    // Summed in point order, as the definition sums.
    double s = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        // Walk outward from the point in x order, always to the nearer side in
        // x, until the x gap alone reaches the fourth-smallest distance found:
        // every point left out is at least that far in the maximum norm, so
        // the four smallest distances (offered as the literal
        // max(|x_j - x_m|, |z_j - z_m|)) are those of all points, and eps is
        // exactly the value that sorting the whole row would give.
        const std::size_t r = rank_x[j];
        std::size_t below = r;      // next candidate on the left is below - 1
        std::size_t above = r + 1;  // next candidate on the right
        Smallest best;
        while (true) {
            const double dl = below > 0 ? std::fabs(x[j] - xs[below - 1]) : inf;
            const double du = above < n ? std::fabs(x[j] - xs[above]) : inf;
            if (dl <= du) {
                if (!(dl < best.kth())) break;
                --below;
                best.offer(std::max(dl, std::fabs(z[j] - zx[below])));
            } else {
                if (!(du < best.kth())) break;
                best.offer(std::max(du, std::fabs(z[j] - zx[above])));
                ++above;
            }
        }
        const double eps = best.kth();
        // Every point within eps in x has been walked over (its x gap is below
        // eps), so nx is counted inside the walked range; the point itself is
        // not in it.
        const auto inside_x = [&](std::size_t q) { return std::fabs(x[j] - xs[q]) < eps; };
        std::size_t nx = 0;
        for (std::size_t q = below; q < r; ++q) nx += inside_x(q) ? 1 : 0;
        for (std::size_t q = r + 1; q < above; ++q) nx += inside_x(q) ? 1 : 0;
        const std::size_t rz = rank_z[j];
        const std::size_t nz = count_below(zs, rz, z[j], eps) + count_above(zs, rz, z[j], eps);
        s += psi[nx + 1] + psi[nz + 1];
    }
    return psi[k_neighbours] - s / static_cast<double>(n) + psi[n];
}

std::vector<std::size_t> order_of(Series v) {
    std::vector<std::size_t> order(v.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
    return order;
}

}  // namespace

double ami_kraskov(Series x, Series z, std::span<const double> psi) {
    if (x.size() < k_neighbours + 1) return std::numeric_limits<double>::quiet_NaN();
    return estimate(x, z, order_of(x), order_of(z), psi);
}

std::vector<std::size_t> value_order(Series y) { return order_of(y); }

double ami_kraskov_lagged(Series y, std::span<const std::size_t> order, std::size_t lag,
                          std::span<const double> psi) {
    const std::size_t n = y.size() - lag;
    if (n < k_neighbours + 1) return std::numeric_limits<double>::quiet_NaN();
    // The orders of y[0 .. n) and y[lag .. lag + n) follow from the order of
    // y by dropping the indices outside each window; which of equal values
    // comes first does not matter to eps or to the counts.
    std::vector<std::size_t> by_x, by_z;
    by_x.reserve(n);
    by_z.reserve(n);
    for (std::size_t i : order) {
        if (i < n) by_x.push_back(i);
        if (i >= lag) by_z.push_back(i - lag);
    }
    return estimate(y.first(n), y.subspan(lag, n), by_x, by_z, psi);
}

}  // namespace quorlex::hctsa
