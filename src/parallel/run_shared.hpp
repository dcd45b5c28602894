// What the tasks of one set run share: one typed home per feature family for
// the intermediates several of its features derive from the run's series.
// Each intermediate is computed once (by whichever task asks first, or ahead
// of the tasks, as the hctsa run prepares its own) and then read by the
// others; a run owns one RunShared, so nothing outlives the run.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/intermediates.hpp"
#include "catch22/sp_summaries.hpp"
#include "catch22/v1/periodogram.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/moments.hpp"
#include "helpers/series.hpp"
#include "parallel/once.hpp"
#include "tsfeatures/pacf.hpp"

namespace quorlex::parallel {

class Catch22Shared final : public catch22::Shared {
public:
    Catch22Shared(Series y, bool normalize) : y_(y), normalize_(normalize) {}
    bool series_finite() override;
    Series zscore() override;
    double mean() override;
    std::span<const double> autocorrs(std::size_t count) override;
    const catch22::Spectrum& angular_welch_rect() override;

    // The same common::zscore of the series, already computed by the caller:
    // served instead of computing it again. Call before any task runs.
    void share_zscore(Series z) { known_zscore_ = z; }

private:
    Series prepared() { return normalize_ ? zscore() : y_; }

    Series y_;
    bool normalize_;
    std::optional<Series> known_zscore_;
    // -1 until tested, then 1 or 0. Two tasks may both test and store the
    // same answer, so no lock is taken.
    std::atomic<int> finite_{-1};
    Once<std::vector<double>> zscore_;
    Once<double> mean_;
    std::mutex autocorrs_mutex_;
    std::optional<common::LazyAutocorrs> autocorrs_;
    Once<catch22::Spectrum> spectrum_;
};

struct TsfeaturesShared {
    // The four partial-autocorrelation features of a run come from one map.
    Once<tsfeatures::PacfFeatures> pacf;
};

// catch22 v1: whether the run's series is measured at all (finite, not
// constant, a z-score without NaN), and the periodogram both spectral
// features read.
struct Catch22V1Shared {
    Once<bool> measured;
    Once<catch22::v1::Periodogram> periodogram;
};

class HctsaShared;

// Bound to the run's series, the one every task of the run receives.
struct RunShared {
    RunShared(Series y, bool normalize) : catch22(y, normalize), series_(y) {}

    Catch22Shared catch22;
    Catch22V1Shared catch22_v1;
    TsfeaturesShared tsfeatures;
    // The moments of the run's series, when its z-score was already taken.
    std::optional<common::Moments> moments;

    // The hctsa intermediates of the run's series, made when a member first
    // asks: a batch makes a RunShared for every series it runs, and one
    // without hctsa members never pays for them.
    HctsaShared& hctsa();

private:
    Series series_;
    // A shared_ptr, whose deleter is made with the object: RunShared's
    // constructor and destructor stay inline though HctsaShared is not
    // complete here.
    Once<std::shared_ptr<HctsaShared>> hctsa_;
};

}  // namespace quorlex::parallel
