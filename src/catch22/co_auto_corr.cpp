#include "catch22/co_auto_corr.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include "helpers/fft.hpp"
#include "helpers/histcounts.hpp"
#include "helpers/failure.hpp"
#include "helpers/portable.hpp"

namespace quorlex::catch22 {

namespace {

// The centred, zero-padded series transformed and multiplied by its
// conjugate: the unnormalised circular autocorrelation is its transform, read
// as far as the entries read need.
class PowerSpectrum {
public:
    // `m` is common::mean(y).
    PowerSpectrum(Series y, double m)
        : tw_(autocorr_length(y.size())),
          n_fft_(tw_.size()),
          // The spectrum, then the transforms' scratch, in one allocation; the
          // transforms write their scratch before reading it, so only the
          // series is written in.
          buffer_(common::uninitialized_array<double>(4 * n_fft_)),
          second_(transform(y, m)) {}
    std::size_t size() const { return n_fft_; }
    // The second transform, computed as far as the entries read need.
    common::LazyTransform& second() { return second_; }

private:
    common::LazyTransform transform(Series y, double m) {
        const common::Split s{buffer_.get(), buffer_.get() + n_fft_};
        for (std::size_t i = 0; i < y.size(); ++i) {
            s.re[i] = y[i] - m;
            s.im[i] = 0.0;
        }
        std::fill(s.re + y.size(), s.re + n_fft_, 0.0);
        std::fill(s.im + y.size(), s.im + n_fft_, 0.0);
        const common::Split scratch{buffer_.get() + 2 * n_fft_, buffer_.get() + 3 * n_fft_};
        return common::LazyTransform::of_power_spectrum(s, scratch, tw_, y.size());
    }

    common::SharedTwiddles tw_;
    std::size_t n_fft_;
    std::unique_ptr<double[]> buffer_;
    common::LazyTransform second_;
};

// Real part of the complex quotient a / d.
double real_quotient(common::Complex a, common::Complex d) {
    const double d2 = d.re * d.re + d.im * d.im;
    return (a.re * d.re + a.im * d.im) / d2;
}

}  // namespace

std::size_t autocorr_length(std::size_t n) {
    if (n == 0) fail_index(0, 0);
    if (n >= (std::size_t{1} << 30)) {
        fail("autocorrelation of " + std::to_string(n) +
             " values: the transform length does not fit in 32 bits");
    }
    auto p = static_cast<std::int32_t>(n - 1);
    p |= p >> 1;
    p |= p >> 2;
    p |= p >> 4;
    p |= p >> 8;
    p |= p >> 16;
    // p + 1 is at most 2^30; doubled, it no longer fits the 32-bit type.
    return static_cast<std::size_t>(p + 1) * 2;
}

std::vector<double> co_autocorrs(Series y) {
    PowerSpectrum power(y, common::mean(y));
    const auto f = power.second().head(power.size());
    const common::Complex d = f[0];
    std::vector<double> ac(f.size());
    for (std::size_t i = 0; i < f.size(); ++i) ac[i] = real_quotient(f[i], d);
    return ac;
}

double co_autocorr_lag2(Series y) {
    PowerSpectrum power(y, common::mean(y));
    if (power.size() < 3) return common::nan;
    // Only entries 0 and 2 of the second transform are read.
    common::LazyTransform& second = power.second();
    const auto f = second.head(4);
    return real_quotient(f[2], f[0]);
}

std::size_t co_autocorr_firstzero(Series y, std::size_t maxtau) {
    PowerSpectrum power(y, common::mean(y));
    const std::size_t lim = std::min(maxtau, power.size());
    // The second transform runs only as far as the lags read need: lags 0 and
    // 1 first (lag 1 is the first zero of a differenced series of noise), then
    // the first 64, about 7 of its log2 n levels, among which most series
    // cross zero; each step continues from the levels the one before did.
    common::LazyTransform& second = power.second();
    std::size_t i = 0;
    common::Complex d{};
    for (const std::size_t count : {std::size_t{2}, std::size_t{64}, power.size()}) {
        const auto f = second.head(count);
        if (i == 0) d = f[0];
        for (; i < std::min(lim, f.size()); ++i) {
            if (!(real_quotient(f[i], d) > 0)) return i;
        }
        if (i == lim) return lim;
    }
    return lim;
}

namespace {

template <class Lags>
std::size_t first_not_positive(Lags& ac, std::size_t lim) {
    for (std::size_t i = 0; i < lim; ++i) {
        if (!(ac[i] > 0)) return i;
    }
    return lim;
}

}  // namespace

std::size_t co_firstzero(std::span<const double> ac, std::size_t maxtau) {
    return first_not_positive(ac, std::min(maxtau, ac.size()));
}

std::size_t co_firstzero(PreparedAutocorrs& ac, std::size_t maxtau) {
    return first_not_positive(ac, std::min(maxtau, ac.size()));
}

struct LazyAutocorrs::State {
    State(Series y, double mean)
        : power(y, mean), lags(common::uninitialized_array<double>(y.size())) {}
    PowerSpectrum power;
    std::unique_ptr<double[]> lags;
    std::size_t done = 0;
    common::Complex d{};
};

LazyAutocorrs::LazyAutocorrs(Series y) : LazyAutocorrs(y, common::mean(y)) {}

LazyAutocorrs::LazyAutocorrs(Series y, double mean) : n_(y.size()), state_(std::make_unique<State>(y, mean)) {}

LazyAutocorrs::~LazyAutocorrs() = default;

std::span<const double> LazyAutocorrs::first(std::size_t count) {
    State& st = *state_;
    count = std::min(count, n_);
    if (count > st.done) {
        constexpr std::size_t first_head = 128;
        const auto f = st.power.second().head(count <= first_head ? first_head : st.power.size());
        if (st.done == 0) st.d = f[0];
        const std::size_t end = std::min(n_, f.size());
        for (std::size_t i = st.done; i < end; ++i) st.lags[i] = real_quotient(f[i], st.d);
        st.done = end;
    }
    return {st.lags.get(), st.done};
}

}  // namespace quorlex::catch22

namespace quorlex::catch22 {

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
    const double thresh = 0.36787944117144233;
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
