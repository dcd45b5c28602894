// Pearson correlations of a series with its lagged copies.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

double autocorr_lag(Series y, std::size_t lag);
// out[k] = autocorr_lag(y, first_lag + k) for every k, bit for bit.
void autocorr_lags(Series y, std::size_t first_lag, std::span<double> out);

// autocorr_lags of one series asked for a few lags at a time (by a scan that
// may stop early): what all lags share, the NaN positions and the running sum
// of y, is computed once. Keeps a view of y.
class LagCorrelations {
public:
    explicit LagCorrelations(Series y);
    // out[k] = autocorr_lag(y, first_lag + k) for every k, bit for bit.
    void compute(std::size_t first_lag, std::span<double> out) const;

private:
    Series y_;
    std::size_t first_nan_ = 0, last_nan_ = 0;
    std::vector<double> leading_;
};

}  // namespace quorlex::common
