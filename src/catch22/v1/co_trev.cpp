#include "catch22/v1/co_trev.hpp"

#include <cmath>

namespace quorlex::catch22::v1 {

double co_trev_1_num(Series z, Shared*) {
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < z.size(); ++i) total += std::pow(z[i + 1] - z[i], 3.0);
    return total / static_cast<double>(z.size() - 1);
}

}  // namespace quorlex::catch22::v1
