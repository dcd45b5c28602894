// CO_TranslateShape_Circle_35_Pts: how many neighbouring points fall inside a
// circle of radius 3.5 slid along the series.
#pragma once

#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

// statistic "statav4_m" or "std" (exact match); anything else gives NaN.
double co_translateshape(Series y, std::string_view statistic, bool normalize);

double co_translateshape_circle_35_pts_statav4_m(Series y, bool normalize);
double co_translateshape_circle_35_pts_std(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
