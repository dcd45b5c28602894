// What several members of an hctsa run derive from the run's series, and the
// settings those intermediates are computed with (which the members' names
// also spell).
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "hctsa/correlation/co_compareminami.hpp"
#include "helpers/series.hpp"
#include "parallel/once.hpp"

namespace quorlex::parallel {

// The four automutual-information curves of the set.
struct AmiCurveSetting {
    const char* prefix;  // result-name prefix up to the statistic
    bool diff;           // on the first differences
    std::size_t max_lag;
    const char* estimator;
};

inline constexpr std::array<AmiCurveSetting, 4> ami_curve_settings = {{
    {"IN_AutoMutualInfoStats_40_gaussian_", false, 40, "gaussian"},
    {"IN_AutoMutualInfoStats_40_kraskov1_", false, 40, "kraskov1"},
    {"IN_AutoMutualInfoStats_diff_20_gaussian_", true, 20, "gaussian"},
    {"IN_AutoMutualInfoStats_diff_20_kraskov1_", true, 20, "kraskov1"},
}};

// The methods of the first-minimum comparison (over bin counts 2 .. 80).
inline constexpr std::array<const char*, 4> min_ami_methods = {"std1", "quantiles", "even", "std2"};

// The methods and bin counts of the histogram automutual information at lags
// 1 .. 5.
inline constexpr std::array<const char*, 4> histogram_ami_methods = {"std1", "std2", "even", "quantiles"};
inline constexpr std::array<std::size_t, 3> histogram_ami_bins = {2, 5, 10};

// The run's sorted copy, the autocorrelation function, the four
// automutual-information curves, the four first-minimum records and the
// histogram automutual information of every method and bin count. Each is
// computed once (by prepare(), or else by the first member that asks) and then
// read by every member, which gives the values each member would compute for
// itself: the same routines on the same series.
class HctsaShared {
public:
    enum class Curve : std::size_t { gaussian_40, kraskov_40, diff_gaussian_20, diff_kraskov_20, count };
    enum class Method : std::size_t { std1, quantiles, even, std2, count };
    static constexpr std::size_t histogram_ami_lags = 5;
    using HistogramAmiLags = std::array<double, histogram_ami_lags>;

    // The intermediates of y, which must outlive this object.
    explicit HctsaShared(Series y) : y_(y) {}

    // Computes the acf, the sorted copy, the curves and the first-minimum
    // records at once, spread over the worker pool. Call before the members
    // run, never from inside a Once.
    void prepare();

    const std::vector<double>& acf();
    // The series sorted ascending.
    const std::vector<double>& sorted();
    const std::optional<std::vector<double>>& curve(Curve which);
    const hctsa::MinAmiRecord& min_ami(Method which);
    // co_histogramami(y, sorted(), histogram_ami_methods[method],
    // histogram_ami_bins[bins], lag) for lags 1 .. 5.
    const HistogramAmiLags& histogram_ami(std::size_t method, std::size_t bins);

private:
    Series y_;
    Once<std::vector<double>> acf_;
    Once<std::vector<double>> sorted_;
    std::array<Once<std::optional<std::vector<double>>>, static_cast<std::size_t>(Curve::count)> curves_;
    std::array<Once<hctsa::MinAmiRecord>, static_cast<std::size_t>(Method::count)> min_ami_;
    std::array<Once<HistogramAmiLags>, histogram_ami_methods.size() * histogram_ami_bins.size()> histogram_ami_;
};

}  // namespace quorlex::parallel
