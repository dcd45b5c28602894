#include "catch22/co_auto_corr.hpp"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/histcounts.hpp"

namespace quorlex::catch22 {

std::size_t co_firstzero(PreparedAutocorrs& ac, std::size_t maxtau) {
    const std::size_t lim = std::min(maxtau, ac.size());
    for (std::size_t i = 0; i < lim; ++i) {
        if (!(ac[i] > 0)) return i;
    }
    return lim;
}

PreparedAutocorrs::PreparedAutocorrs(const common::Prepared& y, Shared* shared) : shared_(shared), n_(y.size()) {
    if (shared == nullptr) own_.emplace(y.view());
}

std::span<const double> PreparedAutocorrs::first(std::size_t count) {
    return shared_ != nullptr ? shared_->autocorrs(count) : own_->first(count);
}

double co_f1ecac(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return 0.0;
    const common::Prepared y = prepare(series, normalize, shared);
    PreparedAutocorrs ac(y, shared);
    const double thresh = common::one_over_e;
    for (std::size_t i = 0; i + 2 < n; ++i) {
        if (ac[i + 1] < thresh) {
            return (thresh - ac[i]) / (ac[i + 1] - ac[i]) + static_cast<double>(i);
        }
    }
    return static_cast<double>(n);
}

double co_firstmin_ac(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return 0.0;
    const common::Prepared y = prepare(series, normalize, shared);
    PreparedAutocorrs ac(y, shared);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (ac[i] < ac[i - 1] && ac[i] < ac[i + 1]) return static_cast<double>(i);
    }
    return static_cast<double>(n);
}

double co_trev_1_num(Series series, bool normalize, Shared* shared) {
    if (common::has_nan(series)) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    const std::size_t n = y.size();
    // The mean of the cubed increments, summed as they come instead of stored.
    // An empty series has no increments either: 0 / 0 gives NaN as for one value.
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const double d = y[i + 1] - y[i];
        total += d * (d * d);
    }
    return total / static_cast<double>(n == 0 ? 0 : n - 1);
}

double co_embed2_dist_expfit_meandiff(Series series, bool normalize, Shared* shared) {
    const std::size_t n = series.size();
    if (!series_finite(series, shared) || n < 2) return common::nan;
    const common::Prepared y = prepare(series, normalize, shared);
    PreparedAutocorrs ac(y, shared);
    const std::size_t tau = std::min(co_firstzero(ac, n), n / 10);

    const std::size_t m = n - tau - 1;
    std::vector<double> d(m);
    for (std::size_t i = 0; i < m; ++i) {
        const double step = y[i + 1] - y[i];
        const double lagged = y[i + tau] - y[i + tau + 1];
        d[i] = std::sqrt(step * step + lagged * lagged);
    }
    const double l = common::mean(d);

    // Bin width 3.5 s / m^(1/3) (Scott's rule).
    const double s = common::std_dev(d);
    if (s < 0.001) return 0.0;
    const common::Range range = common::histcounts_range(d);
    const double bins = std::ceil((range.max - range.min) /
                                  ((s * 3.5) / std::pow(static_cast<double>(m), 0.3333333333333333)));
    const std::size_t n_bins = bins > 0.0 ? static_cast<std::size_t>(bins) : 0;
    if (n_bins == 0) return 0.0;

    const common::Histogram h = common::histcounts(d, n_bins, range);
    double total = 0.0;
    for (std::size_t i = 0; i < n_bins; ++i) {
        const double prob = static_cast<double>(h.counts[i]) / static_cast<double>(m);
        double expf = std::exp(((h.edges[i] + h.edges[i + 1]) * -0.5) / l) / l;
        if (expf < 0) expf = 0;
        total += std::fabs(prob - expf);
    }
    return total / static_cast<double>(n_bins);
}

}  // namespace quorlex::catch22
