#include "hctsa/helpers/bf_point_of_crossing.hpp"

namespace quorlex::hctsa {

Crossing bf_point_of_crossing(std::span<const double> seq, double th) {
    const std::size_t len = seq.size();
    if (len == 0) return {0, 0.0};
    const bool downward = seq[0] > th;
    std::size_t k = 0;
    while (k < len && !(downward ? seq[k] < th : seq[k] > th)) ++k;
    if (k == len) return {len, static_cast<double>(len)};
    // k >= 1: seq[0] itself is never past the threshold on its own side.
    return {k, static_cast<double>(k - 1) + (th - seq[k - 1]) / (seq[k] - seq[k - 1])};
}

}  // namespace quorlex::hctsa
