#pragma once

#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::tsfeatures {

inline constexpr std::string_view singular_message = "Singular matrix";

// Solves the k x k system a b = rhs (a row-major, k = rhs.size()) by Gaussian
// elimination with partial pivoting, in place. The error text when a pivot's
// magnitude falls below 1e-10 (NaN pivots pass and propagate).
std::variant<std::vector<double>, std::string_view> solve_normal_equations(std::vector<double>& a,
                                                                           std::vector<double>& rhs);

struct OlsResult {
    std::vector<double> residuals;
    double ssr;
};

// Least squares of y on the given regressor columns (the caller supplies the
// column of ones), by the normal equations.
std::variant<OlsResult, std::string_view> ols(Series y, std::span<const Series> columns);

}  // namespace quorlex::tsfeatures
