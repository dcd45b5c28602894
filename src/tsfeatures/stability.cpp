#include "tsfeatures/stability.hpp"

#include <cmath>
#include <vector>

#include "helpers/failure.hpp"
#include "helpers/moments.hpp"

namespace quorlex::tsfeatures {

double nanmean(Series y) {
    double total = 0.0;
    std::size_t count = 0;
    for (double v : y) {
        if (std::isnan(v)) continue;
        total += v;
        ++count;
    }
    return count == 0 ? common::nan : total / static_cast<double>(count);
}

double stability(Series y, std::optional<std::uint64_t> freq) {
    const std::size_t n = y.size();
    const std::uint64_t w = !freq ? 1 : (*freq == 1 ? 10 : *freq);
    if (w == 0) fail("attempt to divide by zero");
    // n < 2w, written so that a huge width cannot overflow.
    if (w > n / 2) return 0.0;

    const std::size_t blocks = n / w;
    std::vector<double> means(blocks);
    for (std::size_t i = 0; i < blocks; ++i) means[i] = nanmean(y.subspan(i * w, w));
    // Reached only with two or more blocks, since n >= 2w here.
    const double m = common::mean(means);
    if (std::isnan(m)) return common::nan;
    double s = 0.0;
    for (double v : means) s += (v - m) * (v - m);
    return s / static_cast<double>(blocks - 1);
}

}  // namespace quorlex::tsfeatures
