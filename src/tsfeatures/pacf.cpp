#include "tsfeatures/pacf.hpp"

#include <algorithm>
#include <cmath>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::tsfeatures {

namespace {

// p_1^2 + ... + p_5^2 of a pacf result (NaN for a failed one).
double sum_first_five_squares(const std::variant<std::vector<double>, std::string_view>& result) {
    const auto* p = std::get_if<std::vector<double>>(&result);
    if (p == nullptr) return common::nan;
    const std::size_t last = std::min<std::size_t>(5, p->size() - 1);
    double s = 0.0;
    for (std::size_t k = 1; k <= last; ++k) s += (*p)[k] * (*p)[k];
    return s;
}

}  // namespace

std::variant<std::vector<double>, std::string_view> pacf(Series x, std::size_t nlags) {
    const std::size_t n = x.size();
    if (nlags > n / 2) return pacf_too_many_lags_message;

    // nlags <= n / 2 keeps every lag below n, so each g_k is a real sum (an
    // empty series reaches here only with nlags = 0 and g_0 = 0).
    std::vector<double> g(nlags + 1, 0.0);
    if (n > 0) {
        const double m = common::mean(x);
        std::vector<double> c(n);
        for (std::size_t i = 0; i < n; ++i) c[i] = x[i] - m;
        for (std::size_t k = 0; k <= nlags; ++k) {
            double s = 0.0;
            for (std::size_t i = 0; i + k < n; ++i) s += c[i] * c[i + k];
            g[k] = s / static_cast<double>(n);
        }
    }

    std::vector<double> p(nlags + 1, 0.0);
    p[0] = 1.0;
    if (g[0] == 0.0 || nlags == 0) return p;

    // phi holds phi_(k-1, j) at index j; next receives phi_(k, j).
    std::vector<double> phi(nlags + 1, 0.0);
    std::vector<double> next(nlags + 1, 0.0);
    phi[1] = g[1] / g[0];
    p[1] = phi[1];
    for (std::size_t k = 2; k <= nlags; ++k) {
        double num = g[k];
        double den = g[0];
        for (std::size_t j = 1; j < k; ++j) {
            num -= phi[j] * g[k - j];
            den -= phi[j] * g[j];
        }
        if (std::fabs(den) < 1e-10) break;
        const double phi_kk = num / den;
        p[k] = phi_kk;
        for (std::size_t j = 1; j < k; ++j) next[j] = phi[j] - phi_kk * phi[k - j];
        next[k] = phi_kk;
        std::swap(phi, next);
    }
    return p;
}

PacfFeatures pacf_features(Series y, std::optional<std::uint64_t> freq) {
    const std::uint64_t m = freq.value_or(1);
    const std::uint64_t lags = std::max<std::uint64_t>(m, 5);
    const std::size_t n = y.size();
    if (n == 0 || !common::all_finite(y)) return {common::nan, common::nan, common::nan, std::nullopt};

    PacfFeatures out{common::nan, common::nan, common::nan, std::nullopt};
    // The series' own pacf serves both x_pacf5 and the seasonal value.
    std::optional<std::variant<std::vector<double>, std::string_view>> own;
    if (n >= 6 || (m >= 2 && n > m)) own = pacf(y, lags);

    if (n >= 6) out.x_pacf5 = sum_first_five_squares(*own);
    if (n > 6) {
        const auto d1 = common::diff(y);
        out.diff1x_pacf5 = sum_first_five_squares(pacf(d1, 5));
    }
    if (n >= 8) {
        const auto d2 = common::diff(common::diff(y));
        out.diff2x_pacf5 = sum_first_five_squares(pacf(d2, 5));
    }
    if (m >= 2) {
        out.seas_pacf = common::nan;
        if (n > m) {
            if (const auto* p = std::get_if<std::vector<double>>(&*own)) out.seas_pacf = (*p)[m];
        }
    }
    return out;
}

}  // namespace quorlex::tsfeatures
