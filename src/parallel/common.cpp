#include "parallel/common.hpp"

#include <algorithm>

#include "parallel/pool.hpp"

namespace quorlex::parallel {

std::vector<double> shared_values(Series y, bool normalize, const TaskList& tasks, RunShared& shared) {
    std::vector<double> values(tasks.size());
    for_each_index(tasks.size(), [&](std::size_t i) { values[i] = tasks[i].compute(y, normalize, shared); });
    return values;
}

std::vector<double> plain_values(Series y, bool normalize, const TaskList& tasks) {
    RunShared shared(y, normalize);
    return shared_values(y, normalize, tasks, shared);
}

std::vector<double> normalising_values(Series y, bool normalize, const TaskList& tasks) {
    if (!normalize) return plain_values(y, normalize, tasks);
    const auto z = common::zscore(y);
    return plain_values(z, normalize, tasks);
}

std::vector<std::string> task_names(const TaskList& tasks) {
    std::vector<std::string> names;
    names.reserve(tasks.size());
    for (const auto& task : tasks) names.push_back(task.name);
    return names;
}

FeatureSet run_set(Series y, bool normalize, const TaskList& tasks, Executor execute) {
    return {task_names(tasks), execute(y, normalize, tasks)};
}

CumulativeTable cumulative(Series series, const std::optional<std::string>& value_column,
                           const std::vector<std::string>& names,
                           const std::function<std::vector<double>(Series prefix)>& values_of) {
    CumulativeTable table;
    if (series.empty()) return table;
    // The names are the same for every prefix, so the columns are laid out
    // once: std::string compares byte-wise, which is the column order.
    const std::string value_name = value_column.value_or("VALUE");
    auto& columns = table.feature_names;
    columns = names;
    columns.push_back(value_name);
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::lower_bound(columns.begin(), columns.end(), name) - columns.begin());
    };
    const std::size_t value_at = column(value_name);
    std::vector<std::size_t> value_columns(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) value_columns[k] = column(names[k]);

    table.rows.assign(series.size(), {});
    for_each_index(series.size(), [&](std::size_t i) {
        const std::vector<double> values = values_of(series.first(i + 1));
        auto& row = table.rows[i];
        row.assign(columns.size(), common::nan);
        row[value_at] = series[i];
        // In the order of the names, so a repeated name keeps its later value.
        for (std::size_t k = 0; k < names.size(); ++k) row[value_columns[k]] = values[k];
    });
    return table;
}

}  // namespace quorlex::parallel
