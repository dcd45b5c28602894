// The hctsa set run: 512 named features of one series.
#pragma once

#include "parallel/common.hpp"

namespace quorlex::parallel {

// The 512 tasks in result order. Members that share work read it from the
// hctsa intermediates of the RunShared they are given. Built once.
const TaskList& hctsa_tasks();

// The normalising executor for a task list that holds hctsa members: with
// normalize set every task sees the z-score of y, and the hctsa intermediates
// are prepared on the worker pool before the tasks run.
std::vector<double> hctsa_prepared_values(Series y, bool normalize, const TaskList& tasks);

// The hctsa set run: with normalize set every member sees the z-score of y.
FeatureSet hctsa_all(Series y, bool normalize);

}  // namespace quorlex::parallel
