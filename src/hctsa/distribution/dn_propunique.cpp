#include "hctsa/distribution/dn_propunique.hpp"

#include "helpers/finite.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::hctsa {

std::size_t count_unique(Series y) {
    if (y.empty()) return 0;
    return count_unique_sorted(common::sorted_copy(y));
}

std::size_t count_unique_sorted(Series s) {
    if (s.empty()) return 0;
    std::size_t distinct = 1;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] != s[i - 1]) ++distinct;
    }
    return distinct;
}

double prop_unique(Series y) {
    if (y.empty() || common::has_nan(y)) return common::nan;
    return prop_unique(y, common::sorted_copy(y));
}

double prop_unique(Series y, Series sorted) {
    if (y.empty() || common::has_nan(y)) return common::nan;
    return static_cast<double>(count_unique_sorted(sorted)) / static_cast<double>(y.size());
}

}  // namespace quorlex::hctsa
