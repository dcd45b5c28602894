#include "parallel/hctsa_shared.hpp"

#include <cmath>
#include <utility>

#include "hctsa/correlation/co_autocorr.hpp"
#include "hctsa/correlation/co_histogramami.hpp"
#include "hctsa/correlation/in_automutualinfostats.hpp"
#include "helpers/finite.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/vectors.hpp"
#include "parallel/pool.hpp"

namespace quorlex::parallel {

namespace {

using Curve = HctsaShared::Curve;
using Method = HctsaShared::Method;

// Bin counts 2 .. 80 of the first-minimum comparison.
std::vector<std::size_t> min_ami_bins() {
    std::vector<std::size_t> bins;
    for (std::size_t b = 2; b <= 80; ++b) bins.push_back(b);
    return bins;
}

const AmiCurveSetting& setting(Curve c) { return ami_curve_settings[static_cast<std::size_t>(c)]; }

// The series a curve is computed on: y itself, or its first differences.
std::vector<double> curve_input(Series y, Curve c) {
    return setting(c).diff ? common::diff(y) : std::vector<double>(y.begin(), y.end());
}

// Whether the values of sorted_series(y) are bit for bit those of
// common::sorted_copy(y): both are ascending, so they can differ only in
// the order of equal values with different bits, which for finite values
// (sorted_series is empty otherwise) means -0 and +0 both present.
bool same_as_sorted_copy(const hctsa::SortedSeries& sorted) {
    if (sorted.values.empty()) return false;
    bool negative_zero = false;
    bool positive_zero = false;
    for (const double v : sorted.values) {
        if (v == 0.0) (std::signbit(v) ? negative_zero : positive_zero) = true;
    }
    return !(negative_zero && positive_zero);
}

}  // namespace

const std::vector<double>& HctsaShared::acf() {
    return acf_.get([this] { return hctsa::co_autocorr(y_); });
}

const std::vector<double>& HctsaShared::sorted() {
    return sorted_.get([this] { return common::sorted_copy(y_); });
}

const std::optional<std::vector<double>>& HctsaShared::curve(Curve which) {
    return curves_[static_cast<std::size_t>(which)].get([this, which] {
        const std::vector<double> input = curve_input(y_, which);
        return hctsa::ami_curve(input, setting(which).max_lag, setting(which).estimator);
    });
}

const hctsa::MinAmiRecord& HctsaShared::min_ami(Method which) {
    return min_ami_[static_cast<std::size_t>(which)].get([this, which] {
        const auto bins = min_ami_bins();
        return hctsa::co_compareminami(y_, min_ami_methods[static_cast<std::size_t>(which)], bins);
    });
}

// The lags of one method and bin count share their edges and bins. This takes
// the sorted copy's lock inside its own; nothing takes them the other way round.
const HctsaShared::HistogramAmiLags& HctsaShared::histogram_ami(std::size_t method, std::size_t bins) {
    return histogram_ami_[method * histogram_ami_bins.size() + bins].get([this, method, bins] {
        HistogramAmiLags values;
        hctsa::co_histogramami_lags(y_, sorted(), histogram_ami_methods[method], histogram_ami_bins[bins], values);
        return values;
    });
}

void HctsaShared::prepare() {
    const Series y = y_;
    // The expensive items split into independent pieces of work (one lag of
    // a curve, one bin count of a comparison) so that the pool stays busy;
    // the pieces are the very calls the whole-item routines make, put
    // together in the same order, so the items hold the same values.
    constexpr std::size_t n_curves = static_cast<std::size_t>(Curve::count);
    constexpr std::size_t n_methods = static_cast<std::size_t>(Method::count);
    std::array<std::vector<double>, n_curves> inputs;
    std::array<std::vector<double>, n_curves> entries;
    std::array<bool, n_curves> valid{};
    std::array<hctsa::KraskovInputs, n_curves> kraskov;
    for (std::size_t c = 0; c < n_curves; ++c) {
        inputs[c] = curve_input(y, static_cast<Curve>(c));
        valid[c] = common::all_finite(inputs[c]) && inputs[c].size() >= 2;
        if (!valid[c]) continue;
        entries[c].resize(hctsa::ami_curve_length(inputs[c].size(), ami_curve_settings[c].max_lag));
        kraskov[c] = hctsa::kraskov_inputs(inputs[c], ami_curve_settings[c].estimator);
    }

    const std::vector<std::size_t> bins = min_ami_bins();
    const hctsa::SortedSeries sorted = hctsa::sorted_series(y);
    std::array<std::vector<double>, n_methods> first_minima;
    for (auto& v : first_minima) v.resize(bins.size());

    struct Job {
        std::size_t kind;  // 0: acf, 1: curve entry, 2: first minimum
        std::size_t a, b;
    };
    std::vector<Job> jobs;
    // Longest first: the nearest-neighbour lags, then the comparisons.
    for (std::size_t c : {std::size_t{1}, std::size_t{3}, std::size_t{0}, std::size_t{2}}) {
        for (std::size_t i = 0; i < entries[c].size(); ++i) jobs.push_back({1, c, i});
    }
    for (std::size_t m = 0; m < n_methods; ++m) {
        for (std::size_t i = 0; i < bins.size(); ++i) jobs.push_back({2, m, i});
    }
    jobs.push_back({0, 0, 0});
    std::vector<double> acf_value;
    for_each_index(jobs.size(), [&](std::size_t j) {
        const Job& job = jobs[j];
        if (job.kind == 0) {
            acf_value = hctsa::co_autocorr(y);
        } else if (job.kind == 1) {
            entries[job.a][job.b] =
                hctsa::ami_at_lag(inputs[job.a], job.b + 1, ami_curve_settings[job.a].estimator, kraskov[job.a]);
        } else {
            first_minima[job.a][job.b] = hctsa::first_ami_minimum(y, sorted, min_ami_methods[job.a], bins[job.b]);
        }
    });

    acf_.put(std::move(acf_value));
    sorted_.put(same_as_sorted_copy(sorted) ? sorted.values : common::sorted_copy(y));
    for (std::size_t c = 0; c < n_curves; ++c) {
        curves_[c].put(valid[c] ? std::optional<std::vector<double>>(std::move(entries[c])) : std::nullopt);
    }
    for (std::size_t m = 0; m < n_methods; ++m) min_ami_[m].put(hctsa::min_ami_record(first_minima[m]));
}

}  // namespace quorlex::parallel
