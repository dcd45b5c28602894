#include "parallel/shared.hpp"

#include "catch22/co_auto_corr.hpp"

namespace quorlex::parallel {

Series Catch22Shared::zscore() {
    return zscore_.get([this] { return common::zscore(y_); });
}

std::span<const double> Catch22Shared::autocorrs() {
    // Takes the z-score's lock inside this one's; nothing takes them the
    // other way round.
    return autocorrs_.get([this] { return catch22::co_autocorrs(normalize_ ? zscore() : y_); });
}

}  // namespace quorlex::parallel
