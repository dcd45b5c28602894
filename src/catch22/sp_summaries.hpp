// SP_Summaries: summaries of the Welch power spectrum with one rectangular
// window as wide as the series.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

struct Spectrum {
    std::vector<double> pxx;   // one-sided power
    std::vector<double> freq;  // in cycles per sample
};

// Welch estimate with sampling interval 1 for a window as long as the series
// (one segment), zero-padded to the next power of two. Needs at least 2 values.
Spectrum welch(Series y, std::span<const double> window);

// The estimate with a rectangular window as wide as the series, in angular
// frequency (freq * 2 pi, pxx / 2 pi): what both summaries read.
Spectrum angular_welch_rect(Series y);
// The same with common::mean(y) given.
Spectrum angular_welch_rect(Series y, double mean);

// "area_5_1": power in the lowest fifth of the angular frequencies;
// "centroid": angular frequency where the cumulative power passes one half.
// NaN for non-finite input or fewer than two values, 0.0 when a spectral value
// overflows or for any other selector.
double sp_summaries_welch_rect(Series y, std::string_view what, bool normalize, Shared* shared = nullptr);

double sp_summaries_welch_rect_area_5_1(Series y, bool normalize, Shared* shared = nullptr);
double sp_summaries_welch_rect_centroid(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
