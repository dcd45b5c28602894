#include "hctsa/correlation/ami_kraskov.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace quorlex::hctsa {

namespace {

constexpr std::size_t k_neighbours = 4;
constexpr double inf = std::numeric_limits<double>::infinity();

// The `kept` smallest distances seen so far, ascending; +infinity fills the
// rest. The search below offers each point's distance to itself (0) as well,
// so it keeps k + 1: the (k + 1)-th smallest with the point itself is the
// k-th smallest without it, since removing one 0 from the front of an
// ascending list moves every later entry up by one.
constexpr std::size_t kept = k_neighbours + 1;
class Smallest {
public:
    double last() const { return e4_; }
    // Each step keeps the smaller of the entry and the carried value and
    // carries the larger on: min and max return one of their (non-NaN)
    // operands, so the list holds exactly the smallest values offered, and no
    // branch depends on the data (an early return for distances beyond the
    // last entry mispredicts more than it saves). Named members, rather than
    // an array, keep the list in registers across the unrolled steps.
    void offer(double d) {
        step(e0_, d);
        step(e1_, d);
        step(e2_, d);
        step(e3_, d);
        e4_ = std::min(e4_, d);
    }

private:
    static void step(double& e, double& d) {
        const double lo = std::min(e, d);
        d = std::max(e, d);
        e = lo;
    }
    double e0_ = inf, e1_ = inf, e2_ = inf, e3_ = inf, e4_ = inf;
};
static_assert(kept == 5, "Smallest names its five entries");

// The number of leading entries of p[0 .. len) for which `pred` holds, when
// it holds on a prefix only. The halving steps select with a conditional
// move rather than a branch: the outcomes are unpredictable.
template <class Pred>
std::size_t leading(const double* p, std::size_t len, Pred pred) {
    if (len == 0) return 0;
    const double* base = p;
    while (len > 1) {
        const std::size_t half = len / 2;
        base += pred(base[half - 1]) ? half : 0;
        len -= half;
    }
    return static_cast<std::size_t>(base - p) + (pred(*base) ? 1 : 0);
}

// How many of sorted[from .. at) (all <= c) and of sorted(at .. to) (all >=
// c) satisfy |c - v| < eps, when no entry outside [from, to) does. fl(c - v)
// is monotone in v, so on each side the predicate holds on one run next to
// `at`, found by a binary search with the exact predicate.
std::size_t count_within(const double* sorted, std::size_t from, std::size_t at, std::size_t to, double c,
                         double eps) {
    const std::size_t below =
        at - from - leading(sorted + from, at - from, [c, eps](double v) { return !(std::fabs(c - v) < eps); });
    const std::size_t above = leading(sorted + at + 1, to - at - 1, [c, eps](double v) { return std::fabs(c - v) < eps; });
    return below + above;
}

// Buffers of one estimate, kept per thread so that the lags of a curve reuse
// them; every entry read is written first in the same call. Ranks and cell
// offsets take 32 bits (series of fewer than 2^32 values).
struct Workspace {
    std::vector<std::uint32_t> rank_x, rank_z, cell_x, cell_z, strip_of, start, fill;
    std::vector<std::size_t> strip_start, by_x, by_z;
    std::vector<double> xs, zs, strip_max_x, strip_min_x, strip_max_z, strip_min_z;
    struct Point {
        double x, z;
    };
    std::vector<Point> cell_points;
};

Workspace& workspace() {
    thread_local Workspace w;
    return w;
}

// The estimator for points (x[j], z[j]) given their orders by x and by z
// (w.by_x, w.by_z).
double estimate(Series x, Series z, Workspace& w, std::span<const double> psi) {
    const std::size_t n = x.size();
    w.rank_x.resize(n);
    w.rank_z.resize(n);
    w.xs.resize(n);
    w.zs.resize(n);
    const std::size_t* const by_x = w.by_x.data();
    const std::size_t* const by_z = w.by_z.data();
    std::uint32_t* const rank_x = w.rank_x.data();
    std::uint32_t* const rank_z = w.rank_z.data();
    double* const xs = w.xs.data();
    double* const zs = w.zs.data();
    for (std::size_t r = 0; r < n; ++r) {
        rank_x[by_x[r]] = static_cast<std::uint32_t>(r);
        xs[r] = x[by_x[r]];
        rank_z[by_z[r]] = static_cast<std::uint32_t>(r);
        zs[r] = z[by_z[r]];
    }

    // A grid of g x g cells by rank: strip c of either axis holds the ranks r
    // with r * g / n == c, that is ceil(c * n / g) <= r < ceil((c + 1) * n /
    // g), so every strip holds about n / g points and the cells about two.
    // Points are stored cell by cell.
    const std::size_t g = std::max<std::size_t>(1, static_cast<std::size_t>(std::sqrt(static_cast<double>(n) / 2.0)));
    w.strip_start.resize(g + 1);
    w.strip_of.resize(n);
    std::size_t* const strip_start = w.strip_start.data();
    std::uint32_t* const strip_of = w.strip_of.data();
    for (std::size_t c = 0; c <= g; ++c) strip_start[c] = (c * n + g - 1) / g;
    for (std::size_t c = 0; c < g; ++c) {
        for (std::size_t r = strip_start[c]; r < strip_start[c + 1]; ++r) strip_of[r] = static_cast<std::uint32_t>(c);
    }
    w.strip_max_x.resize(g);
    w.strip_min_x.resize(g);
    w.strip_max_z.resize(g);
    w.strip_min_z.resize(g);
    double* const strip_max_x = w.strip_max_x.data();
    double* const strip_min_x = w.strip_min_x.data();
    double* const strip_max_z = w.strip_max_z.data();
    double* const strip_min_z = w.strip_min_z.data();
    for (std::size_t c = 0; c < g; ++c) {
        strip_min_x[c] = xs[strip_start[c]];
        strip_min_z[c] = zs[strip_start[c]];
        strip_max_x[c] = xs[strip_start[c + 1] - 1];
        strip_max_z[c] = zs[strip_start[c + 1] - 1];
    }
    w.cell_x.resize(n);
    w.cell_z.resize(n);
    std::uint32_t* const cell_x = w.cell_x.data();
    std::uint32_t* const cell_z = w.cell_z.data();
    w.start.assign(g * g + 1, 0);
    std::uint32_t* const start = w.start.data();
    for (std::size_t j = 0; j < n; ++j) {
        cell_x[j] = strip_of[rank_x[j]];
        cell_z[j] = strip_of[rank_z[j]];
        ++start[cell_x[j] * g + cell_z[j] + 1];
    }
    for (std::size_t c = 0; c < g * g; ++c) start[c + 1] += start[c];
    w.cell_points.resize(n);
    Workspace::Point* const cell_points = w.cell_points.data();
    w.fill.assign(start, start + g * g);
    std::uint32_t* const fill = w.fill.data();
    for (std::size_t j = 0; j < n; ++j) cell_points[fill[cell_x[j] * g + cell_z[j]]++] = {x[j], z[j]};

    // Summed in point order, as the definition sums.
    double s = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        // Search a block of cells around the point, starting from its own
        // cell and growing the block on the side nearest to the point,
        // until every point outside the block is at least the fourth-smallest
        // distance found away in x or in z (the bounds are fl differences
        // with the strips' extreme values, so they never exceed the fl
        // differences of any point beyond). The smallest distances, offered
        // as the literal max(|x_j - x_m|, |z_j - z_m|), are then those of all
        // points, and eps is exactly the value that sorting the whole row
        // would give. The cells of one x strip lie next to each other, so a
        // run of them in z is one stretch of cell_points.
        const double xj = x[j];
        const double zj = z[j];
        const std::size_t cx = cell_x[j];
        const std::size_t cz = cell_z[j];
        // The first block is the point's cell with, on either axis, the
        // neighbouring strip on the side of the nearer strip edge: where the
        // growth below most often goes first.
        std::size_t x0 = cx, x1 = cx, z0 = cz, z1 = cz;
        if (xj - strip_min_x[cx] < strip_max_x[cx] - xj) {
            x0 -= cx > 0 ? 1 : 0;
        } else {
            x1 += cx + 1 < g ? 1 : 0;
        }
        if (zj - strip_min_z[cz] < strip_max_z[cz] - zj) {
            z0 -= cz > 0 ? 1 : 0;
        } else {
            z1 += cz + 1 < g ? 1 : 0;
        }
        Smallest best;
        const auto search = [&](std::size_t ax, std::size_t az0, std::size_t az1) {
            const Workspace::Point* p = cell_points + start[ax * g + az0];
            const Workspace::Point* const end = cell_points + start[ax * g + az1 + 1];
            for (; p != end; ++p) best.offer(std::max(std::fabs(xj - p->x), std::fabs(zj - p->z)));
        };
        for (std::size_t ax = x0; ax <= x1; ++ax) search(ax, z0, z1);
        while (true) {
            const double left = x0 > 0 ? xj - strip_max_x[x0 - 1] : inf;
            const double right = x1 + 1 < g ? strip_min_x[x1 + 1] - xj : inf;
            const double down = z0 > 0 ? zj - strip_max_z[z0 - 1] : inf;
            const double up = z1 + 1 < g ? strip_min_z[z1 + 1] - zj : inf;
            const double nearest = std::min(std::min(left, right), std::min(down, up));
            if (!(nearest < best.last())) break;
            if (nearest == left) {
                --x0;
                search(x0, z0, z1);
            } else if (nearest == right) {
                ++x1;
                search(x1, z0, z1);
            } else if (nearest == down) {
                --z0;
                for (std::size_t ax = x0; ax <= x1; ++ax) search(ax, z0, z0);
            } else {
                ++z1;
                for (std::size_t ax = x0; ax <= x1; ++ax) search(ax, z1, z1);
            }
        }
        const double eps = best.last();
        const std::size_t rx = rank_x[j];
        const std::size_t rz = rank_z[j];
        // The search stopped with every strip outside [x0, x1] at least eps
        // away in x and every strip outside [z0, z1] at least eps away in z,
        // so the neighbours within eps lie in those strips' ranks.
        const std::size_t nx = count_within(xs, strip_start[x0], rx, strip_start[x1 + 1], x[j], eps);
        const std::size_t nz = count_within(zs, strip_start[z0], rz, strip_start[z1 + 1], z[j], eps);
        s += psi[nx + 1] + psi[nz + 1];
    }
    return psi[k_neighbours] - s / static_cast<double>(n) + psi[n];
}

void order_into(Series v, std::vector<std::size_t>& order) {
    order.resize(v.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
}

std::vector<std::size_t> order_of(Series v) {
    std::vector<std::size_t> order;
    order_into(v, order);
    return order;
}

}  // namespace

double ami_kraskov(Series x, Series z, std::span<const double> psi) {
    if (x.size() < k_neighbours + 1) return common::nan;
    Workspace& w = workspace();
    order_into(x, w.by_x);
    order_into(z, w.by_z);
    return estimate(x, z, w, psi);
}

std::vector<std::size_t> value_order(Series y) { return order_of(y); }

double ami_kraskov_lagged(Series y, std::span<const std::size_t> order, std::size_t lag,
                          std::span<const double> psi) {
    const std::size_t n = y.size() - lag;
    if (n < k_neighbours + 1) return common::nan;
    // The orders of y[0 .. n) and y[lag .. lag + n) follow from the order of
    // y by dropping the indices outside each window; which of equal values
    // comes first does not matter to eps or to the counts.
    // Each index is written at the next free place, which advances only when
    // the index belongs: one spare place takes the writes after the last.
    Workspace& w = workspace();
    w.by_x.resize(n + 1);
    w.by_z.resize(n + 1);
    std::size_t* by_x = w.by_x.data();
    std::size_t* by_z = w.by_z.data();
    for (std::size_t i : order) {
        *by_x = i;
        by_x += i < n ? 1 : 0;
        *by_z = i - lag;
        by_z += i >= lag ? 1 : 0;
    }
    return estimate(y.first(n), y.subspan(lag, n), w, psi);
}

}  // namespace quorlex::hctsa
