#include "parallel/tsfeatures.hpp"

#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
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

using tsfeatures::PacfFeatures;

// The pacf feature map of the last series seen. The four pacf tasks of a run
// all receive the same series, so the first computes the map and the others
// read it. The key is the series' content, so a list reused for another
// series recomputes rather than answering for the old one.
class PacfCache {
public:
    explicit PacfCache(std::optional<std::uint64_t> freq) : freq_(freq) {}

    PacfFeatures get(Series y) {
        const std::lock_guard lock(mutex_);
        if (!features_ || !same_series(y)) {
            features_ = tsfeatures::pacf_features(y, freq_);
            key_.assign(y.begin(), y.end());
        }
        return *features_;
    }

private:
    bool same_series(Series y) const {
        // Bitwise, so that NaN matches NaN.
        return key_.size() == y.size() && (y.empty() || std::memcmp(key_.data(), y.data(), y.size_bytes()) == 0);
    }

    std::optional<std::uint64_t> freq_;
    std::mutex mutex_;
    std::optional<PacfFeatures> features_;
    std::vector<double> key_;
};

enum class PacfEntry { x, diff1, diff2, seasonal };

FeatureTask pacf_task(const std::shared_ptr<PacfCache>& cache, const char* name, PacfEntry entry) {
    return {name, [cache, entry](Series y, bool) {
                const PacfFeatures f = cache->get(y);
                switch (entry) {
                    case PacfEntry::x: return f.x_pacf5;
                    case PacfEntry::diff1: return f.diff1x_pacf5;
                    case PacfEntry::diff2: return f.diff2x_pacf5;
                    case PacfEntry::seasonal: break;
                }
                return f.seas_pacf.value_or(std::numeric_limits<double>::quiet_NaN());
            }};
}

bool seasonal(std::optional<std::uint64_t> freq) { return freq && *freq >= 2; }

// Rows 1 to 14 of the set, with or without row 8 ("seas_pacf"), then the
// trailing "seas_pacf" for a seasonal freq.
TaskList build(std::optional<std::uint64_t> freq, std::uint64_t lags, bool demean, bool with_row_8) {
    const auto cache = std::make_shared<PacfCache>(freq);
    TaskList tasks;
    tasks.reserve(15);
    tasks.push_back({"crossing_points", [](Series y, bool) { return tsfeatures::crossing_points(y); }});
    tasks.push_back({"flat_spots", [](Series y, bool) { return tsfeatures::flat_spots(y); }});
    tasks.push_back({"lumpiness", [freq](Series y, bool) { return tsfeatures::lumpiness(y, freq); }});
    tasks.push_back({"stability", [freq](Series y, bool) { return tsfeatures::stability(y, freq); }});
    tasks.push_back(pacf_task(cache, "x_pacf5", PacfEntry::x));
    tasks.push_back(pacf_task(cache, "diff1x_pacf5", PacfEntry::diff1));
    tasks.push_back(pacf_task(cache, "diff2x_pacf5", PacfEntry::diff2));
    if (with_row_8) tasks.push_back(pacf_task(cache, "seas_pacf", PacfEntry::seasonal));
    tasks.push_back({"hurst", [](Series y, bool) { return tsfeatures::hurst(y); }});
    tasks.push_back({"unitroot_pp", [](Series y, bool) { return tsfeatures::unitroot_pp(y); }});
    tasks.push_back({"unitroot_kpss", [](Series y, bool) { return tsfeatures::unitroot_kpss(y); }});
    tasks.push_back({"nonlinearity", [](Series y, bool) { return tsfeatures::nonlinearity(y); }});
    tasks.push_back(
        {"arch_lm", [lags, demean](Series y, bool) { return tsfeatures::arch_stat(y, lags, demean); }});
    tasks.push_back({"entropy", [](Series y, bool) { return tsfeatures::entropy(y); }});
    if (seasonal(freq)) tasks.push_back(pacf_task(cache, "seas_pacf", PacfEntry::seasonal));
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
    // A list per prefix: each run has its own pacf cache.
    return cumulative(series, value_column, [&](Series prefix) {
        return run_normalising(prefix, normalize, tsfeatures_tasks(freq, lags, demean));
    });
}

}  // namespace quorlex::parallel
