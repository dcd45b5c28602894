#include "hctsa/distribution/dn_histogramasymmetry.hpp"

#include <cmath>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/histcounts.hpp"

namespace quorlex::hctsa {

namespace {

// Bin probabilities over every non-zero value, and the mean centre of the
// bins within 1e-10 of the largest probability (0 when nothing is binned).
struct Side {
    double max_prob = 0.0;
    double mode = 0.0;
};

Side side(const std::vector<double>& values, std::size_t n_bins, double nonzero) {
    Side s;
    if (values.empty()) return s;  // n_bins zero counts and no centres
    const common::Histogram h = common::histcounts(values, n_bins);
    std::vector<double> p(n_bins);
    for (std::size_t i = 0; i < n_bins; ++i) p[i] = static_cast<double>(h.counts[i]) / nonzero;
    for (double v : p) {
        if (v > s.max_prob) s.max_prob = v;
    }
    if (!(s.max_prob > 0.0)) return s;
    double total = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < n_bins; ++i) {
        if (std::fabs(p[i] - s.max_prob) < 1e-10) {
            total += (h.edges[i] + h.edges[i + 1]) * 0.5;
            ++count;
        }
    }
    s.mode = total / static_cast<double>(count);
    return s;
}

}  // namespace

double dn_histogramasymmetry(Series y, std::size_t n_bins, std::string_view statistic) {
    if (!common::all_finite(y)) return common::nan;
    std::vector<double> pos, neg;
    std::size_t nonzero = 0;
    for (double v : y) {
        if (v > 0.0) pos.push_back(v);
        if (v < 0.0) neg.push_back(v);
        if (v != 0.0) ++nonzero;
    }
    if (y.empty() || nonzero == 0) return 0.0;
    const Side p = side(pos, n_bins, static_cast<double>(nonzero));
    const Side m = side(neg, n_bins, static_cast<double>(nonzero));
    if (statistic == "densityDiff") return static_cast<double>(pos.size()) - static_cast<double>(neg.size());
    if (statistic == "modeProbPos") return p.max_prob;
    if (statistic == "modeProbNeg") return m.max_prob;
    if (statistic == "modeDiff") return p.max_prob - m.max_prob;
    if (statistic == "posMode") return p.mode;
    if (statistic == "negMode") return m.mode;
    if (statistic == "modeAsymmetry") return p.mode + m.mode;
    return common::nan;
}

}  // namespace quorlex::hctsa
