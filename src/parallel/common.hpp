// Feature tasks, the two executors and cumulative extraction shared by every
// set run.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "helpers/series.hpp"
#include "parallel/run_shared.hpp"

namespace quorlex::parallel {

// One feature of a set run: its result name and how to compute it from the
// shared read-only series, the run's normalize flag and the intermediates the
// run's features share.
struct FeatureTask {
    std::string name;
    std::function<double(Series y, bool normalize, RunShared& shared)> compute;
    // For a feature that is masked where it cannot be estimated: the value
    // standing in for its NaN on a finite series of n values (see
    // batch::Segment::mask).
    double (*mask)(std::size_t n) = nullptr;
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

// The values of every task in task order, each given y, the normalize flag and
// `shared`, which must be bound to y.
std::vector<double> shared_values(Series y, bool normalize, const TaskList& tasks, RunShared& shared);

// The two executors, as the values of every task in task order. The plain one
// hands every task the series as given and the normalize flag; with normalize
// set, the normalising one hands them the z-score of the series instead.
std::vector<double> plain_values(Series y, bool normalize, const TaskList& tasks);
std::vector<double> normalising_values(Series y, bool normalize, const TaskList& tasks);
using Executor = std::vector<double> (*)(Series y, bool normalize, const TaskList& tasks);

std::vector<std::string> task_names(const TaskList& tasks);

// The names of the tasks with the values `execute` gives them.
FeatureSet run_set(Series y, bool normalize, const TaskList& tasks, Executor execute);

struct CumulativeTable {
    std::vector<std::string> feature_names;
    std::vector<std::vector<double>> rows;
};

// Runs a set on every prefix series[0..i] (a view), the prefixes in
// parallel, and tabulates the results with the raw newest value under
// `value_column` (default "VALUE"). `values_of` gives a prefix's values in the
// order of `names`, the same names for every prefix. The columns are the
// distinct names and the value column in byte-wise order; where a name occurs
// twice (or equals the value column) the later value fills the column.
CumulativeTable cumulative(Series series, const std::optional<std::string>& value_column,
                           const std::vector<std::string>& names,
                           const std::function<std::vector<double>(Series prefix)>& values_of);

}  // namespace quorlex::parallel
