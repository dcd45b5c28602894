// Mean after dropping percent / 2 percent of the sorted values at each end.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// NaN for an empty series, percent >= 100, nothing left after trimming, or
// any NaN value (NaN has no place in the sort).
double dn_trimmedmean(Series y, double percent);
// The same given common::sorted_copy(y), made once for several callers.
double dn_trimmedmean_sorted(Series y, Series sorted, double percent);

inline double dn_trimmed_mean_1(Series y) { return dn_trimmedmean(y, 1.0); }
inline double dn_trimmed_mean_5(Series y) { return dn_trimmedmean(y, 5.0); }
inline double dn_trimmed_mean_10(Series y) { return dn_trimmedmean(y, 10.0); }
inline double dn_trimmed_mean_25(Series y) { return dn_trimmedmean(y, 25.0); }
inline double dn_trimmed_mean_50(Series y) { return dn_trimmedmean(y, 50.0); }

}  // namespace quorlex::hctsa
