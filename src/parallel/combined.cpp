#include "parallel/combined.hpp"

#include <iterator>
#include <utility>

#include "parallel/catch22.hpp"
#include "parallel/catchamouse16.hpp"
#include "parallel/hctsa.hpp"
#include "parallel/tsfeatures.hpp"

namespace quorlex::parallel {

namespace {

void append(TaskList& to, TaskList&& from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

void append(TaskList& to, const TaskList& from) { to.insert(to.end(), from.begin(), from.end()); }

// The executor of combined_all.
Executor executor(const CombinedOptions& options) {
    return options.hctsa ? hctsa_prepared_values : normalising_values;
}

}  // namespace

TaskList combined_tasks(const CombinedOptions& options) {
    TaskList tasks;
    if (options.hctsa) append(tasks, hctsa_tasks());
    append(tasks, catch22_tasks(options.catch24));
    if (options.catchamouse16) append(tasks, catchamouse16_tasks());
    append(tasks, tsfeatures_combined_tasks(options.freq, options.lags, options.demean));
    return tasks;
}

FeatureSet combined_all(Series y, bool normalize, const CombinedOptions& options) {
    return run_set(y, normalize, combined_tasks(options), executor(options));
}

CumulativeTable combined_cumulative(Series series, bool normalize, const CombinedOptions& options,
                                    const std::optional<std::string>& value_column) {
    // One task list for every prefix; each prefix is a run of its own, with
    // intermediates of its own.
    const TaskList tasks = combined_tasks(options);
    const Executor execute = executor(options);
    return cumulative(series, value_column, task_names(tasks),
                      [&](Series prefix) { return execute(prefix, normalize, tasks); });
}

}  // namespace quorlex::parallel
