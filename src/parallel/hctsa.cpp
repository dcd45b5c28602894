#include "parallel/hctsa.hpp"

#include <string>
#include <utility>
#include <vector>

#include "hctsa/correlation/co_autocorr.hpp"
#include "hctsa/correlation/co_nonlinearautocorr.hpp"
#include "hctsa/correlation/in_automutualinfostats.hpp"
#include "hctsa/distribution/dn_burstiness.hpp"
#include "hctsa/distribution/dn_coeffvar.hpp"
#include "hctsa/distribution/dn_highlowmu.hpp"
#include "hctsa/distribution/dn_histogramasymmetry.hpp"
#include "hctsa/distribution/dn_histogrammode.hpp"
#include "hctsa/distribution/dn_mean.hpp"
#include "hctsa/distribution/dn_minmax.hpp"
#include "hctsa/distribution/dn_moments.hpp"
#include "hctsa/distribution/dn_outliertest.hpp"
#include "hctsa/distribution/dn_pleft.hpp"
#include "hctsa/distribution/dn_proportionvalues.hpp"
#include "hctsa/distribution/dn_propunique.hpp"
#include "hctsa/distribution/dn_skewness.hpp"
#include "hctsa/distribution/dn_spread.hpp"
#include "hctsa/distribution/dn_trimmedmean.hpp"
#include "hctsa/distribution/dn_withinp.hpp"
#include "hctsa/helpers/bf_point_of_crossing.hpp"
#include "helpers/autocorrelation.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/vectors.hpp"
#include "parallel/hctsa_shared.hpp"

namespace quorlex::parallel {

namespace {

using Curve = HctsaShared::Curve;
using Method = HctsaShared::Method;
using hctsa::MinAmiStat;

// A task computing f(series); the run's flag and shared intermediates are not
// used: the members see the series the run prepared.
template <class F>
FeatureTask task(std::string name, F f) {
    return {std::move(name), [f = std::move(f)](Series y, bool, RunShared&) { return f(y); }};
}

// A task computing f(series, the run's hctsa intermediates).
template <class F>
FeatureTask shared_task(std::string name, F f) {
    return {std::move(name), [f = std::move(f)](Series y, bool, RunShared& shared) { return f(y, shared.hctsa()); }};
}

void add_distribution(TaskList& t) {
    const std::pair<const char*, const char*> means[] = {
        {"mean", "arithmetic"}, {"harmonic_mean", "harmonic"}, {"median", "median"},
        {"midhinge", "midhinge"}, {"rms", "rms"}};
    for (const auto& [name, type] : means) {
        const std::string_view kind = type;
        // dn_mean "median" and "midhinge" read the run's sorted copy of y.
        if (kind == "median") {
            t.push_back(
                shared_task(name, [](Series y, HctsaShared& shared) { return common::median(y, shared.sorted()); }));
        } else if (kind == "midhinge") {
            t.push_back(
                shared_task(name, [](Series y, HctsaShared& shared) { return common::midhinge(y, shared.sorted()); }));
        } else {
            t.push_back(task(name, [type = type](Series y) { return hctsa::dn_mean(y, type); }));
        }
    }
    for (int p : {1, 5, 10, 25, 50}) {
        t.push_back(shared_task("trimmed_mean_" + std::to_string(p), [p](Series y, HctsaShared& shared) {
            return hctsa::dn_trimmedmean_sorted(y, shared.sorted(), static_cast<double>(p));
        }));
    }
    t.push_back(task("maximum", hctsa::maximum));
    t.push_back(task("minimum", hctsa::minimum));
    t.push_back(task("burstiness_Goh", hctsa::burstiness_goh));
    t.push_back(task("burstiness_Kim", hctsa::burstiness_kim));
    t.push_back(task("standard_deviation", [](Series y) { return hctsa::dn_spread(y, "std"); }));
    t.push_back(task("mean_absolute_deviation", [](Series y) { return common::mad(y, common::Deviation::mean); }));
    // dn_spread "iqr" is common::iqr; the median absolute deviation's centre
    // is read from the shared sorted copy.
    t.push_back(shared_task("interquartile_range",
                            [](Series y, HctsaShared& shared) { return common::iqr(y, shared.sorted()); }));
    t.push_back(shared_task("median_absolute_deviation", [](Series y, HctsaShared& shared) {
        return common::mad_about(y, common::median(y, shared.sorted()), common::Deviation::median);
    }));
    for (int k = 3; k <= 11; ++k) {
        t.push_back(task("DN_Moments_" + std::to_string(k), [k](Series y) { return hctsa::dn_moments(y, k); }));
    }
    t.push_back(shared_task("skewness_pearson",
                            [](Series y, HctsaShared& shared) { return hctsa::skewness_pearson(y, shared.sorted()); }));
    t.push_back(shared_task("skewness_bowley",
                            [](Series y, HctsaShared& shared) { return hctsa::skewness_bowley(y, shared.sorted()); }));
    constexpr std::size_t mode_bins[] = {5, 10, 12, 21, 52};
    for (std::size_t b : mode_bins) {
        t.push_back(task("DN_HistogramMode_" + std::to_string(b), [b](Series y) { return hctsa::dn_histogrammode(y, b); }));
    }
    for (std::size_t b : mode_bins) {
        t.push_back(task("DN_HistogramMode_Abs_" + std::to_string(b),
                         [b](Series y) { return hctsa::dn_histogrammode_abs(y, b); }));
    }
    for (std::size_t b : {5, 11, 15}) {
        for (const char* s :
             {"densityDiff", "modeProbPos", "modeProbNeg", "modeDiff", "posMode", "negMode", "modeAsymmetry"}) {
            t.push_back(task("DN_HistogramAsymmetry_" + std::to_string(b) + "_" + s,
                             [b, s](Series y) { return hctsa::dn_histogramasymmetry(y, b, s); }));
        }
    }
    const std::pair<const char*, double> within[] = {{"05", 0.5}, {"10", 1.0}, {"15", 1.5},
                                                     {"20", 2.0}, {"25", 2.5}, {"30", 3.0}};
    for (const char* centre : {"mean", "median"}) {
        const std::string prefix = std::string("DN_Withinp_") + (centre == std::string("median") ? "median_" : "");
        for (const auto& [suffix, p] : within) {
            if (centre == std::string("median")) {
                t.push_back(shared_task(prefix + suffix, [p = p](Series y, HctsaShared& shared) {
                    return hctsa::dn_withinp_median(y, shared.sorted(), p);
                }));
            } else {
                t.push_back(task(prefix + suffix, [p = p, centre](Series y) { return hctsa::dn_withinp(y, p, centre); }));
            }
        }
    }
    const std::pair<const char*, double> pleft[] = {{"005", 0.05}, {"01", 0.1}, {"02", 0.2},
                                                    {"03", 0.3},   {"04", 0.4}, {"05", 0.5}};
    for (const auto& [suffix, th] : pleft) {
        t.push_back(task(std::string("DN_pleft_") + suffix, [th = th](Series y) { return hctsa::dn_pleft(y, th); }));
    }
    for (int q : {1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99}) {
        t.push_back(shared_task("quantile_" + std::to_string(q), [q](Series y, HctsaShared& shared) {
            return common::quantile(y, shared.sorted(), static_cast<double>(q) / 100.0);
        }));
    }
    const std::pair<const char*, hctsa::ValueClass> classes[] = {{"zeros", hctsa::ValueClass::zeros},
                                                                 {"positive", hctsa::ValueClass::positive},
                                                                 {"geq0", hctsa::ValueClass::geq0}};
    for (const auto& [suffix, kind] : classes) {
        t.push_back(task(std::string("DN_ProportionValues_") + suffix,
                         [kind = kind](Series y) { return hctsa::dn_proportionvalues(y, kind); }));
    }
    t.push_back(shared_task("propUnique",
                            [](Series y, HctsaShared& shared) { return hctsa::prop_unique(y, shared.sorted()); }));
    t.push_back(task("coeff_var_1", hctsa::coeff_var_1));
    t.push_back(task("coeff_var_2", hctsa::coeff_var_2));
    t.push_back(task("HighLowMu", hctsa::high_low_mu));
    for (int p : {2, 5, 10}) {
        for (const char* s : {"mean", "std"}) {
            t.push_back(shared_task("DN_Outliertest_" + std::to_string(p) + "_" + s,
                                    [p, s](Series y, HctsaShared& shared) {
                                        const double percent = static_cast<double>(p);
                                        return hctsa::dn_outliertest_sorted(y, shared.sorted(), percent, s);
                                    }));
        }
    }
}

// The nonlinear autocorrelation members: each digit of the name is one lag.
constexpr const char* nonlinear_names[] = {
    "12",   "12_abs", "123",  "1234",   "1234_abs", "12345",  "123456", "123456_abs", "1234567", "12345678",
    "12345678_abs",   "13",   "13_abs", "24",       "24_abs", "135",    "246",        "1357",    "1357_abs",
    "2468", "2468_abs",       "124",    "134",      "14",     "14_abs", "11",         "11_abs",  "22",
    "22_abs",         "33",   "33_abs", "44",       "44_abs", "55",     "55_abs",     "66",      "66_abs",
    "011",  "022",    "033",  "044",    "055",      "066",    "001",    "002",        "003",     "004",
    "005",  "006",    "012",  "013",    "023",      "014",    "024",    "034",        "015",     "025",
    "035",  "045",    "016",  "026",    "036",      "046",    "056",    "112",        "113",     "122",
    "133",  "223",    "233"};

void add_correlation(TaskList& t) {
    for (std::size_t k = 1; k <= 52; ++k) {
        if (k == 13 || (k > 40 && k < 52)) continue;
        t.push_back(shared_task("AC_" + std::to_string(k),
                                [k](Series, HctsaShared& shared) { return hctsa::autocorr_entry(shared.acf(), k); }));
    }
    for (const std::string digits_and_suffix : nonlinear_names) {
        const std::string digits = digits_and_suffix.substr(0, digits_and_suffix.find('_'));
        std::vector<std::size_t> lags;
        for (char c : digits) lags.push_back(static_cast<std::size_t>(c - '0'));
        // The published set takes magnitudes for 022, 044 and 066 although
        // their names carry no "_abs".
        const bool absolute = digits_and_suffix.ends_with("_abs") || digits == "022" || digits == "044" ||
                              digits == "066";
        t.push_back(task("AC_nl_" + digits_and_suffix, [lags, absolute](Series y) {
            return hctsa::co_nonlinearautocorr(y, lags, absolute);
        }));
    }
    const std::pair<const char*, double> crossings[] = {{"firstZero_acf_", 0.0},
                                                        {"firstCrossing_1e_acf_", common::one_over_e}};
    for (const auto& [prefix, th] : crossings) {
        t.push_back(shared_task(std::string(prefix) + "tau", [th = th](Series, HctsaShared& shared) {
            return static_cast<double>(hctsa::bf_point_of_crossing(shared.acf(), th).index);
        }));
        t.push_back(shared_task(std::string(prefix) + "point", [th = th](Series, HctsaShared& shared) {
            return hctsa::bf_point_of_crossing(shared.acf(), th).point;
        }));
    }
    // The five lags of one method and bin count share their edges and bins.
    for (std::size_t m = 0; m < histogram_ami_methods.size(); ++m) {
        for (std::size_t b = 0; b < histogram_ami_bins.size(); ++b) {
            for (std::size_t lag = 1; lag <= HctsaShared::histogram_ami_lags; ++lag) {
                t.push_back(shared_task(std::string("CO_HistogramAMI_") + histogram_ami_methods[m] + "_" +
                                            std::to_string(histogram_ami_bins[b]) + "bin_ami" + std::to_string(lag),
                                        [m, b, lag](Series, HctsaShared& shared) {
                                            return shared.histogram_ami(m, b)[lag - 1];
                                        }));
            }
        }
    }
    for (std::size_t c = 0; c < ami_curve_settings.size(); ++c) {
        const AmiCurveSetting& s = ami_curve_settings[c];
        std::vector<std::string> stats;
        for (std::size_t k = 1; k <= s.max_lag; ++k) stats.push_back("ami" + std::to_string(k));
        for (const char* name : {"mami", "stdami", "pextrema", "fmmi", "pmaxima", "modeperiodmax", "pmodeperiodmax",
                                 "pminima", "modeperiodmin", "pmodeperiodmin", "pcrossmean", "pcrossmedian",
                                 "pcrossq10", "pcrossq90", "amiac1"}) {
            stats.emplace_back(name);
        }
        for (const std::string& stat : stats) {
            t.push_back(shared_task(s.prefix + stat, [c, stat, max_lag = s.max_lag](Series, HctsaShared& shared) {
                return hctsa::ami_statistic(shared.curve(static_cast<Curve>(c)), max_lag, stat);
            }));
        }
    }
    const std::pair<const char*, MinAmiStat> stats[] = {
        {"min", MinAmiStat::min},       {"max", MinAmiStat::max},         {"range", MinAmiStat::range},
        {"median", MinAmiStat::median}, {"mean", MinAmiStat::mean},       {"std", MinAmiStat::std},
        {"nunique", MinAmiStat::nunique}, {"mode", MinAmiStat::mode},     {"modef", MinAmiStat::modef},
        {"conv4", MinAmiStat::conv4},   {"nlocmax", MinAmiStat::nlocmax}};
    for (std::size_t m = 0; m < min_ami_methods.size(); ++m) {
        for (const auto& [suffix, stat] : stats) {
            t.push_back(shared_task(std::string("CO_CompareMinAmi_") + min_ami_methods[m] + "_2_80_" + suffix,
                                    [m, stat = stat](Series, HctsaShared& shared) {
                                        return hctsa::min_ami_entry(shared.min_ami(static_cast<Method>(m)), stat);
                                    }));
        }
    }
}

}  // namespace

const TaskList& hctsa_tasks() {
    static const TaskList tasks = [] {
        TaskList t;
        t.reserve(512);
        add_distribution(t);
        add_correlation(t);
        return t;
    }();
    return tasks;
}

std::vector<double> hctsa_prepared_values(Series y, bool normalize, const TaskList& tasks) {
    const std::vector<double> z = normalize ? common::zscore(y) : std::vector<double>{};
    const Series working = normalize ? Series(z) : y;
    RunShared shared(working, normalize);
    shared.hctsa().prepare();
    return shared_values(working, normalize, tasks, shared);
}

FeatureSet hctsa_all(Series y, bool normalize) { return run_set(y, normalize, hctsa_tasks(), hctsa_prepared_values); }

}  // namespace quorlex::parallel
