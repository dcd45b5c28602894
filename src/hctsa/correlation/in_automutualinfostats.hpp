// Statistics of the automutual-information curve of a series over lags
// 1 .. min(maxLag, ceil(n / 2)), with a Gaussian or a nearest-neighbour
// estimator.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// Entry i is the automutual information at lag i + 1: "kraskov1" selects the
// nearest-neighbour estimate (ami_kraskov), any other text the Gaussian one,
// -0.5 ln(1 - r^2) with r = autocorr_lag. nullopt (every statistic NaN) for
// any non-finite value or fewer than 2 values.
std::optional<std::vector<double>> ami_curve(Series y, std::size_t max_lag, std::string_view estimator);

// Building blocks of ami_curve, for callers that spread its lags over threads:
// the curve's length for a finite series of n >= 2 values, what every lag of
// the nearest-neighbour estimate shares (empty for the Gaussian one), and the
// curve's entry at one lag.
std::size_t ami_curve_length(std::size_t n, std::size_t max_lag);
struct KraskovInputs {
    std::vector<std::size_t> order;  // value_order(y)
    std::vector<double> psi;         // digamma_table(n + 1)
};
KraskovInputs kraskov_inputs(Series y, std::string_view estimator);
double ami_at_lag(Series y, std::size_t lag, std::string_view estimator, const KraskovInputs& kraskov);

// One statistic of a curve from ami_curve with the same max_lag: "ami1" ..
// "amiK", "mami", "stdami", "pextrema", "fmmi", "pmaxima", "pminima",
// "modeperiodmax", "modeperiodmin", "pmodeperiodmax", "pmodeperiodmin",
// "pcrossmean", "pcrossmedian", "pcrossq10", "pcrossq90", "amiac1"; any other
// text NaN.
double ami_statistic(const std::optional<std::vector<double>>& curve, std::size_t max_lag,
                     std::string_view statistic);

// ami_statistic(ami_curve(y, max_lag, estimator), max_lag, statistic).
double in_automutualinfostats(Series y, std::size_t max_lag, std::string_view estimator,
                              std::string_view statistic);

}  // namespace quorlex::hctsa
