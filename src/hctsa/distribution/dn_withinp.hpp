// Share of values within p spreads of a centre.
#pragma once

#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// centre "mean": the mean and the population standard deviation (divisor n);
// "median": the median and 1.35 times the interquartile range. Any other
// centre is an internal failure "Unknown setting: <centre>".
double dn_withinp(Series y, double p, std::string_view centre);
// The "median" setting given common::sorted_copy(y), made once for several
// callers.
double dn_withinp_median(Series y, Series sorted, double p);

}  // namespace quorlex::hctsa
