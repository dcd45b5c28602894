#include "parallel/common.hpp"

#include <algorithm>

#include "parallel/pool.hpp"

namespace quorlex::parallel {

std::vector<double> plain_values(Series y, bool normalize, const TaskList& tasks) {
    std::vector<double> values(tasks.size());
    RunShared shared(y, normalize);
    for_each_index(tasks.size(), [&](std::size_t i) { values[i] = tasks[i].compute(y, normalize, shared); });
    return values;
}

std::vector<double> normalising_values(Series y, bool normalize, const TaskList& tasks) {
    if (!normalize) return plain_values(y, normalize, tasks);
    const auto z = common::zscore(y);
    return plain_values(z, normalize, tasks);
}

FeatureSet run_set(Series y, bool normalize, const TaskList& tasks, Executor execute) {
    FeatureSet out;
    out.names.reserve(tasks.size());
    for (const auto& task : tasks) out.names.push_back(task.name);
    out.values = execute(y, normalize, tasks);
    return out;
}

CumulativeTable cumulative(Series series, const std::optional<std::string>& value_column, const TaskList& tasks,
                           bool normalize, Executor execute) {
    CumulativeTable table;
    if (series.empty()) return table;
    // The columns depend on the task list alone, so they are laid out once:
    // std::string compares byte-wise, which is the column order.
    const std::string value_name = value_column.value_or("VALUE");
    auto& names = table.feature_names;
    names.push_back(value_name);
    for (const auto& task : tasks) names.push_back(task.name);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::lower_bound(names.begin(), names.end(), name) - names.begin());
    };
    const std::size_t value_at = column(value_name);
    std::vector<std::size_t> task_at(tasks.size());
    for (std::size_t k = 0; k < tasks.size(); ++k) task_at[k] = column(tasks[k].name);

    table.rows.assign(series.size(), {});
    for_each_index(series.size(), [&](std::size_t i) {
        const std::vector<double> values = execute(series.first(i + 1), normalize, tasks);
        auto& row = table.rows[i];
        row.assign(names.size(), common::nan);
        row[value_at] = series[i];
        // In task order, so a repeated name keeps its later value.
        for (std::size_t k = 0; k < tasks.size(); ++k) row[task_at[k]] = values[k];
    });
    return table;
}

}  // namespace quorlex::parallel
