#include "parallel/combined.hpp"

#include <iterator>
#include <utility>

#include "parallel/catch22.hpp"
#include "parallel/catchamouse16.hpp"
#include "parallel/tsfeatures.hpp"

namespace quorlex::parallel {

namespace {

void append(TaskList& to, TaskList from) {
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

}  // namespace

TaskList combined_tasks(const CombinedOptions& options, std::shared_ptr<HctsaShared> shared) {
    TaskList tasks;
    if (options.hctsa) append(tasks, hctsa_tasks(std::move(shared)));
    append(tasks, catch22_tasks(options.catch24));
    if (options.catchamouse16) append(tasks, catchamouse16_tasks());
    append(tasks, tsfeatures_combined_tasks(options.freq, options.lags, options.demean));
    return tasks;
}

FeatureSet combined_all(Series y, bool normalize, const CombinedOptions& options) {
    return run_normalising_with_hctsa(y, normalize, options.hctsa,
                                      [&](auto shared) { return combined_tasks(options, std::move(shared)); });
}

CumulativeTable combined_cumulative(Series series, bool normalize, const CombinedOptions& options,
                                    const std::optional<std::string>& value_column) {
    // Each prefix gets a run of its own: the hctsa intermediates belong to
    // one series. The names do not depend on the series.
    return cumulative(series, value_column, task_names(combined_tasks(options)),
                      [&](Series prefix) { return combined_all(prefix, normalize, options).values; });
}

}  // namespace quorlex::parallel
