// The v1 features read from the autocorrelation and from lagged pairs:
// crossings and minima, the forecast residuals, automutual information,
// the transition matrix, periodicity and the embedding distances.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/pd_periodicitywang.hpp"
#include "catch22/sb_coarsegrain.hpp"
#include "catch22/v1/features.hpp"
#include "catch22/v1/histogram.hpp"
#include "helpers/lanes.hpp"

namespace quorlex::catch22::v1 {

namespace {

constexpr double inverse_e = 0.36787944117144233;  // 1 / exp(1)
constexpr double pi = 3.14159265358979323846;

// The first crossing below `threshold` of the autocorrelation `ac` (lags
// 0 .. n-1 readable), interpolated linearly between the lags either side;
// n - 1 when it never crosses, NaN when the autocorrelation is undefined.
template <class Lags>
double first_crossing(Lags& ac, std::size_t n, double threshold) {
    if (n < 2 || !std::isfinite(ac[0])) return common::nan;
    for (std::size_t k = 1; k < n; ++k) {
        const double now = ac[k];
        if (now < threshold) {
            const double before = ac[k - 1];
            return static_cast<double>(k - 1) + (before - threshold) / (before - now);
        }
    }
    return static_cast<double>(n - 1);
}

// Pearson correlations of z[0 .. n-lag) with z[lag .. n), each part about its
// own mean, for lags first .. first+3 (all below n). Every sum of a lag runs
// in index order from zero; the four lags run side by side only so that their
// additions overlap, each lag's terms beyond the shortest appended in order.
// `prefix[m]` is the sum of z[0 .. m) in index order: the first part's sum.
std::array<double, 4> lag_correlations(Series z, std::span<const double> prefix, std::size_t first) {
    constexpr std::size_t lanes = 4;
    const std::size_t n = z.size();
    const std::size_t shared = n - (first + lanes - 1);
    using common::Lanes;
    using common::load_lanes;
    std::array<double, lanes> mean_a{}, mean_b{}, out{};
    // Lags first, first + 1 in one vector and first + 2, first + 3 in
    // another: their second parts are adjacent values.
    const double* b = z.data() + first;
    Lanes sb01 = {0.0, 0.0}, sb23 = {0.0, 0.0};
    for (std::size_t i = 0; i < shared; ++i) {
        sb01 += load_lanes(b + i);
        sb23 += load_lanes(b + i + 2);
    }
    double sb[lanes] = {sb01[0], sb01[1], sb23[0], sb23[1]};
    for (std::size_t l = 0; l < lanes; ++l) {
        const std::size_t m = n - (first + l);
        for (std::size_t i = shared; i < m; ++i) sb[l] += z[first + l + i];
        mean_a[l] = prefix[m] / static_cast<double>(m);
        mean_b[l] = sb[l] / static_cast<double>(m);
    }
    const Lanes ma01 = {mean_a[0], mean_a[1]}, ma23 = {mean_a[2], mean_a[3]};
    const Lanes mb01 = {mean_b[0], mean_b[1]}, mb23 = {mean_b[2], mean_b[3]};
    Lanes nom01 = {0, 0}, nom23 = {0, 0}, da01 = {0, 0}, da23 = {0, 0}, db01 = {0, 0}, db23 = {0, 0};
    for (std::size_t i = 0; i < shared; ++i) {
        const Lanes a = {z[i], z[i]};
        const Lanes x01 = a - ma01, x23 = a - ma23;
        const Lanes y01 = load_lanes(b + i) - mb01, y23 = load_lanes(b + i + 2) - mb23;
        nom01 += x01 * y01;
        nom23 += x23 * y23;
        da01 += x01 * x01;
        da23 += x23 * x23;
        db01 += y01 * y01;
        db23 += y23 * y23;
    }
    double nom[lanes] = {nom01[0], nom01[1], nom23[0], nom23[1]};
    double da[lanes] = {da01[0], da01[1], da23[0], da23[1]};
    double db[lanes] = {db01[0], db01[1], db23[0], db23[1]};
    const auto step = [&](std::size_t l, std::size_t i) {
        const double x = z[i] - mean_a[l], y = z[i + first + l] - mean_b[l];
        nom[l] += x * y;
        da[l] += x * x;
        db[l] += y * y;
    };
    for (std::size_t l = 0; l < lanes; ++l) {
        for (std::size_t i = shared; i < n - (first + l); ++i) step(l, i);
        out[l] = nom[l] / std::sqrt(da[l] * db[l]);
    }
    return out;
}

double gaussian_ami(double r) { return -0.5 * std::log(std::fmax(1.0 - r * r, 1e-12)); }

// I0(x) from its power series sum ((x/2)^k / k!)^2.
double bessel_i0(double x) {
    const double half_x2 = (x / 2) * (x / 2);
    double term = 1.0, sum = 1.0;
    for (int k = 1; k < 500; ++k) {
        term *= half_x2 / (static_cast<double>(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

// The anti-aliasing filter of decimation by q > 1: a Kaiser-windowed (beta 5)
// sinc low-pass of half-width 10 q, scaled to unit gain at zero frequency.
std::vector<double> decimation_filter(std::size_t q) {
    const double beta = 5.0;
    const auto k_half = static_cast<std::ptrdiff_t>(10 * q);
    const double dq = static_cast<double>(q);
    std::vector<double> h(static_cast<std::size_t>(2 * k_half + 1));
    const double i0_beta = bessel_i0(beta);
    double total = 0;
    for (std::ptrdiff_t m = -k_half; m <= k_half; ++m) {
        const double u = static_cast<double>(m) / dq;
        const double g = m == 0 ? 1.0 / dq : std::sin(pi * u) / (pi * u) / dq;
        const double r = static_cast<double>(m) / static_cast<double>(k_half);
        const double w = bessel_i0(beta * std::sqrt(1 - r * r)) / i0_beta;
        h[static_cast<std::size_t>(m + k_half)] = g * w;
        total += h[static_cast<std::size_t>(m + k_half)];
    }
    for (double& v : h) v /= total;
    return h;
}

// decimation_filter(q), a pure function of q whose Bessel series dominate the
// decimation: computed once per process for the common factors and shared
// read-only between threads, computed for the caller alone beyond them.
const std::vector<double>& shared_filter(std::size_t q, std::vector<double>& own) {
    constexpr std::size_t slots = 128;
    static std::array<std::once_flag, slots> once;
    static std::array<std::vector<double>, slots> filters;
    if (q >= slots) return own = decimation_filter(q);
    std::call_once(once[q], [q] { filters[q] = decimation_filter(q); });
    return filters[q];
}

// Anti-aliased decimation by q > 1: the filter centred on every q-th value,
// with zeros beyond the ends of z.
std::vector<double> resample_down(Series z, std::size_t q) {
    const auto k_half = static_cast<std::ptrdiff_t>(10 * q);
    const auto n = static_cast<std::ptrdiff_t>(z.size());
    std::vector<double> own;
    const std::vector<double>& h = shared_filter(q, own);
    const std::ptrdiff_t count = (n + static_cast<std::ptrdiff_t>(q) - 1) / static_cast<std::ptrdiff_t>(q);
    const auto step = static_cast<std::ptrdiff_t>(q);
    std::vector<double> out(static_cast<std::size_t>(count));
    const auto one = [&](std::ptrdiff_t i) {
        const std::ptrdiff_t centre = i * step;
        const std::ptrdiff_t lo = std::max<std::ptrdiff_t>(centre - k_half, 0);
        const std::ptrdiff_t hi = std::min(centre + k_half, n - 1);
        double acc = 0;
        for (std::ptrdiff_t j = lo; j <= hi; ++j) {
            acc += z[static_cast<std::size_t>(j)] * h[static_cast<std::size_t>(centre - j + k_half)];
        }
        out[static_cast<std::size_t>(i)] = acc;
    };
    // Outputs whose taps all land inside z, four at a time: each output's
    // sum still runs over its taps in index order, one chain per lane; the
    // four chains only overlap in time.
    const std::ptrdiff_t first_inner = (k_half + step - 1) / step;
    std::ptrdiff_t i = 0;
    for (; i < std::min(first_inner, count); ++i) one(i);
    using common::Lanes;
    const double* taps = h.data() + 2 * k_half;  // taps[-t] is the tap of the t-th value
    for (; i + 3 < count && (i + 3) * step + k_half <= n - 1; i += 4) {
        const double* v = z.data() + (i * step - k_half);
        Lanes a01 = {0.0, 0.0}, a23 = {0.0, 0.0};
        for (std::ptrdiff_t t = 0; t <= 2 * k_half; ++t) {
            const Lanes tap = {taps[-t], taps[-t]};
            a01 += Lanes{v[t], v[t + step]} * tap;
            a23 += Lanes{v[t + 2 * step], v[t + 3 * step]} * tap;
        }
        out[static_cast<std::size_t>(i)] = a01[0];
        out[static_cast<std::size_t>(i + 1)] = a01[1];
        out[static_cast<std::size_t>(i + 2)] = a23[0];
        out[static_cast<std::size_t>(i + 3)] = a23[1];
    }
    for (; i < count; ++i) one(i);
    return out;
}

}  // namespace

double co_firstcrossing_acf_1e(Series z, Shared* shared) {
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    return first_crossing(ac, z.size(), inverse_e);
}

double co_firstmin_ac(Series z, Shared* shared) {
    const std::size_t n = z.size();
    if (n < 3) return common::nan;
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (ac[i] < ac[i - 1] && ac[i] < ac[i + 1]) return static_cast<double>(i);
    }
    return static_cast<double>(n);
}

double fc_localsimple_mean3_stde(Series z, Shared*) {
    const std::size_t n = z.size();
    if (n <= 3) return common::nan;
    std::vector<double> res(n - 3);
    for (std::size_t i = 0; i < res.size(); ++i) {
        double sum = 0.0;
        for (std::size_t j = 0; j < 3; ++j) sum += z[i + j];
        res[i] = z[i + 3] - sum / 3.0;
    }
    return common::std_dev(res);
}

double fc_localsimple_mean1_taurat(Series z, Shared* shared) {
    const std::size_t n = z.size();
    if (n <= 1) return common::nan;
    std::vector<double> res(n - 1);
    for (std::size_t i = 0; i < res.size(); ++i) res[i] = z[i + 1] - (0.0 + z[i]) / 1.0;
    double residual_crossing = common::nan;
    if (res.size() >= 2) {
        const common::Prepared r = common::Prepared::borrowed(res);
        PreparedAutocorrs res_ac(r, nullptr);
        residual_crossing = first_crossing(res_ac, res.size(), 0.0);
    }
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    const double series_crossing = first_crossing(ac, n, 0.0);
    if (series_crossing == 0 || !std::isfinite(series_crossing)) return common::nan;
    return residual_crossing / series_crossing;
}

double in_automutualinfostats_40_gaussian_fmmi(Series z, Shared*) {
    const std::size_t n = z.size();
    const std::size_t tau = std::min<std::size_t>(40, (n + 1) / 2);
    if (tau < 3) return static_cast<double>(tau);
    std::vector<double> prefix(n + 1);
    double running = 0.0;
    for (std::size_t i = 0; i < n; ++i) prefix[i + 1] = running += z[i];
    // Lags 1 .. tau, four at a time as the scan reaches them (lag + 3 stays
    // below n: tau <= (n + 1) / 2 and n >= 5 here).
    std::array<double, 4> block{};
    std::size_t block_first = 0;
    const auto ami = [&](std::size_t lag) {
        if (block_first == 0 || lag >= block_first + 4) {
            block_first = lag;
            block = lag_correlations(z, prefix, lag);
        }
        return gaussian_ami(block[lag - block_first]);
    };
    double before = ami(1);
    double now = ami(2);
    for (std::size_t i = 1; i + 1 < tau; ++i) {
        const double next = ami(i + 2);
        if (now < before && now < next) return static_cast<double>(i + 1);
        before = now;
        now = next;
    }
    return static_cast<double>(tau);
}

double co_histogramami_even_5bin_ami2(Series z, Shared*) {
    constexpr std::size_t lag = 2, most = 5;
    const std::size_t n = z.size();
    if (n <= lag) return common::nan;
    const Edges e = hist_edges(z, most);
    const std::size_t nb = e.bins;
    const std::size_t samples = n - lag;
    std::array<std::array<double, most>, most> pij{};
    for (std::size_t t = 0; t < samples; ++t) {
        pij[bin_of(z[t], e)][bin_of(z[t + lag], e)] += 1;
    }
    // Column by column, as MATLAB sums.
    double total = 0;
    for (std::size_t j = 0; j < nb; ++j) {
        for (std::size_t i = 0; i < nb; ++i) total += pij[i][j];
    }
    std::array<double, most> pi_{}, pj{};
    for (std::size_t i = 0; i < nb; ++i) {
        for (std::size_t j = 0; j < nb; ++j) pij[i][j] /= total;
    }
    for (std::size_t i = 0; i < nb; ++i) {
        for (std::size_t j = 0; j < nb; ++j) pi_[i] += pij[i][j];
    }
    for (std::size_t j = 0; j < nb; ++j) {
        for (std::size_t i = 0; i < nb; ++i) pj[j] += pij[i][j];
    }
    double ami = 0;
    int cells = 0, rows = 0, cols = 0;
    for (std::size_t j = 0; j < nb; ++j) {
        for (std::size_t i = 0; i < nb; ++i) {
            if (pij[i][j] > 0) {
                ami += pij[i][j] * std::log(pij[i][j] / pi_[i] / pj[j]);
                ++cells;
            }
        }
    }
    for (std::size_t i = 0; i < nb; ++i) {
        if (pi_[i] > 0) ++rows;
        if (pj[i] > 0) ++cols;
    }
    // Panzeri-Treves bias correction.
    ami -= (cells - rows - cols + 1) / (2.0 * static_cast<double>(samples));
    return ami;
}

double sb_transitionmatrix_quantile_3_ac_sumdiagcov(Series z, Shared* shared) {
    const std::size_t n = z.size();
    // A z-score that is constant after all (every value 0: a series whose
    // spread overflows) has no transitions to estimate.
    if (std::all_of(z.begin(), z.end(), [&](double v) { return v == z[0]; })) return common::nan;
    // The first lag with a negative autocorrelation (n - 1 when none is),
    // capped at n / 50: only the lags up to the cap are read.
    const std::size_t cap = n / 50;
    std::size_t tau = cap;
    if (cap > 0) {
        const common::Prepared y = common::Prepared::borrowed(z);
        PreparedAutocorrs ac(y, shared);
        for (std::size_t k = 1; k <= cap && k < n; ++k) {
            if (ac[k] < 0) {
                tau = k;
                break;
            }
        }
    }
    std::vector<double> down;
    Series x = z;
    if (tau > 1) {
        down = resample_down(z, tau);
        x = down;
    }
    const std::size_t m = x.size();
    if (m < 2) return common::nan;
    std::vector<std::uint64_t> labels(m, 0);
    sb_coarsegrain(x, labels);
    std::array<std::array<double, 3>, 3> t{};
    for (std::size_t j = 0; j + 1 < m; ++j) t[labels[j] - 1][labels[j + 1] - 1] += 1;
    for (auto& row : t) {
        for (double& v : row) v /= static_cast<double>(m - 1);
    }
    // The trace of the covariance between the columns of T: the sum of the
    // columns' sample variances.
    double total = 0;
    for (std::size_t j = 0; j < 3; ++j) {
        const double mean = (((0.0 + t[0][j]) + t[1][j]) + t[2][j]) / 3;
        double c = 0;
        for (std::size_t i = 0; i < 3; ++i) c += (t[i][j] - mean) * (t[i][j] - mean);
        total += c / 2;
    }
    return total;
}

// The classic routine finds the same peak; v1 reports its lag rather than
// its index into the autocovariance.
double pd_periodicitywang_th0_01(Series z, Shared*) {
    const std::int32_t index = catch22::pd_periodicitywang(z, false);
    return index > 0 ? static_cast<double>(index) + 1 : 0.0;
}

double co_embed2_dist_tau_d_expfit_meandiff(Series z, Shared* shared) {
    const std::size_t n = z.size();
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    std::size_t tau = co_firstzero(ac, n);
    if (static_cast<double>(tau) > static_cast<double>(n) / 10) {
        tau = static_cast<std::size_t>(std::floor(static_cast<double>(n) / 10));
    }
    if (n < tau + 2) return common::nan;
    const std::size_t m = n - tau - 1;
    std::vector<double> d(m);
    for (std::size_t i = 0; i < m; ++i) {
        const double a = z[i + 1] - z[i];
        const double b = z[i + tau + 1] - z[i + tau];
        d[i] = std::sqrt(a * a + b * b);
    }
    double lo = d[0], hi = d[0];
    for (const double v : d) {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    // All distances equal (to within rounding): no distribution to fit.
    if (hi - lo <= 1e-12 * hi) return common::nan;
    const double l = common::sum(d) / static_cast<double>(m);  // the exponential's maximum-likelihood mean
    const Edges e = hist_edges(d, num_bins_auto(d));
    const std::vector<std::uint32_t> counts = hist_counts(d, e);
    double total = 0;
    for (std::size_t i = 0; i < e.bins; ++i) {
        const double density = counts[i] / (static_cast<double>(m) * (e.edges[i + 1] - e.edges[i]));
        const double centre = (e.edges[i] + e.edges[i + 1]) / 2;
        const double expf = (1 / l) * std::exp(-centre / l);
        total += std::fabs(density - expf);
    }
    return total / static_cast<double>(e.bins);
}

}  // namespace quorlex::catch22::v1
