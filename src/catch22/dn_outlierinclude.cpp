#include "catch22/dn_outlierinclude.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <vector>

namespace quorlex::catch22 {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Counts of occupied positions with k-th smallest lookup, so that each
// threshold's median exceedance costs O(log n) instead of a pass over the series.
class PositionSet {
public:
    explicit PositionSet(std::size_t n) : tree_(n + 1, 0) {
        while (top_ * 2 <= n) top_ *= 2;
    }
    void insert(std::size_t position) {  // 0-based
        for (std::size_t i = position + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
    }
    // 0-based position of the k-th smallest member (k is 1-based).
    std::size_t kth(std::size_t k) const {
        std::size_t pos = 0;
        for (std::size_t step = top_; step > 0; step /= 2) {
            const std::size_t next = pos + step;
            if (next < tree_.size() && tree_[next] < k) {
                pos = next;
                k -= tree_[next];
            }
        }
        return pos;
    }

private:
    std::vector<std::size_t> tree_;
    std::size_t top_ = 1;
};

struct ThresholdStats {
    double mean_gap;
    double gap_percent;
    double median_pos;
};

}  // namespace

double dn_outlierinclude(Series y, bool normalize, int sign) {
    const std::size_t n = y.size();
    if (!common::all_finite(y) || n < 2) return nan;
    const common::Prepared x(y, normalize);

    bool constant = true;
    for (std::size_t i = 0; i < n; ++i) constant = constant && x[i] == x[0];
    std::vector<double> w(n);
    std::uint32_t tot = 0;
    for (std::size_t i = 0; i < n; ++i) {
        w[i] = x[i] * static_cast<double>(sign);
        if (w[i] >= 0.0) ++tot;
    }
    if (constant) return 0.0;
    if (common::has_nan(w)) return nan;
    double max_val = -std::numeric_limits<double>::infinity();
    for (double v : w) max_val = std::max(max_val, v);
    if (max_val < 0.01) return 0.0;
    const auto n_thresh = static_cast<std::size_t>(max_val / 0.01 + 1.0);

    // Thresholds rise with j, so the exceedance set only shrinks: visit them
    // from the top and add positions in order of decreasing w.
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return w[a] > w[b]; });

    PositionSet members(n);
    std::vector<ThresholdStats> stats(n_thresh);
    std::size_t h = 0, first = n, last = 0;
    const double half_length = static_cast<double>(n) * 0.5;
    for (std::size_t j = n_thresh; j-- > 0;) {
        const double t = static_cast<double>(j) * 0.01;
        for (; h < n && w[order[h]] >= t; ++h) {
            members.insert(order[h]);
            first = std::min<std::size_t>(first, order[h]);
            last = std::max<std::size_t>(last, order[h]);
        }
        if (h == 0) {
            // Rounding can put the top threshold just above the largest value:
            // no exceedance, no gaps. NaN mean gap and zero gap percentage keep
            // this threshold out of the trimmed range below.
            stats[j] = {nan, 0.0, nan};
            continue;
        }
        // Positions are whole numbers, so the summed gaps are exactly last - first.
        const double mean_gap = h == 1 ? nan : static_cast<double>(last - first) / static_cast<double>(h - 1);
        const double gap_percent = static_cast<double>(h - 1) * 100.0 / static_cast<double>(tot);
        double median;
        if (h % 2 == 1) {
            median = static_cast<double>(members.kth((h + 1) / 2) + 1);
        } else {
            median = (static_cast<double>(members.kth(h / 2) + 1) + static_cast<double>(members.kth(h / 2 + 1) + 1)) * 0.5;
        }
        stats[j] = {mean_gap, gap_percent, median / half_length - 1.0};
    }

    std::size_t last_high = 0, first_nan = n_thresh - 1;
    for (std::size_t i = 0; i < n_thresh; ++i) {
        if (stats[i].gap_percent > 2.0) last_high = i;
        if (std::isnan(stats[n_thresh - 1 - i].mean_gap)) first_nan = n_thresh - 1 - i;
    }
    const std::size_t limit = std::min(last_high, first_nan) + 1;
    std::vector<double> median_pos(limit);
    for (std::size_t i = 0; i < limit; ++i) median_pos[i] = stats[i].median_pos;
    return common::median(median_pos);
}

}  // namespace quorlex::catch22
