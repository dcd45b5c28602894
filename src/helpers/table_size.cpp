#include "helpers/table_size.hpp"

#include <limits>
#include <new>

#if __has_include(<unistd.h>)
#include <unistd.h>  // sysconf: Linux, macOS and the BSDs
#endif

namespace quorlex::common {

std::size_t table_size(std::size_t rows, std::size_t cols) {
    static const std::size_t physical_bytes = [] {
#if defined(_SC_PHYS_PAGES)
        const long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
        return pages > 0 && page > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(page)
                                     : std::numeric_limits<std::size_t>::max();
#else  // no physical memory count here: only the size type bounds a table
        return std::numeric_limits<std::size_t>::max();
#endif
    }();
#if defined(__GNUC__)  // GCC and Clang
    std::size_t elements = 0;
    const bool overflow = __builtin_mul_overflow(rows, cols, &elements);
#else
    const std::size_t elements = rows * cols;
    const bool overflow = cols != 0 && elements / cols != rows;
#endif
    if (overflow || elements > physical_bytes / sizeof(double)) {
        throw std::bad_alloc();
    }
    return elements;
}

}  // namespace quorlex::common
