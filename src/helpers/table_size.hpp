// The size of a table of doubles sized from a caller's option.
#pragma once

#include <cstddef>

namespace quorlex::common {

// rows * cols, for a table of doubles sized from a caller's option; throws
// std::bad_alloc when the product overflows or the table would outgrow the
// machine's physical memory (the kernel would grant it and then kill the
// process while it is filled).
std::size_t table_size(std::size_t rows, std::size_t cols);

}  // namespace quorlex::common
