// Standard features that not every toolchain the core builds with offers yet,
// each with a portable path (libc++ 14, for example, the C++ library of
// Debian's clang and of older Apple toolchains, lacks the first).
#pragma once

#include <cstddef>
#include <memory>

namespace quorlex::common {

// n default-initialised, so uninitialised, values of T: what
// std::make_unique_for_overwrite<T[]>(n) returns.
template <class T>
std::unique_ptr<T[]> uninitialized_array(std::size_t n) {
#if defined(__cpp_lib_smart_ptr_for_overwrite)
    return std::make_unique_for_overwrite<T[]>(n);
#else
    return std::unique_ptr<T[]>(new T[n]);
#endif
}

}  // namespace quorlex::common
