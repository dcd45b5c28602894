// Automutual information at one lag from a joint histogram with edges chosen
// by a binning method.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// Edges for `bins` bins of a finite, non-empty series: "even" (equal width
// over the range, widened by 0.1 at both ends), "std1" / "std2" (equal width
// over [-1, 1] / [-2, 2], plus an outer edge 0.1 beyond a value outside),
// "quantiles" (at evenly spaced probabilities, widened by 0.1 at both ends).
// `sorted` is the series sorted ascending. Any other method is an internal
// failure "Unknown binning method: <method>".
std::vector<double> histogram_ami_edges(Series sorted, std::string_view method, std::size_t bins);

// NaN for any non-finite value, n < 2, n <= lag, or a joint table holding
// nothing.
double co_histogramami(Series y, std::string_view method, std::size_t bins, std::size_t lag);

// The same with `sorted`, the series sorted ascending, given by a caller that
// asks for many settings of one series.
double co_histogramami(Series y, Series sorted, std::string_view method, std::size_t bins, std::size_t lag);

// co_histogramami(y, sorted, method, bins, lag) for lags 1 .. out.size(), the
// edges and the bin of every value found once for all of them.
void co_histogramami_lags(Series y, Series sorted, std::string_view method, std::size_t bins, std::span<double> out);

}  // namespace quorlex::hctsa
