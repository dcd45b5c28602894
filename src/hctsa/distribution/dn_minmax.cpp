#include "hctsa/distribution/dn_minmax.hpp"

#include <cmath>
#include <limits>

namespace quorlex::hctsa {

double maximum(Series y) {
    double m = -std::numeric_limits<double>::infinity();
    for (double v : y) {
        if (v > m || (v == m && !std::signbit(v))) m = v;
    }
    return m;
}

double minimum(Series y) {
    double m = std::numeric_limits<double>::infinity();
    for (double v : y) {
        if (v < m || (v == m && std::signbit(v))) m = v;
    }
    return m;
}

}  // namespace quorlex::hctsa
