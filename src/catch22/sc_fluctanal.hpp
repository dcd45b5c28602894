// SC_FluctAnal: where a two-line fit of log fluctuation against log scale
// breaks, for detrended fluctuation ("dfa") and rescaled range ("rsrangefit").
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"
#include <cstdint>
#include <span>
#include <vector>

namespace quorlex::catch22 {

// The fluctuation of the integrated series cs at each window length of `tau`
// (each from 1 to cs.size()) over the floor(cs.size() / s) whole windows, each
// detrended by its least-squares line over x = 1 .. s: with `dfa` the root mean
// squared residual, otherwise the root mean squared range of the residuals.
// Written to out (tau.size() entries).
void fluctuations(Series cs, std::span<const std::uint64_t> tau, bool dfa, std::span<double> out);

// The two-line errors of breakpoints b = first .. first + err.size() - 1:
// err[b - first] = line_error(x.first(b), y.first(b)) + line_error(x.subspan(b - 1), y.subspan(b - 1)),
// bit for bit, with common::line_error (first >= 1 and first + err.size() <= x.size()).
void two_line_errors(Series x, Series y, std::size_t first, std::span<double> err);

// Breakpoint position (breakpoint / number of scales) of the best two-line
// fit. NaN for non-finite input or fewer than two values, 0.0 when fewer than
// twelve distinct scales exist or `method` is neither "dfa" nor "rsrangefit".
// A lag of 0 leaves no lagged series and gives NaN.
double sc_fluctanal_prop(Series y, std::size_t lag, std::string_view method, bool normalize, Shared* shared = nullptr);

double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series y, bool normalize, Shared* shared = nullptr);
double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series y, bool normalize, Shared* shared = nullptr);

}  // namespace quorlex::catch22
