// Least-squares lines.
#pragma once

#include "helpers/common.hpp"

namespace quorlex::common {

// Root of the summed squared residuals of the least-squares line through
// (x, y), summed in index order; a singular fit counts as the zero line.
double line_error(Series x, Series y);

}  // namespace quorlex::common
