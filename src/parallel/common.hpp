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

// Every task sees the series as given and the normalize flag.
FeatureSet run_plain(Series y, bool normalize, const TaskList& tasks);
// With normalize set, every task sees the z-score of the series instead.
FeatureSet run_normalising(Series y, bool normalize, const TaskList& tasks);

struct CumulativeTable {
    std::vector<std::string> feature_names;
    std::vector<std::vector<double>> rows;
};

// Runs `run_set` on every prefix series[0..i] in parallel and tabulates the
// results with the raw newest value under `value_column` (default "VALUE").
CumulativeTable cumulative(Series series, const std::optional<std::string>& value_column,
                           const std::function<FeatureSet(Series prefix)>& run_set);

}  // namespace quorlex::parallel
