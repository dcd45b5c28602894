#include "tsfeatures/crossing_points.hpp"

#include "helpers/order_statistics.hpp"

namespace quorlex::tsfeatures {

double crossing_points(Series y) {
    const std::size_t n = y.size();
    if (n < 2) return 0.0;
    const double m = common::median(y);
    std::size_t count = 0;
    bool previous = y[0] <= m;
    for (std::size_t i = 1; i < n; ++i) {
        const bool below = y[i] <= m;
        if (below != previous) ++count;
        previous = below;
    }
    return static_cast<double>(count);
}

}  // namespace quorlex::tsfeatures
