// The tsfeatures set run and its cumulative extraction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "parallel/common.hpp"

namespace quorlex::parallel {

// The 14 tasks of the tsfeatures set, and a second "seas_pacf" last when freq
// is present and at least 2. The four partial-autocorrelation tasks of one
// list share one computation of the feature map per series.
TaskList tsfeatures_tasks(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean);

// The tsfeatures part of a combined run: the 13 tasks above without the first
// "seas_pacf", then "seas_pacf" when freq is present and at least 2.
TaskList tsfeatures_combined_tasks(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean);

// The tsfeatures set run on the normalising executor.
FeatureSet tsfeatures_all(Series y, bool normalize, std::optional<std::uint64_t> freq, std::uint64_t lags,
                          bool demean);

CumulativeTable tsfeatures_cumulative(Series series, bool normalize, std::optional<std::uint64_t> freq,
                                      std::uint64_t lags, bool demean,
                                      const std::optional<std::string>& value_column);

}  // namespace quorlex::parallel
