// CO_HistogramAMI_even: automutual information of an even-width histogram of
// (y[t], y[t + tau]). catch22 uses 5 bins at lag 2; catchaMouse16 adds three
// more settings.
#pragma once

#include <cstdint>

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

// NaN for non-finite input or n <= tau. num_bins >= 1.
double co_histogram_ami_even(Series y, std::uint32_t num_bins, std::uint32_t tau, bool normalize,
                             Shared* shared = nullptr);

inline double co_histogram_ami_even_2_5(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 5, 2, normalize, shared);
}
inline double co_histogram_ami_even_10_1(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 10, 1, normalize, shared);
}
inline double co_histogram_ami_even_10_3(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 10, 3, normalize, shared);
}
inline double co_histogram_ami_even_2_3(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 2, 3, normalize, shared);
}

}  // namespace quorlex::catch22
