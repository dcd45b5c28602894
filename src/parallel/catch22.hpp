// The catch22 set run and its cumulative extraction.
#pragma once

#include <optional>
#include <string>

#include "parallel/common.hpp"

namespace quorlex::parallel {

// The module's catch22 run: the 20 catch22 tasks in result order, then
// DN_Spread_Std when with_spread_std is set (the module's `catch24` argument).
// Its 20 and 21 features (no histogram modes, no DN_Mean) are the module's
// contract, kept as they are; quorlex_batch's published sets "catch22" and
// "catch24" have 22 and 24 (see batch.cpp). Built once.
const TaskList& catch22_tasks(bool with_spread_std);

// The catch22 set run on the plain executor: each routine applies its own
// z-score, and DN_Spread_Std measures the raw series.
FeatureSet catch22_all(Series y, bool normalize, bool with_spread_std);

CumulativeTable catch22_cumulative(Series series, bool normalize, bool with_spread_std,
                                   const std::optional<std::string>& value_column);

}  // namespace quorlex::parallel
