#include "tsfeatures/entropy.hpp"

#include <cmath>

#include "helpers/fftw_plans.hpp"
#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::tsfeatures {

namespace {

}  // namespace

double entropy(Series y) {
    const std::size_t n = y.size();
    if (!common::all_finite(y) || n < 2) return common::nan;

    const double mu = common::mean(y);
    const auto in = fftw::complex_buffer(n);
    const auto out = fftw::complex_buffer(n);
    for (std::size_t t = 0; t < n; ++t) {
        in[t][0] = y[t] - mu;
        in[t][1] = 0.0;
    }
    const fftw::Plan plan = fftw::plan(n, fftw::Direction::forward);
    fftw_execute_dft(plan.get(), in.get(), out.get());

    const std::size_t half = n / 2;
    const std::size_t m = half + 1;
    const double inv = 1.0 / static_cast<double>(n);
    const auto power = [&](std::size_t k) { return out[k][0] * out[k][0] + out[k][1] * out[k][1]; };
    // The one-sided spectrum counts every frequency but 0 (and Nyquist for
    // even n) twice; reuse the input buffer's real parts to hold it.
    double* spectrum = &in[0][0];
    for (std::size_t k = 0; k < m; ++k) {
        const bool single = k == 0 || (k == half && n % 2 == 0);
        spectrum[2 * k] = single ? inv * power(k) : inv * (2.0 * power(k));
    }

    double total = 0.0;
    for (std::size_t k = 0; k < m; ++k) total += spectrum[2 * k];
    if (!(std::isfinite(total) && total > 0.0)) return common::nan;

    double s = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        const double p = spectrum[2 * k] / total;
        if (p > 0.0 && p <= 1.0) s += p * std::log2(p);
    }
    const double h = 0.0 - s;
    if (std::isnan(h)) return common::nan;
    double l = std::log2(static_cast<double>(m));
    if (!(l > 0.0)) l = 1.0;
    return h / l;
}

}  // namespace quorlex::tsfeatures
