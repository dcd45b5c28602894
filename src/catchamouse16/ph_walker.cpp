#include "catchamouse16/ph_walker.hpp"

#include <cmath>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catchamouse16 {

namespace {
}

double ph_walker_momentum_5_w_momentumzcross(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    if (n < 2) return common::nan;

    // Only the last two walker positions are needed at any step.
    double before = x[0];
    double last = x[1];
    std::size_t crossings = before * last < 0.0 ? 1 : 0;
    for (std::size_t i = 2; i < n; ++i) {
        const double momentum = last - before;
        const double inertial = last + momentum;
        const double next = inertial + (x[i] - inertial) / 5.0;
        if (last * next < 0.0) ++crossings;
        before = last;
        last = next;
    }
    return static_cast<double>(crossings) / (static_cast<double>(n) - 1.0);
}

double ph_walker_biasprop_05_01_sw_meanabsdiff(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();
    if (n == 0) return common::nan;

    double w = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        total += std::fabs(x[i] - w);
        const double rate = x[i + 1] > x[i] ? 0.5 : 0.1;
        w = w + (x[i] - w) * rate;
    }
    total += std::fabs(x[n - 1] - w);
    return total / static_cast<double>(n);
}

}  // namespace quorlex::catchamouse16
