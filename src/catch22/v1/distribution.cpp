// The v1 features of the values and their steps: histogram modes, outlier
// timing, pNN40, binary stretches, pair entropy and time reversibility.
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "catch22/dn_outlierinclude.hpp"
#include "catch22/md_hrv.hpp"
#include "catch22/sb_coarsegrain.hpp"
#include "catch22/v1/features.hpp"
#include "catch22/v1/histogram.hpp"

namespace quorlex::catch22::v1 {

namespace {

// The longest run of consecutive true values of `hit(i)`, i < count.
template <class Hit>
double longest_run(std::size_t count, Hit hit) {
    std::size_t best = 0, run = 0;
    for (std::size_t i = 0; i < count; ++i) {
        run = hit(i) ? run + 1 : 0;
        best = run > best ? run : best;
    }
    return static_cast<double>(best);
}

}  // namespace

double dn_histogrammode(Series z, std::size_t bins) {
    const Edges e = hist_edges(z, bins);
    const std::vector<std::uint32_t> counts = hist_counts(z, e);
    std::uint32_t most = 0;
    for (const std::uint32_t c : counts) most = c > most ? c : most;
    double centres = 0;
    std::size_t ties = 0;
    for (std::size_t i = 0; i < e.bins; ++i) {
        if (counts[i] != most) continue;
        centres += (e.edges[i] + e.edges[i + 1]) / 2;
        ++ties;
    }
    return centres / static_cast<double>(ties);
}

// The classic routine computes the same timing statistic: the v1 change is
// only in how a constant series is reported, which the set run masks.
double dn_outlierinclude_p_001_mdrmd(Series z, Shared*) { return catch22::dn_outlierinclude(z, false, 1); }
double dn_outlierinclude_n_001_mdrmd(Series z, Shared*) { return catch22::dn_outlierinclude(z, false, -1); }

double md_pnn_pnn40(Series z, Shared*) { return catch22::md_hrv_classic_pnn40(z, false); }

double sb_binarystats_mean_longstretch1(Series z, Shared*) {
    const double m = common::sum(z) / static_cast<double>(z.size());
    return longest_run(z.size(), [&](std::size_t i) { return z[i] - m > 0; });
}

double sb_binarystats_diff_longstretch0(Series z, Shared*) {
    return longest_run(z.size() - 1, [&](std::size_t i) { return !(z[i + 1] - z[i] > 0); });
}

double sb_motifthree_quantile_hh(Series z, Shared*) {
    const std::size_t n = z.size();
    std::vector<std::uint64_t> labels(n, 0);
    sb_coarsegrain(z, labels);
    std::array<std::array<std::uint64_t, 3>, 3> pairs{};
    for (std::size_t i = 0; i + 1 < n; ++i) ++pairs[labels[i] - 1][labels[i + 1] - 1];
    const double steps = static_cast<double>(n) - 1.0;
    double hh = 0.0;
    int non_empty = 0;
    for (const auto& row : pairs) {
        double f = 0.0;
        for (const std::uint64_t c : row) {
            const double p = static_cast<double>(c) / steps;
            if (p > 0) {
                f += p * std::log(p);
                ++non_empty;
            }
        }
        hh += -1 * f;
    }
    // Miller-Madow: the degrees of freedom left by the fixed, equiprobable
    // symbol marginals of two-symbol words.
    const int df = non_empty - 1 - 2 * (3 - 1);
    if (df > 0) hh += df / (2.0 * static_cast<double>(n - 1));
    return hh;
}

double co_trev_1_num(Series z, Shared*) {
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < z.size(); ++i) total += std::pow(z[i + 1] - z[i], 3.0);
    return total / static_cast<double>(z.size() - 1);
}

}  // namespace quorlex::catch22::v1
