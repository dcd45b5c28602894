// Location or spread of the values between the p-th and (100 - p)-th
// percentiles.
#pragma once

#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// statistic "mean": the mean of the kept values; "std": their standard
// deviation over the whole series'; any other text NaN. NaN for an empty
// series, any NaN value, or nothing kept.
double dn_outliertest(Series y, double p, std::string_view statistic);
// The same given common::sorted_copy(y), made once for several callers.
double dn_outliertest_sorted(Series y, Series sorted, double p, std::string_view statistic);

}  // namespace quorlex::hctsa
