// The catch22 set run and its cumulative extraction.
#pragma once

#include <optional>
#include <string>

#include "parallel/common.hpp"

namespace quorlex::parallel {

// The 20 catch22 tasks in result order, then DN_Spread_Std when catch24 is set:
// 20 and 21 features are the module's published set (no histogram modes, no
// DN_Mean), kept as they are; quorlex_batch's "catch22"/"catch24" give 22 and 24.
const TaskList& catch22_tasks(bool catch24);

// The catch22 set run on the plain executor: each routine applies its own
// z-score, and DN_Spread_Std measures the raw series.
FeatureSet catch22_all(Series y, bool normalize, bool catch24);

CumulativeTable catch22_cumulative(Series series, bool normalize, bool catch24,
                                   const std::optional<std::string>& value_column);

}  // namespace quorlex::parallel
