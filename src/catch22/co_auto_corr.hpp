// The features read from the autocorrelation (helpers/autocorrelation.hpp),
// and the autocorrelations of a prepared series as they read them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "catch22/intermediates.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/moments.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

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
    std::optional<common::LazyAutocorrs> own_;
    std::size_t n_;
    std::span<const double> lags_;
};

// First lag below min(maxtau, ac.size()) whose autocorrelation is not
// positive (NaN counts as not positive); the limit when there is none.
std::size_t co_firstzero(PreparedAutocorrs& ac, std::size_t maxtau);

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
