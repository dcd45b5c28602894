#include "catchamouse16/st_localextrema.hpp"

#include <algorithm>
#include <cmath>

#include "helpers/moments.hpp"

namespace quorlex::catchamouse16 {

namespace {

constexpr std::size_t window_count = 100;

// |max - |min|| of a non-empty stretch, NaN as soon as any value is NaN.
double diff_max_abs_min(Series w) {
    double hi = w[0];
    double lo = w[0];
    for (double v : w) {
        if (std::isnan(v)) return common::nan;
        hi = std::max(hi, v);
        lo = std::min(lo, v);
    }
    return std::fabs(hi - std::fabs(lo));
}

}  // namespace

double st_localextrema_n100_diffmaxabsmin(Series y, bool normalize) {
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    // No extremes exist in an empty series.
    if (n == 0) return common::nan;
    if (n < window_count) return diff_max_abs_min(x.view());
    if (y.size() < 2 * window_count) return common::nan;

    // Here n equals the input length, so the 100 windows of wl values lie
    // inside the series.
    const std::size_t wl = n / window_count;
    const Series last = x.view().subspan((window_count - 1) * wl, wl);
    const bool last_all_zero = std::all_of(last.begin(), last.end(), [](double v) { return v == 0.0; });
    const std::size_t count = last_all_zero ? window_count - 1 : window_count;

    double total = 0.0;
    for (std::size_t j = 0; j < count; ++j) total += diff_max_abs_min(x.view().subspan(j * wl, wl));
    return total / static_cast<double>(count);
}

}  // namespace quorlex::catchamouse16
