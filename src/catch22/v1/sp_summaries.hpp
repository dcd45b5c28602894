// SP_Summaries (v1): the low-frequency power and the median frequency of the periodogram.
#pragma once

#include "catch22/intermediates.hpp"
#include "catch22/v1/periodogram.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// The periodogram is that of z, the z-score of a finite series that is not
// constant, with at least two values (the set run screens the series and
// masks what a routine cannot estimate).

// The power in the lowest fifth of the periodogram's bins, and the median
// frequency; NaN with fewer than two bins.
double sp_summaries_fft_area_5_1(const Periodogram& s);
double sp_summaries_fft_wq_50(const Periodogram& s);
inline double sp_summaries_fft_area_5_1(Series z, Shared* = nullptr) { return sp_summaries_fft_area_5_1(periodogram(z)); }
inline double sp_summaries_fft_wq_50(Series z, Shared* = nullptr) { return sp_summaries_fft_wq_50(periodogram(z)); }

}  // namespace quorlex::catch22::v1
