#include "parallel/tsfeatures.hpp"

#include <vector>

#include "tsfeatures/arch_stat.hpp"
#include "tsfeatures/crossing_points.hpp"
#include "tsfeatures/entropy.hpp"
#include "tsfeatures/flat_spots.hpp"
#include "tsfeatures/hurst.hpp"
#include "tsfeatures/lumpiness.hpp"
#include "tsfeatures/nonlinearity.hpp"
#include "tsfeatures/pacf.hpp"
#include "tsfeatures/stability.hpp"
#include "tsfeatures/unitroot_kpss.hpp"
#include "tsfeatures/unitroot_pp.hpp"

namespace quorlex::parallel {

namespace {

// The four pacf tasks of a run read one computation of the pacf feature map.
template <class Read>
FeatureTask pacf_task(std::optional<std::uint64_t> freq, const char* name, Read read) {
    return {name, [freq, read](Series y, bool, RunShared& shared) {
                return read(shared.tsfeatures.pacf.get([&] { return tsfeatures::pacf_features(y, freq); }));
            }};
}

double x_pacf5(const tsfeatures::PacfFeatures& f) { return f.x_pacf5; }
double diff1x_pacf5(const tsfeatures::PacfFeatures& f) { return f.diff1x_pacf5; }
double diff2x_pacf5(const tsfeatures::PacfFeatures& f) { return f.diff2x_pacf5; }
// NaN when the run has no seasonal period.
double seas_pacf(const tsfeatures::PacfFeatures& f) { return f.seas_pacf.value_or(common::nan); }

bool seasonal(std::optional<std::uint64_t> freq) { return freq && *freq >= 2; }

// The set in result order, with or without the "seas_pacf" that follows
// "diff2x_pacf5", then a trailing "seas_pacf" for a seasonal freq.
TaskList build(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean, bool with_inner_seas_pacf) {
    TaskList tasks;
    tasks.reserve(15);
    tasks.push_back({"crossing_points", routine<&tsfeatures::crossing_points>});
    tasks.push_back({"flat_spots", routine<&tsfeatures::flat_spots>});
    tasks.push_back({"lumpiness", [freq](Series y, bool, RunShared&) { return tsfeatures::lumpiness(y, freq); }});
    tasks.push_back({"stability", [freq](Series y, bool, RunShared&) { return tsfeatures::stability(y, freq); }});
    tasks.push_back(pacf_task(freq, "x_pacf5", x_pacf5));
    tasks.push_back(pacf_task(freq, "diff1x_pacf5", diff1x_pacf5));
    tasks.push_back(pacf_task(freq, "diff2x_pacf5", diff2x_pacf5));
    if (with_inner_seas_pacf) tasks.push_back(pacf_task(freq, "seas_pacf", seas_pacf));
    tasks.push_back({"hurst", routine<&tsfeatures::hurst>});
    tasks.push_back({"unitroot_pp", routine<&tsfeatures::unitroot_pp>});
    tasks.push_back({"unitroot_kpss", routine<&tsfeatures::unitroot_kpss>});
    tasks.push_back({"nonlinearity", routine<&tsfeatures::nonlinearity>});
    tasks.push_back(
        {"arch_lm", [lags, demean](Series y, bool, RunShared&) { return tsfeatures::arch_stat(y, lags, demean); }});
    tasks.push_back({"entropy", routine<&tsfeatures::entropy>});
    if (seasonal(freq)) tasks.push_back(pacf_task(freq, "seas_pacf", seas_pacf));
    return tasks;
}

}  // namespace

TaskList tsfeatures_tasks(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean) {
    return build(freq, lags, demean, true);
}

TaskList tsfeatures_combined_tasks(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean) {
    return build(freq, lags, demean, false);
}

FeatureSet tsfeatures_all(Series y, bool normalize, std::optional<std::uint64_t> freq, std::uint64_t lags,
                          bool demean) {
    return run_set(y, normalize, tsfeatures_tasks(freq, lags, demean), normalising_values);
}

CumulativeTable tsfeatures_cumulative(Series series, bool normalize, std::optional<std::uint64_t> freq,
                                      std::uint64_t lags, bool demean,
                                      const std::optional<std::string>& value_column) {
    const TaskList tasks = tsfeatures_tasks(freq, lags, demean);
    return cumulative(series, value_column, task_names(tasks),
                      [&](Series prefix) { return normalising_values(prefix, normalize, tasks); });
}

}  // namespace quorlex::parallel
