// Autocorrelation by two forward transforms of the zero-padded series, and the
// features read from it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "helpers/common.hpp"
#include "catch22/intermediates.hpp"

namespace quorlex::catch22 {

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
    // `mean` is common::mean(y), when the caller has it.
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

// The autocorrelations of a prepared series, lags 0 .. n-1, read lag by lag:
// from `shared` when there is one, else computed here; either way only as far
// as they are read.
class PreparedAutocorrs {
public:
    PreparedAutocorrs(const common::Prepared& y, Shared* shared);
    std::size_t size() const { return n_; }
    // The autocorrelation at `lag` < size().
    double operator[](std::size_t lag) {
        if (lag >= lags_.size()) lags_ = first(lag + 1);
        return lags_[lag];
    }

private:
    std::span<const double> first(std::size_t count);

    Shared* shared_;
    std::optional<LazyAutocorrs> own_;
    std::size_t n_;
    std::span<const double> lags_;
};

// The lag-2 entry of co_autocorrs; NaN for a one-value series.
double co_autocorr_lag2(Series y);

// First lag below min(maxtau, ac.size()) whose autocorrelation is not
// positive (NaN counts as not positive); the limit when there is none.
std::size_t co_firstzero(std::span<const double> ac, std::size_t maxtau);
std::size_t co_firstzero(PreparedAutocorrs& ac, std::size_t maxtau);

// co_firstzero(co_autocorrs(y), maxtau), running the second transform only as
// far as the lags it reads.
std::size_t co_autocorr_firstzero(Series y, std::size_t maxtau);

// Interpolated lag where the autocorrelation first drops below 1/e; n when it
// never does, 0.0 for non-finite input or fewer than 2 values.
double co_f1ecac(Series y, bool normalize, Shared* shared = nullptr);

// First local minimum of the autocorrelation; n when there is none, 0.0 for
// non-finite input or fewer than 2 values.
double co_firstmin_ac(Series y, bool normalize, Shared* shared = nullptr);

// Mean cubed increment; NaN for NaN input (infinities are not screened) and
// for fewer than 2 values.
double co_trev_1_num(Series y, bool normalize, Shared* shared = nullptr);

// Mean absolute gap between the histogram of 2-d delay-embedding distances and
// an exponential density; NaN for non-finite input or fewer than 2 values.
double co_embed2_dist_expfit_meandiff(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
