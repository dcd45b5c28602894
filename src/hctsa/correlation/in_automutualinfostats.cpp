#include "hctsa/correlation/in_automutualinfostats.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "hctsa/correlation/ami_kraskov.hpp"
#include "hctsa/correlation/co_autocorr.hpp"
#include "hctsa/helpers/digamma.hpp"
#include "helpers/finite.hpp"
#include "helpers/lag_correlation.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/vectors.hpp"

namespace quorlex::hctsa {

namespace {

// Positions i + 1 of the local maxima (or minima) of the curve: d[i] > 0 and
// d[i+1] < 0 (or the reverse) for the differences d.
std::vector<std::uint32_t> extrema(const std::vector<double>& d, bool maxima) {
    std::vector<std::uint32_t> at;
    for (std::size_t i = 0; i + 1 < d.size(); ++i) {
        const bool turn = maxima ? d[i] > 0.0 && d[i + 1] < 0.0 : d[i] < 0.0 && d[i + 1] > 0.0;
        if (turn) at.push_back(static_cast<std::uint32_t>(i + 1));
    }
    return at;
}

double share_of_extrema(const std::vector<std::uint32_t>& at, std::size_t len) {
    const double q = at.size() >= 2 ? static_cast<double>(at.size() - 1) : 0.0;
    return q / static_cast<double>(len / 2);
}

std::vector<std::uint32_t> gaps(const std::vector<std::uint32_t>& at) {
    std::vector<std::uint32_t> g;
    for (std::size_t i = 1; i < at.size(); ++i) g.push_back(at[i] - at[i - 1]);
    return g;
}

double mode_period(const std::vector<std::uint32_t>& at) {
    if (at.size() < 2) return common::nan;
    return static_cast<double>(common::int_mode(gaps(at)));
}

double share_of_mode_period(const std::vector<std::uint32_t>& at) {
    const auto g = gaps(at);
    const std::uint32_t mode = common::int_mode(g);
    const auto hits = static_cast<double>(std::count(g.begin(), g.end(), mode));
    return hits / static_cast<double>(g.size());
}

// Share of successive pairs on opposite sides of `level`.
double crossings(const std::vector<double>& ami, double level) {
    const std::size_t len = ami.size();
    if (len < 2 || std::isnan(level)) return common::nan;
    std::vector<double> s(len);
    for (std::size_t i = 0; i < len; ++i) s[i] = ami[i] - level;
    if (common::has_nan(s)) return common::nan;
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < len; ++i) total += s[i] * s[i + 1] < 0.0 ? 1.0 : 0.0;
    return total / static_cast<double>(len - 1);
}

// "ami<K>" with K a whole number: K, else nullopt.
std::optional<std::size_t> ami_index(std::string_view statistic) {
    if (statistic.size() <= 3 || statistic.substr(0, 3) != "ami") return std::nullopt;
    const std::string_view digits = statistic.substr(3);
    std::size_t k = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return k;
}

}  // namespace

std::size_t ami_curve_length(std::size_t n, std::size_t max_lag) {
    return std::min(max_lag, (n + 1) / 2);  // ceil(n / 2)
}

double ami_at_lag(Series y, std::size_t lag, std::string_view estimator, const KraskovInputs& kraskov) {
    if (estimator == "kraskov1") return ami_kraskov_lagged(y, kraskov.order, lag, kraskov.psi);
    const double r = common::autocorr_lag(y, lag);
    return -0.5 * std::log(1.0 - r * r);
}

KraskovInputs kraskov_inputs(Series y, std::string_view estimator) {
    if (estimator != "kraskov1") return {};
    return {value_order(y), digamma_table(y.size() + 1)};
}

std::optional<std::vector<double>> ami_curve(Series y, std::size_t max_lag, std::string_view estimator) {
    const std::size_t n = y.size();
    if (!common::all_finite(y) || n < 2) return std::nullopt;
    const KraskovInputs kraskov = kraskov_inputs(y, estimator);
    std::vector<double> ami(ami_curve_length(n, max_lag));
    for (std::size_t i = 0; i < ami.size(); ++i) ami[i] = ami_at_lag(y, i + 1, estimator, kraskov);
    return ami;
}

double ami_statistic(const std::optional<std::vector<double>>& curve, std::size_t max_lag,
                     std::string_view statistic) {
    if (!curve) return common::nan;
    const std::vector<double>& ami = *curve;
    const std::size_t len = ami.size();
    if (const auto k = ami_index(statistic)) return *k >= 1 && *k <= len ? ami[*k - 1] : common::nan;
    if (statistic == "mami") return common::mean(ami);
    if (statistic == "stdami") return common::std_dev(ami);
    if (statistic == "fmmi") {
        for (std::size_t i = 1; i + 1 < len; ++i) {
            if (ami[i] < ami[i - 1] && ami[i] < ami[i + 1]) return static_cast<double>(i);
        }
        return static_cast<double>(max_lag);
    }
    const std::vector<double> d = common::diff(ami);
    if (statistic == "pextrema") {
        std::size_t changes = 0;
        for (std::size_t i = 0; i + 1 < d.size(); ++i) {
            if (d[i] * d[i + 1] < 0.0) ++changes;
        }
        return static_cast<double>(changes) / static_cast<double>(len - 1);
    }
    if (statistic == "pmaxima") return share_of_extrema(extrema(d, true), len);
    if (statistic == "pminima") return share_of_extrema(extrema(d, false), len);
    if (statistic == "modeperiodmax") return mode_period(extrema(d, true));
    if (statistic == "modeperiodmin") return mode_period(extrema(d, false));
    if (statistic == "pmodeperiodmax") return share_of_mode_period(extrema(d, true));
    if (statistic == "pmodeperiodmin") return share_of_mode_period(extrema(d, false));
    if (statistic == "pcrossmean") return crossings(ami, common::mean(ami));
    if (statistic == "pcrossmedian") return crossings(ami, common::median(ami));
    if (statistic == "pcrossq10") return crossings(ami, common::quantile(ami, 0.1));
    if (statistic == "pcrossq90") return crossings(ami, common::quantile(ami, 0.9));
    if (statistic == "amiac1") return co_autocorr_at(ami, 1);
    return common::nan;
}

double in_automutualinfostats(Series y, std::size_t max_lag, std::string_view estimator,
                              std::string_view statistic) {
    return ami_statistic(ami_curve(y, max_lag, estimator), max_lag, statistic);
}

}  // namespace quorlex::hctsa
