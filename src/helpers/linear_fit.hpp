// Least-squares lines.
#pragma once

#include <optional>
#include <string_view>

#include "helpers/series.hpp"

namespace quorlex::common {

struct LinearFit {
    double slope;
    double intercept;
};
inline constexpr std::string_view singular_matrix_message = "Singular matrix. Can't solve the problem.";
// Least squares by the normal equations; nullopt when the system is singular
// (the error whose text is `singular_matrix_message`).
std::optional<LinearFit> linear_fit(Series x, Series y);

// Root of the summed squared residuals of the least-squares line through
// (x, y), summed in index order; a singular fit counts as the zero line.
double line_error(Series x, Series y);

}  // namespace quorlex::common
