#include "helpers/linear_fit.hpp"

#include <cmath>
#include <string>

#include "helpers/failure.hpp"

namespace quorlex::common {

std::optional<LinearFit> linear_fit(Series x, Series y) {
    if (x.size() != y.size()) {
        fail("assertion `left == right` failed: linear_fit needs x and y of equal length\n  left: " +
             std::to_string(x.size()) + "\n right: " + std::to_string(y.size()));
    }
    const auto n = static_cast<double>(x.size());
    double sx = 0.0, sxx = 0.0, sxy = 0.0, sy = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
        sy += y[i];
    }
    const double det = sxx * n - sx * sx;
    if (det == 0.0) return std::nullopt;
    return LinearFit{(sxy * n - sx * sy) / det, (sxx * sy - sx * sxy) / det};
}

double line_error(Series x, Series y) {
    const auto fit = linear_fit(x, y).value_or(LinearFit{0.0, 0.0});
    double sse = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
        const double e = (fit.intercept + fit.slope * x[k]) - y[k];
        sse += e * e;
    }
    return std::sqrt(sse);
}

}  // namespace quorlex::common
