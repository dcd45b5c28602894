// The process-wide cache of FFTW plans shared by every transform of the module.
// FFTW's planner is not thread-safe while executing a plan on new arrays is, so
// planning happens under one lock. Plans are made with FFTW_ESTIMATE, which
// picks the same algorithm for a given length, direction and array alignment
// every time, and every array comes from fftw_alloc_complex (one alignment):
// a cached plan therefore computes exactly what a fresh plan would, and the
// cache can never change a value.
#pragma once

#include <fftw3.h>

#include <cstddef>
#include <memory>

namespace quorlex::fftw {

struct ComplexFree {
    void operator()(fftw_complex* p) const { fftw_free(p); }
};
using ComplexBuffer = std::unique_ptr<fftw_complex[], ComplexFree>;

// n complex values from fftw_alloc_complex; std::bad_alloc when that fails.
ComplexBuffer complex_buffer(std::size_t n);

using Plan = std::shared_ptr<fftw_plan_s>;

enum class Direction { forward, backward };

// An unscaled, out-of-place transform of n points for arrays from
// complex_buffer. Executed with fftw_execute_dft on the caller's arrays.
Plan plan(std::size_t n, Direction direction);

}  // namespace quorlex::fftw
