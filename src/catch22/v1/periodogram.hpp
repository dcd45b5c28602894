// The fft periodogram of a z-scored series (hctsa's SP_Summaries 'fft'), by the catch22 transform.
#pragma once

#include <cstddef>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::catch22::v1 {

// The one-sided power density in angular frequency of bins 1 .. nfft/2 of
// the transform of z zero-padded to nfft, the next power of two, floored at
// 1e-12 of its largest value (120 dB below the peak, where the estimate is
// at the rounding level); bin k stands at angular frequency 2 pi (k + 1) / nfft.
struct Periodogram {
    std::vector<double> power;
    std::size_t nfft = 0;
    double frequency(std::size_t k) const;
};
Periodogram periodogram(Series z);

}  // namespace quorlex::catch22::v1
