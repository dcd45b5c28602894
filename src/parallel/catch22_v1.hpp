// catch22 v1 as a set run: pycatch22 1.0's 22 features ("catch24-v1" adds the mean
// and standard deviation of the raw series), its names and order, and the
// value each takes when it is masked. The routines, in src/catch22/v1, each
// reproduce one hctsa v3.0.0 call on the z-scored series, as catch22 1.x does.
#pragma once

#include "parallel/common.hpp"

namespace quorlex::parallel {

// The task list of "catch22-v1" (with_mean_and_std: "catch24-v1"), named by the long or
// the short names. Tasks take the raw series on a run whose catch22
// intermediates z-score it (normalize set): a series that is empty or holds
// NaN or an infinity gives NaN everywhere; a constant one NaN for the 22
// features of its z-score, each of which carries its mask value.
const TaskList& catch22_v1_tasks(bool with_mean_and_std, bool short_names);

}  // namespace quorlex::parallel
