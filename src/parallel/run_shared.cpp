#include "parallel/run_shared.hpp"

#include "parallel/hctsa_shared.hpp"

namespace quorlex::parallel {

bool Catch22Shared::series_finite() {
    int known = finite_.load(std::memory_order_relaxed);
    if (known < 0) {
        known = common::all_finite(y_) ? 1 : 0;
        finite_.store(known, std::memory_order_relaxed);
    }
    return known == 1;
}

Series Catch22Shared::zscore() {
    if (known_zscore_) return *known_zscore_;
    return zscore_.get([this] { return common::zscore(y_); });
}

double Catch22Shared::mean() {
    return mean_.get([this] { return common::mean(prepared()); });
}

// These take the locks of the mean and the z-score inside their own, and the
// mean the z-score's inside its own; nothing takes them the other way round.

std::span<const double> Catch22Shared::autocorrs(std::size_t count) {
    // Extending the lags writes only past those already given, which other
    // tasks may be reading.
    const std::lock_guard lock(autocorrs_mutex_);
    if (!autocorrs_) autocorrs_.emplace(prepared(), mean());
    return autocorrs_->first(count);
}

const catch22::Spectrum& Catch22Shared::angular_welch_rect() {
    return spectrum_.get([this] { return catch22::angular_welch_rect(prepared(), mean()); });
}

HctsaShared& RunShared::hctsa() {
    return *hctsa_.get([this] { return std::make_shared<HctsaShared>(series_); });
}

}  // namespace quorlex::parallel
