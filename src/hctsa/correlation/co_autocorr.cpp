#include "hctsa/correlation/co_autocorr.hpp"

#include <cmath>

#include "helpers/fftw_plans.hpp"
#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::hctsa {

namespace {
}  // namespace

std::vector<double> co_autocorr(Series y) {
    const std::size_t n = y.size();
    if (common::has_nan(y)) return {common::nan};
    if (n == 0) return {};
    const double m = common::sum(y) / static_cast<double>(n);
    // Twice the smallest power of two >= n: the circular correlation of the
    // zero-padded series is then the linear one.
    std::size_t half = 1;
    while (half < n) half *= 2;
    const std::size_t len = n < 2 ? 2 : 2 * half;

    const auto a = fftw::complex_buffer(len);
    const auto b = fftw::complex_buffer(len);
    for (std::size_t i = 0; i < len; ++i) {
        a[i][0] = i < n ? y[i] - m : 0.0;
        a[i][1] = 0.0;
    }
    fftw_execute_dft(fftw::plan(len, fftw::Direction::forward).get(), a.get(), b.get());
    for (std::size_t i = 0; i < len; ++i) {
        b[i][0] = b[i][0] * b[i][0] + b[i][1] * b[i][1];
        b[i][1] = 0.0;
    }
    fftw_execute_dft(fftw::plan(len, fftw::Direction::backward).get(), b.get(), a.get());
    const double scale = 1.0 / static_cast<double>(len);
    const double c0 = a[0][0] * scale;
    std::vector<double> acf(n);
    for (std::size_t k = 0; k < n; ++k) acf[k] = a[k][0] * scale / c0;
    return acf;
}

double autocorr_entry(const std::vector<double>& acf, std::size_t lag) {
    // [NaN] from a NaN series has no lag 0 either.
    if (acf.size() == 1 && std::isnan(acf[0])) return common::nan;
    return lag < acf.size() ? acf[lag] : common::nan;
}

double co_autocorr_at(Series y, std::size_t lag) { return autocorr_entry(co_autocorr(y), lag); }

}  // namespace quorlex::hctsa
