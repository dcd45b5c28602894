#include "catch22/v1/sb_binarystats.hpp"

#include <cstddef>

#include "helpers/moments.hpp"

namespace quorlex::catch22::v1 {

namespace {

// The longest run of consecutive true values of `hit(i)`, i < count.
template <class Hit>
double longest_run(std::size_t count, Hit hit) {
    std::size_t best = 0, run = 0;
    for (std::size_t i = 0; i < count; ++i) {
        run = hit(i) ? run + 1 : 0;
        best = run > best ? run : best;
    }
    return static_cast<double>(best);
}

}  // namespace

double sb_binarystats_mean_longstretch1(Series z, Shared*) {
    const double m = common::sum(z) / static_cast<double>(z.size());
    return longest_run(z.size(), [&](std::size_t i) { return z[i] - m > 0; });
}

double sb_binarystats_diff_longstretch0(Series z, Shared*) {
    return longest_run(z.size() - 1, [&](std::size_t i) { return !(z[i + 1] - z[i] > 0); });
}

}  // namespace quorlex::catch22::v1
