#include "catch22/v1/fc_localsimple.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "catch22/co_auto_corr.hpp"
#include "catch22/v1/first_crossing.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

double fc_localsimple_mean3_stde(Series z, Shared*) {
    const std::size_t n = z.size();
    if (n <= 3) return common::nan;
    std::vector<double> res(n - 3);
    for (std::size_t i = 0; i < res.size(); ++i) {
        double sum = 0.0;
        for (std::size_t j = 0; j < 3; ++j) sum += z[i + j];
        res[i] = z[i + 3] - sum / 3.0;
    }
    return common::std_dev(res);
}

double fc_localsimple_mean1_taurat(Series z, Shared* shared) {
    const std::size_t n = z.size();
    if (n <= 1) return common::nan;
    std::vector<double> res(n - 1);
    for (std::size_t i = 0; i < res.size(); ++i) res[i] = z[i + 1] - (0.0 + z[i]) / 1.0;
    double residual_crossing = common::nan;
    if (res.size() >= 2) {
        const common::Prepared r = common::Prepared::borrowed(res);
        PreparedAutocorrs res_ac(r, nullptr);
        residual_crossing = first_crossing(res_ac, res.size(), 0.0);
    }
    const common::Prepared y = common::Prepared::borrowed(z);
    PreparedAutocorrs ac(y, shared);
    const double series_crossing = first_crossing(ac, n, 0.0);
    if (series_crossing == 0 || !std::isfinite(series_crossing)) return common::nan;
    return residual_crossing / series_crossing;
}

}  // namespace quorlex::catch22::v1
