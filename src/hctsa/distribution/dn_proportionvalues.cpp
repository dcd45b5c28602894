#include "hctsa/distribution/dn_proportionvalues.hpp"

namespace quorlex::hctsa {

double dn_proportionvalues(Series y, ValueClass kind) {
    if (y.empty()) return common::nan;
    std::size_t count = 0;
    for (double v : y) {
        const bool in = kind == ValueClass::zeros ? v == 0.0 : kind == ValueClass::positive ? v > 0.0 : v >= 0.0;
        if (in) ++count;
    }
    return static_cast<double>(count) / static_cast<double>(y.size());
}

}  // namespace quorlex::hctsa
