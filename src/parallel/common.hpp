// Feature tasks, the two executors and cumulative extraction shared by every
// set run.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "helpers/common.hpp"
#include "parallel/shared.hpp"

namespace quorlex::parallel {

// One feature of a set run: its result name and how to compute it from the
// shared read-only series, the run's normalize flag and the intermediates the
// run's features share.
struct FeatureTask {
    std::string name;
    std::function<double(Series y, bool normalize, RunShared& shared)> compute;
};

// A feature routine as a task's computation, whichever of the routine forms
// (series, flag, catch22 intermediates), (series, flag) or (series) it has.
template <auto F>
double routine(Series y, bool normalize, RunShared& shared) {
    if constexpr (std::is_invocable_v<decltype(F), Series, bool, catch22::Shared*>) {
        return F(y, normalize, &shared.catch22);
    } else if constexpr (std::is_invocable_v<decltype(F), Series, bool>) {
        return F(y, normalize);
    } else {
        return F(y);
    }
}
using TaskList = std::vector<FeatureTask>;

struct FeatureSet {
    std::vector<std::string> names;
    std::vector<double> values;
};

// The two executors, as the values of every task in task order. The plain one
// hands every task the series as given and the normalize flag; with normalize
// set, the normalising one hands them the z-score of the series instead.
std::vector<double> plain_values(Series y, bool normalize, const TaskList& tasks);
std::vector<double> normalising_values(Series y, bool normalize, const TaskList& tasks);
using Executor = std::vector<double> (*)(Series y, bool normalize, const TaskList& tasks);

// The names of the tasks with the values `execute` gives them.
FeatureSet run_set(Series y, bool normalize, const TaskList& tasks, Executor execute);

struct CumulativeTable {
    std::vector<std::string> feature_names;
    std::vector<std::vector<double>> rows;
};

// Runs the tasks with `execute` on every prefix series[0..i], the prefixes in
// parallel, and tabulates the results with the raw newest value under
// `value_column` (default "VALUE"). The columns are the distinct task names
// and the value column in byte-wise order; where a name occurs twice (or
// equals the value column) the later task's value fills the column.
CumulativeTable cumulative(Series series, const std::optional<std::string>& value_column, const TaskList& tasks,
                           bool normalize, Executor execute);

}  // namespace quorlex::parallel
