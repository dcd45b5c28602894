// Autocorrelation by two forward transforms of the zero-padded series: the
// radix-2 transform of helpers/fft.hpp, with its bits.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

// 1/e, the double nearest exp(-1): the autocorrelation's decay time is the lag
// of its first crossing of this level.
inline constexpr double one_over_e = 0.36787944117144233;

// Transform length for a series of n values: twice the smallest power of two
// >= n, computed in 32-bit signed integers as published (n = 1 gives 2).
// Internal failure when n is 0 or 2^30 or more.
std::size_t autocorr_length(std::size_t n);

// Autocorrelations at lags 0 .. nFFT-1 (entry 0 is 1 unless the series is
// constant, which makes every entry NaN). Lags >= n are wrapped-around values
// that callers must not search. Internal failure for an empty series.
std::vector<double> co_autocorrs(Series y);

// co_autocorrs(y, y.size()) computed as far as it is read. The lags come from
// heads of the second transform: the first 128, past the first zero and the
// first minimum of most series, then all of them, continuing from the levels
// already done. A lag once given keeps its place and is never written again,
// so spans given earlier stay valid. Internal failure for an empty series.
class LazyAutocorrs {
public:
    // `mean` is mean(y), when the caller has it.
    explicit LazyAutocorrs(Series y);
    LazyAutocorrs(Series y, double mean);
    ~LazyAutocorrs();
    std::size_t size() const { return n_; }
    // Lags 0 .. k-1 for some k >= min(count, size()).
    std::span<const double> first(std::size_t count);

private:
    struct State;
    std::size_t n_;
    std::unique_ptr<State> state_;
};

// The lag-2 entry of co_autocorrs; NaN for a one-value series.
double co_autocorr_lag2(Series y);

// The first lag below min(maxtau, autocorr_length(y.size())) whose entry of
// co_autocorrs(y) is not positive (NaN counts as not positive), the limit when
// there is none; the second transform runs only as far as the lags it reads.
std::size_t co_autocorr_firstzero(Series y, std::size_t maxtau);

}  // namespace quorlex::common
