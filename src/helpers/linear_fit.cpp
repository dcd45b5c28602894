#include "helpers/linear_fit.hpp"

#include <cmath>

namespace quorlex::common {

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
