#include "catchamouse16/fc_looplocalsimple.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <type_traits>

#include "helpers/finite.hpp"
#include "helpers/lanes.hpp"
#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::catchamouse16 {

using common::LaneMask;
using common::Lanes;
using common::lanes;

namespace {

constexpr std::size_t max_train = 10;
constexpr std::size_t pairs = max_train / lanes;

// Sums over the forecast residuals of every training length 1 .. 10, each in
// the index order of its own residuals. The residual of length L at j is the
// window sum x[j] + ... + x[j+L-1] (added from 0.0 in that order) divided by
// L, minus x[j+L]; its sums are what a separate pass per length would form.
class ResidualSums {
public:
    explicit ResidualSums(Series x) : x_(x) {}

    // Adds op(residual, index) to the total of its length for every residual,
    // j in increasing order, and flags lengths with a NaN residual. op takes
    // either a Lanes of lengths 2p + 1 and 2p + 2 with index p, or one double
    // of length i + 1 with index i.
    template <typename Op>
    void accumulate(std::array<double, max_train>& totals, std::array<bool, max_train>& nan_seen, Op op) const {
        const std::size_t n = x_.size();
        const double* x = x_.data();
        std::array<Lanes, pairs> sums{};
        LaneMask seen[pairs] = {};
        // Where all ten residuals exist, lengths (1, 2), (3, 4), ... share a
        // vector: lane l of pair p holds length 2p + l + 1. The running window
        // sum is the same chain of additions the scalar tail below performs,
        // and the division and subtraction are per lane.
        std::size_t j = 0;
        for (; j + max_train < n; ++j) {
            double s = 0.0;
            for (std::size_t p = 0; p < pairs; ++p) {
                const double first = s + x[j + 2 * p];
                s = first + x[j + 2 * p + 1];
                const Lanes window{first, s};
                const Lanes next{x[j + 2 * p + 1], x[j + 2 * p + 2]};
                const Lanes e = window / lengths_[p] - next;
                seen[p] |= e != e;
                sums[p] += op(e, p);
            }
        }
        for (std::size_t p = 0; p < pairs; ++p) {
            for (std::size_t l = 0; l < lanes; ++l) {
                totals[lanes * p + l] = sums[p][l];
                nan_seen[lanes * p + l] = seen[p][l] != 0;
            }
        }
        // The last few positions lack the longer lengths' residuals.
        for (; j + 1 < n; ++j) {
            double s = 0.0;
            for (std::size_t train = 1; train <= max_train && j + train < n; ++train) {
                s += x[j + train - 1];
                const double e = s / static_cast<double>(train) - x[j + train];
                nan_seen[train - 1] = nan_seen[train - 1] || std::isnan(e);
                totals[train - 1] += op(e, train - 1);
            }
        }
    }

private:
    static constexpr std::array<Lanes, pairs> lengths_ = {Lanes{1, 2}, Lanes{3, 4}, Lanes{5, 6}, Lanes{7, 8},
                                                          Lanes{9, 10}};
    Series x_;
};

}  // namespace

double fc_looplocalsimple_mean_stderr_chn(Series y, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    const std::size_t n = x.size();

    // The sample standard deviation of each length's residuals, computed as
    // common::std_dev does (NaN with a NaN residual or fewer than two; the
    // mean of the sum in index order, then the squared deviations from it in
    // index order), with all ten lengths in each of the two passes.
    const ResidualSums residuals(x.view());
    std::array<double, max_train> total{};
    std::array<bool, max_train> nan_seen{};
    residuals.accumulate(total, nan_seen, [](auto e, std::size_t) { return e; });
    std::array<double, max_train> mean{};
    for (std::size_t i = 0; i < max_train; ++i) {
        const std::size_t train = i + 1;
        if (n > train) mean[i] = total[i] / static_cast<double>(n - train);
    }
    std::array<Lanes, pairs> mean_pairs{};
    for (std::size_t p = 0; p < pairs; ++p) mean_pairs[p] = Lanes{mean[lanes * p], mean[lanes * p + 1]};
    std::array<double, max_train> squares{};
    residuals.accumulate(squares, nan_seen, [&](auto e, std::size_t i) {
        if constexpr (std::is_same_v<decltype(e), Lanes>) {
            const Lanes d = e - mean_pairs[i];
            return d * d;
        } else {
            const double d = e - mean[i];
            return d * d;
        }
    });

    std::array<double, max_train> spread{};
    double lo = std::numeric_limits<double>::max();
    double hi = -std::numeric_limits<double>::max();
    for (std::size_t i = 0; i < max_train; ++i) {
        const std::size_t train = i + 1;
        double s = common::nan;
        if (n > train + 1 && !nan_seen[i]) {
            s = std::sqrt(squares[i] / static_cast<double>(n - train - 1));
            if (!std::isnan(s)) {
                lo = std::min(lo, s);
                hi = std::max(hi, s);
            }
        }
        spread[i] = s;
    }
    const double change = common::mean(common::diff(spread));
    return change / (hi - lo);
}

}  // namespace quorlex::catchamouse16
