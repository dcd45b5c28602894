// SY_SlidingWindow: spread of a per-window statistic across overlapping
// windows, relative to the spread of the whole series.
#pragma once

#include <cstdint>
#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

// window_stat is "std" or "mean" and across_win_stat "std" (exact match);
// anything else gives NaN. num_seg or inc_move of 0 is an internal failure.
double sy_slidingwindow(Series y, std::string_view window_stat, std::string_view across_win_stat,
                        std::uint64_t num_seg, std::uint64_t inc_move, bool normalize);

}  // namespace quorlex::catchamouse16
