// Two doubles as one value with element-wise arithmetic: a GCC/Clang vector
// type that fills one SSE2 register. Each lane performs exactly the IEEE
// operation the scalar code would (nothing is fused under -ffp-contract=off),
// so kernels can run independent scalar computations side by side, one per
// lane, and keep their bits.
#pragma once

#include <cstddef>
#include <cstdint>

// GCC and Clang (Apple's too, which also defines __GNUC__) have vector types;
// MSVC has none, and the kernels written on them have no scalar copy.
#if !defined(__GNUC__)
#error "quorlex needs GCC or Clang vector extensions (GCC, Clang or Apple Clang; not MSVC)"
#endif

namespace quorlex::common {

constexpr std::size_t lanes = 2;
using Lanes = double __attribute__((vector_size(lanes * sizeof(double))));
// The result of comparing two Lanes: all ones in a lane where it holds.
using LaneMask = std::int64_t __attribute__((vector_size(lanes * sizeof(std::int64_t))));

// p[0] and p[1] as one value (an unaligned load).
inline Lanes load_lanes(const double* p) {
    Lanes v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// v into p[0] and p[1] (an unaligned store).
inline void store_lanes(double* p, Lanes v) { __builtin_memcpy(p, &v, sizeof v); }

}  // namespace quorlex::common
