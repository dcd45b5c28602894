#include "catch22/v1/sp_summaries.hpp"

#include <cstddef>

namespace quorlex::catch22::v1 {

double sp_summaries_fft_area_5_1(const Periodogram& s) {
    const std::size_t bins = s.power.size();
    if (bins < 2) return common::nan;
    double area = 0;
    for (std::size_t k = 0; k < bins / 5; ++k) area += s.power[k];
    return area * (s.frequency(1) - s.frequency(0));
}

double sp_summaries_fft_wq_50(const Periodogram& s) {
    const std::size_t bins = s.power.size();
    if (bins < 2) return common::nan;
    double total = 0;
    for (const double p : s.power) total += p;
    double running = 0;
    for (std::size_t k = 0; k < bins; ++k) {
        running += s.power[k];
        if (running >= 0.5 * total) return s.frequency(k);
    }
    return common::nan;
}

}  // namespace quorlex::catch22::v1
