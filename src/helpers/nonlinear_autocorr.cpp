#include "helpers/nonlinear_autocorr.hpp"

#include <algorithm>
#include <cmath>

namespace quorlex::common {

namespace {

// The products and their sum in one pass, in the order of t: the few
// multiplications of each product overlap the chain of additions, which sets
// the pace. K lags known at compile time (hctsa's names list up to eight)
// unroll the product; K = 0 reads any number of lags from `lags`.
template <std::size_t K, bool absolute>
double product_sum(Series y, std::span<const std::size_t> lags, std::size_t tmax) {
    std::size_t fixed[K > 0 ? K : 1] = {};
    if constexpr (K > 0) std::copy(lags.begin(), lags.end(), fixed);
    double s = 0.0;
    for (std::size_t t = tmax; t < y.size(); ++t) {
        double p = y[t];
        if constexpr (K > 0) {
#pragma GCC unroll 8
            for (std::size_t k = 0; k < K; ++k) p = p * y[t - fixed[k]];
        } else {
            for (const std::size_t lag : lags) p = p * y[t - lag];
        }
        s += absolute ? std::fabs(p) : p;
    }
    return s;
}

template <bool absolute>
double product_sum(Series y, std::span<const std::size_t> lags, std::size_t tmax) {
    switch (lags.size()) {
        case 1:
            return product_sum<1, absolute>(y, lags, tmax);
        case 2:
            return product_sum<2, absolute>(y, lags, tmax);
        case 3:
            return product_sum<3, absolute>(y, lags, tmax);
        case 4:
            return product_sum<4, absolute>(y, lags, tmax);
        case 5:
            return product_sum<5, absolute>(y, lags, tmax);
        case 6:
            return product_sum<6, absolute>(y, lags, tmax);
        case 7:
            return product_sum<7, absolute>(y, lags, tmax);
        case 8:
            return product_sum<8, absolute>(y, lags, tmax);
        default:
            return product_sum<0, absolute>(y, lags, tmax);
    }
}

}  // namespace

double nonlinear_autocorr(Series y, std::span<const std::size_t> lags, bool absolute) {
    const std::size_t tmax = *std::max_element(lags.begin(), lags.end());
    const double s = absolute ? product_sum<true>(y, lags, tmax) : product_sum<false>(y, lags, tmax);
    return s / static_cast<double>(y.size() - tmax);
}

}  // namespace quorlex::common
