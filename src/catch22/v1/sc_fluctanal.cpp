#include "catch22/v1/sc_fluctanal.hpp"

#include "catch22/v1/two_regime_fit.hpp"

namespace quorlex::catch22::v1 {

double sc_fluctanal_2_rsrangefit_50_1_logi_prop_r1(Series z, Shared*) {
    return two_regime_prop_r1(z, 1, false);
}

double sc_fluctanal_2_dfa_50_1_2_logi_prop_r1(Series z, Shared*) {
    return two_regime_prop_r1(z, 2, true);
}

}  // namespace quorlex::catch22::v1
