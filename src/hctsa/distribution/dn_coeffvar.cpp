#include "hctsa/distribution/dn_coeffvar.hpp"

#include <optional>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::hctsa {

namespace {
std::optional<double> ratio(Series y) {
    if (y.empty() || common::has_nan(y)) return std::nullopt;
    if (common::sum(y) < 2.220446049250313e-16) return std::nullopt;
    return common::std_dev(y) / common::mean(y);
}
}  // namespace

double coeff_var_1(Series y) { return ratio(y).value_or(common::nan); }

double coeff_var_2(Series y) {
    const auto r = ratio(y);
    return r ? *r * *r : common::nan;
}

}  // namespace quorlex::hctsa
