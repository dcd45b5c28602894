#include "helpers/finite.hpp"

#include <cmath>

#include "helpers/lanes.hpp"

namespace quorlex::common {

namespace {

// Eight values, two per vector, without a branch among them: whether every
// one passes `ok_pair` (a lane mask per pair).
template <class Test>
bool block_passes(const double* p, Test ok_pair) {
    LaneMask ok = ok_pair(load_lanes(p)) & ok_pair(load_lanes(p + 2)) & ok_pair(load_lanes(p + 4)) &
                  ok_pair(load_lanes(p + 6));
    return ok[0] != 0 && ok[1] != 0;
}

}  // namespace

bool has_nan(Series y) {
    // v == v fails only for NaN.
    const auto no_nan = [](Lanes v) { return v == v; };
    std::size_t i = 0;
    for (; i + 8 <= y.size(); i += 8) {
        if (!block_passes(y.data() + i, no_nan)) return true;
    }
    for (; i < y.size(); ++i) {
        if (std::isnan(y[i])) return true;
    }
    return false;
}

bool all_finite(Series y) {
    // v - v is 0 for a finite v and NaN for an infinity or NaN.
    const auto finite = [](Lanes v) {
        const Lanes d = v - v;
        return d == d;
    };
    std::size_t i = 0;
    for (; i + 8 <= y.size(); i += 8) {
        if (!block_passes(y.data() + i, finite)) return false;
    }
    for (; i < y.size(); ++i) {
        if (!std::isfinite(y[i])) return false;
    }
    return true;
}

}  // namespace quorlex::common
