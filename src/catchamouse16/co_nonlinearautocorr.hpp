// AC_NL: mean product of the series with three lagged copies of itself.
#pragma once

#include <cstddef>

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

struct NonlinearLags {
    std::size_t t0;
    std::size_t t1;
    std::size_t t2;  // the largest of the three
};

double co_nonlinearautocorr(Series y, NonlinearLags lags, bool normalize);

double ac_nl_035(Series y, bool normalize);
double ac_nl_036(Series y, bool normalize);
double ac_nl_112(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
