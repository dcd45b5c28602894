#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "helpers/histcounts.hpp"
#include "helpers/histogram_ami.hpp"
#include "helpers/moments.hpp"
#include "helpers/order_statistics.hpp"
#include "hctsa/correlation/ami_kraskov.hpp"
#include "hctsa/correlation/co_autocorr.hpp"
#include "hctsa/correlation/co_compareminami.hpp"
#include "hctsa/correlation/co_histogramami.hpp"
#include "hctsa/correlation/co_nonlinearautocorr.hpp"
#include "hctsa/correlation/in_automutualinfostats.hpp"
#include "hctsa/distribution/dn_histogramasymmetry.hpp"
#include "hctsa/distribution/dn_outliertest.hpp"
#include "hctsa/distribution/dn_spread.hpp"
#include "hctsa/distribution/dn_withinp.hpp"
#include "hctsa/helpers/bf_point_of_crossing.hpp"
#include "hctsa/helpers/digamma.hpp"
#include "parallel/hctsa.hpp"
#include "parallel/hctsa_shared.hpp"
#include "test_support.hpp"

namespace h = quorlex::hctsa;
using V = std::vector<double>;

namespace {

// The estimator as defined: every row of distances sorted, counts by scan.
double literal_kraskov(const V& x, const V& z) {
    const std::size_t n = x.size();
    if (n < 5) return nan_value;
    double s = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        V d;
        for (std::size_t m = 0; m < n; ++m) {
            if (m != j) d.push_back(std::max(std::fabs(x[j] - x[m]), std::fabs(z[j] - z[m])));
        }
        std::sort(d.begin(), d.end());
        const double eps = d[3];
        std::size_t nx = 0, nz = 0;
        for (std::size_t m = 0; m < n; ++m) {
            if (m == j) continue;
            if (std::fabs(x[m] - x[j]) < eps) ++nx;
            if (std::fabs(z[m] - z[j]) < eps) ++nz;
        }
        s += h::digamma(static_cast<double>(nx + 1)) + h::digamma(static_cast<double>(nz + 1));
    }
    return h::digamma(4.0) - s / static_cast<double>(n) + h::digamma(static_cast<double>(n));
}

// Lagged halves of one series, as the automutual-information curve pairs them.
std::pair<V, V> lagged(const V& y, std::size_t lag) {
    return {V(y.begin(), y.end() - static_cast<std::ptrdiff_t>(lag)), V(y.begin() + static_cast<std::ptrdiff_t>(lag), y.end())};
}

void expect_bits(double a, double b, const std::string& what) {
    if (std::isnan(b)) {
        EXPECT_TRUE(std::isnan(a)) << what;
    } else {
        EXPECT_EQ(a, b) << what;
    }
}

}  // namespace

TEST(hctsa_test, kraskov_matches_the_literal_estimator) {
    const auto psi = h::digamma_table(300);
    for (unsigned seed = 0; seed < 12; ++seed) {
        for (std::size_t n : {5, 6, 9, 30, 97, 240}) {
            V y = noise(n, seed);
            // Rounded values make ties in x, in z and in the distances.
            if (seed % 2 == 1) {
                for (double& v : y) v = std::round(v * 2.0);
            }
            const auto order = h::value_order(y);
            for (std::size_t lag : {1, 3}) {
                if (n <= lag) continue;
                const auto [x, z] = lagged(y, lag);
                const double expected = literal_kraskov(x, z);
                expect_bits(h::ami_kraskov(x, z, psi), expected, "n " + std::to_string(n));
                // The windows' orders taken from the order of the whole series.
                expect_bits(h::ami_kraskov_lagged(y, order, lag, psi), expected, "lagged, n " + std::to_string(n));
            }
        }
    }
    const V constant(12, 1.5);  // every eps is 0: no neighbour strictly inside
    expect_bits(h::ami_kraskov(constant, constant, psi), literal_kraskov(constant, constant), "constant");
    EXPECT_TRUE(std::isnan(h::ami_kraskov(V{1, 2, 3, 4}, V{1, 2, 3, 4}, psi)));
}

TEST(hctsa_test, digamma_at_whole_numbers) {
    EXPECT_NEAR(h::digamma(1.0), -0.5772156649015329, 1e-15);
    EXPECT_NEAR(h::digamma(4.0), -0.5772156649015329 + 1.0 + 0.5 + 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(h::digamma(1000.0), 6.907255195648812, 1e-14);
    EXPECT_EQ(h::digamma_table(50)[37], h::digamma(37.0));
}

TEST(hctsa_test, first_minima_match_the_lag_by_lag_routine) {
    const std::vector<std::size_t> bins = {2, 3, 7, 20, 80};
    for (unsigned seed = 0; seed < 5; ++seed) {
        V y = noise(40 + 37 * seed, seed);
        if (seed == 2) {
            for (std::size_t i = 1; i < y.size(); ++i) y[i] += y[i - 1];  // slow curve, late turns
        }
        if (seed == 4) {
            // Clipped to [-1, 1]: with "std1" the values 1.0 reach no edge
            // (bin 0), which takes the general cell rule.
            for (double& v : y) v = std::clamp(v, -1.0, 1.0);
        }
        const auto sorted = h::sorted_series(y);
        for (const char* method : {"std1", "std2", "even", "quantiles"}) {
            for (std::size_t b : bins) {
                const std::size_t last = y.size() / 2;
                double expected = static_cast<double>(last);
                for (std::size_t j = 2; j <= last; ++j) {
                    const double a0 = h::co_histogramami(y, method, b, j - 2);
                    const double a1 = h::co_histogramami(y, method, b, j - 1);
                    const double a2 = h::co_histogramami(y, method, b, j);
                    if ((a2 - a1) * (a1 - a0) < 0.0) {
                        expected = static_cast<double>(j - 1);
                        break;
                    }
                }
                EXPECT_EQ(h::first_ami_minimum(y, sorted, method, b), expected) << method << " " << b;
            }
        }
    }
}

TEST(hctsa_test, shared_intermediates_give_every_member_its_own_value) {
    namespace p = quorlex::parallel;
    const p::TaskList& tasks = p::hctsa_tasks();
    ASSERT_EQ(tasks.size(), 512u);
    for (std::size_t n : {1, 2, 7, 64, 150}) {
        V y = noise(n, static_cast<unsigned>(n));
        for (std::size_t i = 1; i < y.size(); ++i) y[i] += 0.3 * y[i - 1];
        // Prepared on the pool, as the per-series run does; and computed by
        // the first member that asks, as a batch run does.
        p::RunShared prepared(y, false);
        prepared.hctsa().prepare();
        p::RunShared asked(y, false);
        for (std::size_t k = 0; k < tasks.size(); ++k) {
            if (n < 2 && k < 120) continue;  // quantile members of tiny series are covered elsewhere
            // A run of its own per member: nothing is shared with any other.
            p::RunShared alone(y, false);
            const double own = tasks[k].compute(y, false, alone);
            expect_bits(tasks[k].compute(y, false, prepared), own, tasks[k].name);
            expect_bits(tasks[k].compute(y, false, asked), own, tasks[k].name);
        }
    }
}

TEST(hctsa_test, preparing_keeps_intermediates_already_read) {
    // A member may hold a reference to what it read while the rest is
    // prepared: the value stays where it is, unchanged.
    const V y = noise(50, 3);
    quorlex::parallel::RunShared run(y, false);
    const V& acf = run.hctsa().acf();
    const V& sorted = run.hctsa().sorted();
    const V acf_copy = acf, sorted_copy = sorted;
    run.hctsa().prepare();
    EXPECT_EQ(&run.hctsa().acf(), &acf);
    EXPECT_EQ(&run.hctsa().sorted(), &sorted);
    expect_same(acf, acf_copy);
    expect_same(sorted, sorted_copy);
}

TEST(hctsa_test, autocorrelation_by_fft) {
    const V four = h::co_autocorr(V{1, 2, 3, 4});  // exact only up to rounding
    ASSERT_EQ(four.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(four[k], (V{1.0, 0.25, -0.3, -0.45}[k]), 1e-15);
    EXPECT_TRUE(h::co_autocorr(V{}).empty());
    expect_same(h::co_autocorr(V{1, nan_value}), {nan_value});
    expect_same(h::co_autocorr(V{3, 3, 3}), {nan_value, nan_value, nan_value});
    EXPECT_TRUE(std::isnan(h::co_autocorr_at(V{1, 2, 3}, 3)));
    // Against the direct sums, and unchanged when the plans come from the cache.
    const V y = noise(300, 4);
    const V acf = h::co_autocorr(y);
    const double m = quorlex::common::mean(y);
    double c0 = 0.0;
    for (double v : y) c0 += (v - m) * (v - m);
    for (std::size_t k : {1, 7, 150, 299}) {
        double c = 0.0;
        for (std::size_t i = 0; i + k < y.size(); ++i) c += (y[i] - m) * (y[i + k] - m);
        EXPECT_NEAR(acf[k], c / c0, 1e-12);
    }
    for (std::size_t n = 2; n < 80; ++n) h::co_autocorr(noise(n, 9));  // other lengths in between
    expect_same(h::co_autocorr(y), acf);
}

TEST(hctsa_test, crossings_and_products) {
    const auto c = h::bf_point_of_crossing(V{1.0, 0.5, -0.5}, 0.0);
    EXPECT_EQ(c.index, 2u);
    EXPECT_EQ(c.point, 1.5);
    const auto never = h::bf_point_of_crossing(V{1.0, 0.5, 0.2}, 0.0);
    EXPECT_EQ(never.index, 3u);
    EXPECT_EQ(never.point, 3.0);
    EXPECT_EQ(h::bf_point_of_crossing(V{nan_value}, 0.0).index, 1u);
    EXPECT_EQ(h::bf_point_of_crossing(V{}, 0.0).point, 0.0);

    const std::vector<std::size_t> one_two = {1, 2}, zero_one = {0, 1}, three = {3};
    EXPECT_EQ(h::co_nonlinearautocorr(V{1, 2, 3, 4}, one_two, false), 15.0);
    EXPECT_EQ(h::co_nonlinearautocorr(V{1, -2, 3}, zero_one, false), ((-2.0 * -2.0) * 1.0 + (3.0 * 3.0) * -2.0) / 2.0);
    EXPECT_EQ(h::co_nonlinearautocorr(V{1, -2, 3}, zero_one, true), (4.0 + 18.0) / 2.0);
    EXPECT_TRUE(std::isnan(h::co_nonlinearautocorr(V{1, 2, 3}, three, false)));
}

TEST(hctsa_test, histogram_edges_and_information) {
    const V inside{-0.5, 0.2, 0.9, -0.9};
    EXPECT_EQ(h::histogram_ami_edges(quorlex::common::sorted_copy(inside), "std1", 5).size(), 6u);
    const V outside{-3.0, 0.0, 2.5};
    const V edges = h::histogram_ami_edges(outside, "std2", 4);
    ASSERT_EQ(edges.size(), 7u);
    EXPECT_EQ(edges.front(), -3.1);
    EXPECT_EQ(edges.back(), 2.6);
    EXPECT_TRUE(std::isnan(h::co_histogramami(V{1, 2, 3}, "even", 2, 3)));
    EXPECT_THROW_MSG(h::co_histogramami(V{1, 2, 3}, "odd", 2, 1), "Unknown binning method: odd");
    // The even-width catch22 setting is this routine with its own edges.
    const V y = noise(50, 3);
    EXPECT_GE(h::co_histogramami(y, "quantiles", 5, 2), 0.0);
}

TEST(hctsa_test, bin_assignment_by_binary_search_matches_the_scan) {
    const V edges{-1.0, -0.5, -0.5, 0.0, 0.7, 0.7, 2.0};
    V y = noise(200, 8);
    y.push_back(-0.5);
    y.push_back(2.0);
    y.push_back(nan_value);
    const auto bins = quorlex::common::histbinassign(y, edges);
    for (std::size_t i = 0; i < y.size(); ++i) {
        std::uint32_t expected = 0;
        for (std::size_t j = 0; j < edges.size(); ++j) {
            if (y[i] < edges[j]) {
                expected = static_cast<std::uint32_t>(j);
                break;
            }
        }
        EXPECT_EQ(bins[i], expected) << y[i];
    }
}

TEST(hctsa_test, automutual_information_statistics) {
    const V ramp{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    // A monotone curve has no minimum: the lag argument, not the curve length.
    const std::optional<V> falling = V{5, 4, 3, 2, 1};
    EXPECT_EQ(h::ami_statistic(falling, 40, "fmmi"), 40.0);
    EXPECT_EQ(h::ami_statistic(falling, 20, "fmmi"), 20.0);
    EXPECT_EQ(h::ami_statistic(V{3, 1, 2, 0}, 40, "fmmi"), 1.0);
    EXPECT_TRUE(std::isnan(h::in_automutualinfostats(V{1, nan_value, 3}, 40, "gaussian", "mami")));
    EXPECT_TRUE(std::isnan(h::in_automutualinfostats(ramp, 40, "gaussian", "ami7")));  // L = 6
    EXPECT_TRUE(std::isnan(h::in_automutualinfostats(ramp, 40, "gaussian", "unknown")));
    const V y = noise(200, 11);
    const auto curve = h::ami_curve(y, 40, "gaussian");
    ASSERT_TRUE(curve);
    EXPECT_EQ(h::ami_statistic(curve, 40, "ami3"), (*curve)[2]);
    EXPECT_EQ(h::ami_statistic(curve, 40, "amiac1"), h::co_autocorr_at(*curve, 1));
    const double pmax = h::ami_statistic(curve, 40, "pmaxima");
    EXPECT_TRUE(pmax >= 0.0 && pmax <= 1.0);
}

TEST(hctsa_test, distribution_rules) {
    EXPECT_EQ(h::dn_withinp(V{1, nan_value, 3}, 1.0, "mean"), 0.0);
    EXPECT_EQ(h::dn_withinp(V{5}, 1.0, "mean"), 1.0);
    EXPECT_THROW_MSG(h::dn_withinp(V{1, 2}, 1.0, "mode"), "Unknown setting: mode");
    EXPECT_THROW_MSG(h::dn_spread(V{1, 2}, "range"), "Unknown spread measure: range");
    for (const char* s : {"densityDiff", "modeProbPos", "posMode", "modeAsymmetry", "other"}) {
        EXPECT_EQ(h::dn_histogramasymmetry(V{0, 0, 0}, 5, s), 0.0) << s;
    }
    EXPECT_EQ(h::dn_histogramasymmetry(V{1, 2, -1}, 5, "densityDiff"), 1.0);
    EXPECT_EQ(h::dn_histogramasymmetry(V{1, 2, -1}, 5, "modeProbNeg"), 1.0 / 3.0);
    const V ten{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(h::dn_outliertest(ten, 10.0, "mean"), 5.5);
    EXPECT_EQ(h::dn_outliertest(ten, 10.0, "std"), std::sqrt(6.0) / quorlex::common::std_dev(ten));
    EXPECT_TRUE(std::isnan(h::dn_outliertest(V{1, 1, 1}, 10.0, "mean")));  // nothing strictly inside
}

namespace {

// The joint-histogram information over the whole table, as published: codes
// counted against edges 1 .. E^2, the table transposed, every cell visited.
double dense_joint_ami(const std::vector<std::uint32_t>& bins, std::uint32_t n_edges, std::size_t tau) {
    const std::uint32_t nb = n_edges - 1;
    std::vector<double> codes;
    for (std::size_t k = 0; k + tau < bins.size(); ++k) {
        codes.push_back(static_cast<double>(static_cast<std::int32_t>(bins[k + tau] + (bins[k] - 1) * n_edges)));
    }
    V edges;
    for (std::uint32_t i = 0; i < n_edges * n_edges; ++i) edges.push_back(i + 1.0);
    const auto joint = quorlex::common::histcount_edges(codes, edges);
    std::vector<V> p(nb, V(nb));
    std::int32_t sum = 0;
    for (std::uint32_t i = 0; i < nb; ++i) {
        for (std::uint32_t j = 0; j < nb; ++j) {
            p[j][i] = joint[i * n_edges + j];
            sum += static_cast<std::int32_t>(joint[i * n_edges + j]);
        }
    }
    if (sum == 0) return nan_value;
    for (auto& row : p) {
        for (double& v : row) v /= static_cast<double>(sum);
    }
    V pi(nb, 0.0), pj(nb, 0.0);
    for (std::uint32_t i = 0; i < nb; ++i) {
        for (std::uint32_t j = 0; j < nb; ++j) {
            pi[i] += p[i][j];
            pj[j] += p[i][j];
        }
    }
    double ami = 0.0;
    for (std::uint32_t i = 0; i < nb; ++i) {
        for (std::uint32_t j = 0; j < nb; ++j) {
            if (p[i][j] > 0) ami += p[i][j] * std::log(p[i][j] / (pj[j] * pi[i]));
        }
    }
    return ami;
}

}  // namespace

TEST(hctsa_test, sparse_joint_histogram_matches_the_whole_table) {
    std::mt19937_64 gen(5);
    quorlex::common::JointHistogram reused;
    for (std::uint32_t n_edges : {2u, 3u, 6u, 11u, 40u, 81u}) {
        for (std::size_t n : {2, 9, 150, 1000}) {
            std::vector<std::uint32_t> bins(n);
            // Bins 0 .. n_edges - 1, bin 0 (no edge above) included.
            for (auto& b : bins) b = static_cast<std::uint32_t>(gen() % n_edges);
            for (std::size_t tau : {0, 1, 4}) {
                if (tau >= n) continue;
                const double expected = dense_joint_ami(bins, n_edges, tau);
                expect_bits(quorlex::common::joint_histogram_ami(bins, n_edges, tau), expected, "fresh");
                expect_bits(reused.ami(bins, n_edges, tau), expected, "reused");
            }
        }
    }
}
