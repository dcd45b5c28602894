// ST_LocalExtrema_n100_diffmaxabsmin: mean gap between the maximum and the
// magnitude of the minimum over 100 equal windows.
#pragma once

#include "helpers/series.hpp"

namespace quorlex::catchamouse16 {

double st_localextrema_n100_diffmaxabsmin(Series y, bool normalize);

}  // namespace quorlex::catchamouse16
