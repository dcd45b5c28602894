#include "parallel/shared.hpp"

#include "catch22/co_auto_corr.hpp"

namespace quorlex::parallel {

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
