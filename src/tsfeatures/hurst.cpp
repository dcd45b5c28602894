#include "tsfeatures/hurst.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "helpers/finite.hpp"
#include "helpers/linear_fit.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::tsfeatures {

namespace {

struct Extremes {
    double lo;
    double hi;
};

// Minimum and maximum of d_j = C_j - a (j + 1) over j < t, starting at d_0
// and replacing on strictly smaller or larger values. A NaN d_0 sticks and
// later NaNs are passed over. Used when the cumulative sums overflow.
Extremes ordered_range(const double* c, std::size_t t, double a) {
    double lo = c[0] - a * 1.0;
    double hi = lo;
    for (std::size_t j = 1; j < t; ++j) {
        const double d = c[j] - a * static_cast<double>(j + 1);
        if (d < lo) lo = d;
        if (d > hi) hi = d;
    }
    return {lo, hi};
}

// The same range when every C_j is finite. Then no d_j is NaN (a NaN would
// need inf - inf), so the extremes do not depend on the order in which the
// d_j are visited, and a block of d_j that cannot hold a new extreme may be
// skipped. Each d_j that is visited is computed exactly as in the ordered
// scan; only the sign of a zero extreme could differ, which changes neither
// R = hi - lo nor the sign test on it.
//
// Why a skipped block is exact: within a block, d_j = g_j + (r - a) x_j with
// x_j = j + 1, r the block's secant slope and g_j = C_j - r x_j, whose extremes
// are stored per block. The largest (r - a) x_j is at an end of the block, so
// max d_j <= max g + max over the two ends of (r - a) x. The computed values
// differ from the exact ones by a few units in the last place of the operands
// (|C_j|, |a x_j|, |r x_j|); the margin of 1e-12 times their size, plus 1e-300
// for subnormal results, exceeds that many times over. A bound that is not a
// number (overflow) never skips. Blocks of 8 values nested in blocks
// of 8^k values make the cost per prefix close to logarithmic.
class BlockedRange {
public:
    explicit BlockedRange(const std::vector<double>& c) : c_(c) {
        for (std::size_t width = branching; width <= c.size(); width *= branching) {
            levels_.push_back(summarise(width));
        }
    }

    Extremes operator()(std::size_t t, double a) {
        lo_ = hi_ = c_[0] - a * 1.0;
        // A strong start lets most blocks be skipped: the values past the
        // last whole block (d_(t-1) is about 0, often an extreme), then the
        // positions of the previous prefix's extremes.
        const std::size_t previous_lo = at_lo_;
        const std::size_t previous_hi = at_hi_;
        for (std::size_t j = t / branching * branching; j < t; ++j) visit(j, a);
        visit(previous_lo, a);
        visit(previous_hi, a);
        // Whole blocks of the widest level first, then of each narrower level
        // up to the end of the last whole block of the finest level.
        std::size_t done = 0;
        for (std::size_t level = levels_.size(); level-- > 0;) {
            const std::size_t width = width_of(level);
            for (std::size_t b = done / width; b < t / width; ++b) scan(level, b, a);
            done = t / width * width;
        }
        return {lo_, hi_};
    }

private:
    static constexpr std::size_t branching = 8;

    struct Summary {
        double slope;  // secant slope r of C over the block
        double gmin;   // extremes of C_j - r (j + 1)
        double gmax;
        double cabs;   // largest |C_j|
    };

    static std::size_t width_of(std::size_t level) {
        std::size_t width = branching;
        for (std::size_t k = 0; k < level; ++k) width *= branching;
        return width;
    }

    std::vector<Summary> summarise(std::size_t width) const {
        std::vector<Summary> out(c_.size() / width);
        for (std::size_t b = 0; b < out.size(); ++b) {
            const std::size_t first = b * width;
            const std::size_t last = first + width - 1;
            Summary s{(c_[last] - c_[first]) / static_cast<double>(width - 1), 0.0, 0.0, 0.0};
            s.gmin = s.gmax = c_[first] - s.slope * static_cast<double>(first + 1);
            for (std::size_t j = first; j <= last; ++j) {
                const double g = c_[j] - s.slope * static_cast<double>(j + 1);
                s.gmin = std::min(s.gmin, g);
                s.gmax = std::max(s.gmax, g);
                s.cabs = std::max(s.cabs, std::fabs(c_[j]));
            }
            out[b] = s;
        }
        return out;
    }

    void visit(std::size_t j, double a) {
        const double d = c_[j] - a * static_cast<double>(j + 1);
        if (d < lo_) {
            lo_ = d;
            at_lo_ = j;
        }
        if (d > hi_) {
            hi_ = d;
            at_hi_ = j;
        }
    }

    // Block b of a level: skipped when its bounds cannot beat the current
    // extremes, otherwise its sub-blocks (or values) are visited in order.
    void scan(std::size_t level, std::size_t b, double a) {
        const Summary& s = levels_[level][b];
        const std::size_t width = width_of(level);
        const double x_first = static_cast<double>(b * width + 1);
        const double x_last = static_cast<double>(b * width + width);
        const double k = s.slope - a;
        const double at_first = k * x_first;
        const double at_last = k * x_last;
        const double margin = 1e-12 * (s.cabs + (std::fabs(a) + std::fabs(s.slope)) * x_last) + 1e-300;
        const double upper = s.gmax + (at_first > at_last ? at_first : at_last) + margin;
        const double lower = s.gmin + (at_first < at_last ? at_first : at_last) - margin;
        if (upper <= hi_ && lower >= lo_) return;
        if (level == 0) {
            for (std::size_t j = b * width; j < b * width + width; ++j) visit(j, a);
        } else {
            for (std::size_t sub = b * branching; sub < b * branching + branching; ++sub) scan(level - 1, sub, a);
        }
    }

    const std::vector<double>& c_;
    std::vector<std::vector<Summary>> levels_;  // level k: blocks of 8^(k+1) values
    double lo_ = 0.0;
    double hi_ = 0.0;
    std::size_t at_lo_ = 0;
    std::size_t at_hi_ = 0;
};

}  // namespace

double hurst(Series y) {
    const std::size_t n = y.size();
    if (n < 2) return 0.0;
    if (!common::all_finite(y)) return common::nan;

    const std::vector<double> c = common::cumsum(y);
    // Running sums of huge values can overflow even though y is finite.
    const bool finite = common::all_finite(c);
    BlockedRange blocked(c);

    std::vector<double> log_t;
    std::vector<double> log_rs;
    log_t.reserve(n - 1);
    log_rs.reserve(n - 1);
    double s = y[0];
    double q = y[0] * y[0];
    for (std::size_t t = 2; t <= n; ++t) {
        const double v = y[t - 1];
        s += v;
        q += v * v;
        const double td = static_cast<double>(t);
        const double mean = s / td;
        const double var = q / td - mean * mean;
        if (var <= 0.0) continue;
        const double a = c[t - 1] / td;
        const auto [lo, hi] = finite ? blocked(t, a) : ordered_range(c.data(), t, a);
        const double rs = (hi - lo) / std::sqrt(var);
        if (rs > 0.0) {
            log_t.push_back(std::log(td));
            log_rs.push_back(std::log(rs));
        }
    }
    if (log_t.empty()) return common::nan;
    const auto fit = common::linear_fit(log_t, log_rs);
    return fit ? fit->slope : common::nan;
}

}  // namespace quorlex::tsfeatures
