#include "tsfeatures/nonlinearity.hpp"

#include <array>
#include <cmath>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "tsfeatures/ols.hpp"

namespace quorlex::tsfeatures {

double nonlinearity(Series y) {
    if (!common::all_finite(y)) return common::nan;
    // Always on the z-score, whatever the caller's normalisation.
    const std::vector<double> z = common::zscore(y);
    const std::size_t n = z.size();
    if (n < 2) return common::nan;

    const std::size_t rows = n - 1;
    const Series target = Series(z).subspan(1, rows);
    const Series lagged = Series(z).first(rows);
    const std::vector<double> ones(rows, 1.0);
    std::vector<double> squared(rows);
    std::vector<double> cubed(rows);
    for (std::size_t t = 0; t < rows; ++t) {
        const double v = lagged[t];
        squared[t] = v * v;
        cubed[t] = v * (v * v);
    }

    const std::array<Series, 2> linear{ones, lagged};
    const auto first = ols(target, linear);
    const auto* fit0 = std::get_if<OlsResult>(&first);
    if (fit0 == nullptr) return common::nan;
    const std::array<Series, 4> cubic{ones, lagged, squared, cubed};
    const auto second = ols(fit0->residuals, cubic);
    const auto* fit1 = std::get_if<OlsResult>(&second);
    if (fit1 == nullptr) return common::nan;

    const double stat = std::log(fit0->ssr / fit1->ssr) * static_cast<double>(n);
    return stat * 10.0 / static_cast<double>(y.size());
}

}  // namespace quorlex::tsfeatures
