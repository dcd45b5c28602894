#include "catchamouse16/co_addnoise.hpp"

#include <vector>

#include <gsl/gsl_randist.h>

#include "catchamouse16/gsl_support.hpp"
#include "helpers/finite.hpp"
#include "helpers/histogram_ami.hpp"
#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::catchamouse16 {

namespace {
constexpr std::size_t level_count = 50;
constexpr double max_level = 3.0;
constexpr double reported_level = 1.0;
constexpr std::uint32_t num_bins = 10;
constexpr std::uint32_t tau = 1;
}  // namespace

double co_addnoise_1_even_10_ami_at_10(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();

    // The automutual information at a noise level is NaN exactly when the
    // noisy series is not finite or holds at most `tau` values. Finite values
    // plus bounded noise stay finite, so either every level is NaN (the first
    // one, without noise, is the series itself) or none is, and only the
    // reported level needs computing.
    if (!common::all_finite(x.view()) || n <= tau) return common::nan;

    const std::vector<double> levels = common::linspace(0.0, max_level, level_count);
    std::size_t at = 0;
    while (at < level_count && levels[at] < reported_level) ++at;
    if (at == level_count) return common::nan;

    gsl::errors_off();
    const gsl::Rng rng(gsl_rng_alloc(gsl_rng_mt19937));
    if (!rng) return common::nan;
    gsl_rng_set(rng.get(), 0);
    std::vector<double> noisy(n);
    for (std::size_t t = 0; t < n; ++t) {
        const double e = gsl_ran_gaussian_ziggurat(rng.get(), 1.0);
        noisy[t] = x[t] + levels[at] * e;
    }
    // Finite values plus bounded noise stay finite, and n > tau (above).
    return common::even_histogram_ami(noisy, num_bins, tau);
}

}  // namespace quorlex::catchamouse16
