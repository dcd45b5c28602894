// Location by a named mean: "median" gives the median, the other names the
// means of the common routines ("arithmetic" for any name not recognised).
// Works on the values as given; nothing here normalises.
#pragma once

#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

double dn_mean(Series y, std::string_view type);

inline double dn_mean_arithmetic(Series y) { return dn_mean(y, "arithmetic"); }
inline double dn_median(Series y) { return dn_mean(y, "median"); }
inline double dn_harmonic_mean(Series y) { return dn_mean(y, "harmonic"); }
inline double dn_geometric_mean(Series y) { return dn_mean(y, "geometric"); }
inline double dn_rms_mean(Series y) { return dn_mean(y, "rms"); }
inline double dn_iqm_mean(Series y) { return dn_mean(y, "iqm"); }
inline double dn_midhinge_mean(Series y) { return dn_mean(y, "midhinge"); }

}  // namespace quorlex::hctsa
