#include "parallel/tsfeatures.hpp"

#include <limits>
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

enum class PacfEntry : std::size_t { x, diff1, diff2, seasonal };

// The four pacf tasks of a run read one computation of the pacf feature map,
// kept in the run's memo in PacfEntry order (NaN for an absent seasonal entry).
FeatureTask pacf_task(std::optional<std::uint64_t> freq, const char* name, PacfEntry entry) {
    return {name, [freq, entry](Series y, bool, common::RunMemo& memo) {
                const auto& map = memo.get(common::RunMemo::Item::pacf_features, [&] {
                    const tsfeatures::PacfFeatures f = tsfeatures::pacf_features(y, freq);
                    return std::vector<double>{f.x_pacf5, f.diff1x_pacf5, f.diff2x_pacf5,
                                               f.seas_pacf.value_or(common::nan)};
                });
                return map[static_cast<std::size_t>(entry)];
            }};
}

bool seasonal(std::optional<std::uint64_t> freq) { return freq && *freq >= 2; }

// Rows 1 to 14 of the set, with or without row 8 ("seas_pacf"), then the
// trailing "seas_pacf" for a seasonal freq.
TaskList build(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean, bool with_row_8) {
    TaskList tasks;
    tasks.reserve(15);
    tasks.push_back({"crossing_points", routine<&tsfeatures::crossing_points>});
    tasks.push_back({"flat_spots", routine<&tsfeatures::flat_spots>});
    tasks.push_back({"lumpiness", [freq](Series y, bool, common::RunMemo&) { return tsfeatures::lumpiness(y, freq); }});
    tasks.push_back({"stability", [freq](Series y, bool, common::RunMemo&) { return tsfeatures::stability(y, freq); }});
    tasks.push_back(pacf_task(freq, "x_pacf5", PacfEntry::x));
    tasks.push_back(pacf_task(freq, "diff1x_pacf5", PacfEntry::diff1));
    tasks.push_back(pacf_task(freq, "diff2x_pacf5", PacfEntry::diff2));
    if (with_row_8) tasks.push_back(pacf_task(freq, "seas_pacf", PacfEntry::seasonal));
    tasks.push_back({"hurst", routine<&tsfeatures::hurst>});
    tasks.push_back({"unitroot_pp", routine<&tsfeatures::unitroot_pp>});
    tasks.push_back({"unitroot_kpss", routine<&tsfeatures::unitroot_kpss>});
    tasks.push_back({"nonlinearity", routine<&tsfeatures::nonlinearity>});
    tasks.push_back(
        {"arch_lm", [lags, demean](Series y, bool, common::RunMemo&) { return tsfeatures::arch_stat(y, lags, demean); }});
    tasks.push_back({"entropy", routine<&tsfeatures::entropy>});
    if (seasonal(freq)) tasks.push_back(pacf_task(freq, "seas_pacf", PacfEntry::seasonal));
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
    return run_normalising(y, normalize, tsfeatures_tasks(freq, lags, demean));
}

CumulativeTable tsfeatures_cumulative(Series series, bool normalize, std::optional<std::uint64_t> freq,
                                      std::uint64_t lags, bool demean,
                                      const std::optional<std::string>& value_column) {
    const TaskList tasks = tsfeatures_tasks(freq, lags, demean);
    return cumulative(series, value_column, [&](Series prefix) { return run_normalising(prefix, normalize, tasks); });
}

}  // namespace quorlex::parallel
