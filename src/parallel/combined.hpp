// The combined run: any union of the hctsa, catch22, catchaMouse16 and
// tsfeatures sets, and its cumulative extraction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "parallel/common.hpp"

namespace quorlex::parallel {

struct CombinedOptions {
    bool catch24 = false;
    bool catchamouse16 = true;
    bool hctsa = false;
    std::optional<std::uint64_t> freq;
    std::uint64_t lags = 12;
    bool demean = true;
};

// In order: the hctsa tasks (when asked), the 20 catch22 tasks, DN_Spread_Std
// (catch24), the 19 catchaMouse16 tasks (when asked), the tsfeatures tasks
// without their first "seas_pacf", and "seas_pacf" for a freq of at least 2.
// Its tasks read what they share from the RunShared they are given.
TaskList combined_tasks(const CombinedOptions& options);

// The combined run on the normalising executor: with normalize set every task
// sees the z-score of y (and the catch22 and catchaMouse16 routines, given
// the flag too, z-score it again).
FeatureSet combined_all(Series y, bool normalize, const CombinedOptions& options);

CumulativeTable combined_cumulative(Series series, bool normalize, const CombinedOptions& options,
                                    const std::optional<std::string>& value_column);

}  // namespace quorlex::parallel
