#include "parallel/common.hpp"

#include <algorithm>
#include <limits>
#include <map>

#include "parallel/pool.hpp"

namespace quorlex::parallel {

FeatureSet run_plain(Series y, bool normalize, const TaskList& tasks) {
    FeatureSet out;
    out.names.reserve(tasks.size());
    for (const auto& task : tasks) out.names.push_back(task.name);
    out.values.resize(tasks.size());
    RunShared shared(y, normalize);
    for_each_index(tasks.size(), [&](std::size_t i) { out.values[i] = tasks[i].compute(y, normalize, shared); });
    return out;
}

FeatureSet run_normalising(Series y, bool normalize, const TaskList& tasks) {
    if (!normalize) return run_plain(y, normalize, tasks);
    const auto z = common::zscore(y);
    return run_plain(z, normalize, tasks);
}

CumulativeTable cumulative(Series series, const std::optional<std::string>& value_column,
                           const std::function<FeatureSet(Series prefix)>& run_set) {
    const std::string value_name = value_column.value_or("VALUE");
    // std::map orders std::string keys byte-wise, which is the column order.
    std::vector<std::map<std::string, double>> maps(series.size());
    for_each_index(series.size(), [&](std::size_t i) {
        const std::vector<double> prefix(series.begin(), series.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        FeatureSet set = run_set(prefix);
        auto& row = maps[i];
        row[value_name] = series[i];
        for (std::size_t k = 0; k < set.names.size(); ++k) row[std::move(set.names[k])] = set.values[k];
    });
    CumulativeTable table;
    if (maps.empty()) return table;
    for (const auto& entry : maps.front()) table.feature_names.push_back(entry.first);
    table.rows.reserve(maps.size());
    for (const auto& row : maps) {
        std::vector<double> values;
        values.reserve(table.feature_names.size());
        for (const auto& name : table.feature_names) {
            const auto found = row.find(name);
            values.push_back(found == row.end() ? common::nan : found->second);
        }
        table.rows.push_back(std::move(values));
    }
    return table;
}

}  // namespace quorlex::parallel
