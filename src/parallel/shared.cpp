#include "parallel/shared.hpp"

#include "catch22/co_auto_corr.hpp"

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

std::span<const double> Catch22Shared::autocorrs() {
    // These take the z-score's lock inside their own; nothing takes them the
    // other way round.
    return autocorrs_.get([this] { return catch22::co_autocorrs(prepared(), y_.size()); });
}

const catch22::Spectrum& Catch22Shared::angular_welch_rect() {
    return spectrum_.get([this] { return catch22::angular_welch_rect(prepared()); });
}

}  // namespace quorlex::parallel
