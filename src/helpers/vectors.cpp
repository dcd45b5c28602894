#include "helpers/vectors.hpp"

#include <cmath>
#include <unordered_map>

#include "helpers/finite.hpp"

namespace quorlex::common {

std::vector<double> diff(Series y) {
    if (y.size() < 2) return {};
    std::vector<double> out(y.size() - 1);
    for (std::size_t i = 0; i + 1 < y.size(); ++i) out[i] = y[i + 1] - y[i];
    return out;
}

std::vector<double> cumsum(Series y) {
    if (has_nan(y)) return std::vector<double>(y.size(), nan);
    std::vector<double> out(y.size());
    double t = 0.0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        t = t + y[i];
        out[i] = t;
    }
    return out;
}

std::vector<double> abs_values(Series y) {
    std::vector<double> out(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) out[i] = std::fabs(y[i]);
    return out;
}

std::vector<double> linspace(double start, double end, std::size_t k) {
    std::vector<double> out(k);
    if (k == 0) return out;
    const double step = (end - start) / static_cast<double>(k - 1);
    double v = start;
    for (std::size_t i = 0; i < k; ++i) {
        out[i] = v;
        v = v + step;
    }
    return out;
}

std::uint32_t int_mode(std::span<const std::uint32_t> v) {
    std::unordered_map<std::uint32_t, std::size_t> counts;
    for (auto x : v) ++counts[x];
    std::uint32_t best = 0;
    std::size_t best_count = 0;
    // Ties go to the smallest value so that the result does not depend on hashing.
    for (const auto& [value, count] : counts) {
        if (count > best_count || (count == best_count && value < best)) {
            best = value;
            best_count = count;
        }
    }
    return best;
}

}  // namespace quorlex::common
