#include "parallel/hctsa.hpp"

#include <cmath>
#include <limits>
#include <utility>

#include "hctsa/correlation/co_autocorr.hpp"
#include "hctsa/correlation/co_histogramami.hpp"
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
#include "helpers/failure.hpp"
#include "helpers/order_statistics.hpp"
#include "helpers/vectors.hpp"
#include "parallel/pool.hpp"

namespace quorlex::parallel {

namespace {

using Curve = HctsaShared::Curve;
using Method = HctsaShared::Method;
using hctsa::MinAmiStat;

struct CurveSetting {
    const char* prefix;  // result-name prefix up to the statistic
    bool diff;           // on the first differences
    std::size_t max_lag;
    const char* estimator;
};

constexpr std::array<CurveSetting, 4> curve_settings = {{
    {"IN_AutoMutualInfoStats_40_gaussian_", false, 40, "gaussian"},
    {"IN_AutoMutualInfoStats_40_kraskov1_", false, 40, "kraskov1"},
    {"IN_AutoMutualInfoStats_diff_20_gaussian_", true, 20, "gaussian"},
    {"IN_AutoMutualInfoStats_diff_20_kraskov1_", true, 20, "kraskov1"},
}};

constexpr std::array<const char*, 4> min_ami_methods = {"std1", "quantiles", "even", "std2"};

// Bin counts 2 .. 80 of the first-minimum comparison.
std::vector<std::size_t> min_ami_bins() {
    std::vector<std::size_t> bins;
    for (std::size_t b = 2; b <= 80; ++b) bins.push_back(b);
    return bins;
}

const CurveSetting& setting(Curve c) { return curve_settings[static_cast<std::size_t>(c)]; }

// The series a curve is computed on: y itself, or its first differences.
std::vector<double> curve_input(Series y, Curve c) {
    return setting(c).diff ? common::diff(y) : std::vector<double>(y.begin(), y.end());
}

// A task computing f(series); the run's flag and shared intermediates are not
// used: the members see the series the run prepared.
template <class F>
FeatureTask task(std::string name, F f) {
    return {std::move(name), [f = std::move(f)](Series y, bool, auto&...) { return f(y); }};
}

}  // namespace

void HctsaShared::bind(Series y) {
    const std::lock_guard lock(bind_mutex_);
    if (!bound_) {
        data_ = y.data();
        size_ = y.size();
        bound_ = true;
    } else if (data_ != y.data() || size_ != y.size()) {
        fail("hctsa shared intermediates asked for a series other than the one they belong to");
    }
}

template <class T, class Make>
const T& HctsaShared::get(Series y, Slot<T>& slot, Make make) {
    bind(y);
    const std::lock_guard lock(slot.mutex);
    if (!slot.ready) {
        slot.value = make();
        slot.ready = true;
    }
    return slot.value;
}

const std::vector<double>& HctsaShared::acf(Series y) {
    return get(y, acf_, [y] { return hctsa::co_autocorr(y); });
}

const std::vector<double>& HctsaShared::sorted(Series y) {
    return get(y, sorted_, [y] { return common::sorted_copy(y); });
}

const std::optional<std::vector<double>>& HctsaShared::curve(Series y, Curve which) {
    return get(y, curves_[static_cast<std::size_t>(which)], [y, which] {
        const std::vector<double> input = curve_input(y, which);
        return hctsa::ami_curve(input, setting(which).max_lag, setting(which).estimator);
    });
}

const hctsa::MinAmiRecord& HctsaShared::min_ami(Series y, Method which) {
    return get(y, min_ami_[static_cast<std::size_t>(which)], [y, which] {
        const auto bins = min_ami_bins();
        return hctsa::co_compareminami(y, min_ami_methods[static_cast<std::size_t>(which)], bins);
    });
}

namespace {

constexpr std::array<const char*, 4> histogram_ami_methods = {"std1", "std2", "even", "quantiles"};
constexpr std::array<std::size_t, 3> histogram_ami_bins = {2, 5, 10};
static_assert(histogram_ami_methods.size() * histogram_ami_bins.size() == 12, "one shared slot per method and bin count");

}  // namespace

const HctsaShared::HistogramAmiLags& HctsaShared::histogram_ami(Series y, std::size_t method, std::size_t bins) {
    const std::size_t slot = method * histogram_ami_bins.size() + bins;
    return get(y, histogram_ami_[slot], [this, y, method, bins] {
        HistogramAmiLags values;
        hctsa::co_histogramami_lags(y, sorted(y), histogram_ami_methods[method], histogram_ami_bins[bins], values);
        return values;
    });
}

namespace {

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

void HctsaShared::prepare(Series y) {
    bind(y);
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
        entries[c].resize(hctsa::ami_curve_length(inputs[c].size(), curve_settings[c].max_lag));
        kraskov[c] = hctsa::kraskov_inputs(inputs[c], curve_settings[c].estimator);
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
                hctsa::ami_at_lag(inputs[job.a], job.b + 1, curve_settings[job.a].estimator, kraskov[job.a]);
        } else {
            first_minima[job.a][job.b] = hctsa::first_ami_minimum(y, sorted, min_ami_methods[job.a], bins[job.b]);
        }
    });

    const auto store = [](auto& slot, auto value) {
        const std::lock_guard lock(slot.mutex);
        slot.value = std::move(value);
        slot.ready = true;
    };
    store(acf_, std::move(acf_value));
    store(sorted_, same_as_sorted_copy(sorted) ? sorted.values : common::sorted_copy(y));
    for (std::size_t c = 0; c < n_curves; ++c) {
        store(curves_[c], valid[c] ? std::optional<std::vector<double>>(std::move(entries[c])) : std::nullopt);
    }
    for (std::size_t m = 0; m < n_methods; ++m) store(min_ami_[m], hctsa::min_ami_record(first_minima[m]));
}

namespace {

void add_distribution(TaskList& t, const std::shared_ptr<HctsaShared>& shared) {
    const std::pair<const char*, const char*> means[] = {
        {"mean", "arithmetic"}, {"harmonic_mean", "harmonic"}, {"median", "median"},
        {"midhinge", "midhinge"}, {"rms", "rms"}};
    for (const auto& [name, type] : means) {
        const std::string_view kind = type;
        // dn_mean "median" and "midhinge" read the run's sorted copy of y.
        if (kind == "median") {
            t.push_back(task(name, [shared](Series y) { return common::median(y, shared->sorted(y)); }));
        } else if (kind == "midhinge") {
            t.push_back(task(name, [shared](Series y) { return common::midhinge(y, shared->sorted(y)); }));
        } else {
            t.push_back(task(name, [type = type](Series y) { return hctsa::dn_mean(y, type); }));
        }
    }
    for (int p : {1, 5, 10, 25, 50}) {
        t.push_back(task("trimmed_mean_" + std::to_string(p), [shared, p](Series y) {
            return hctsa::dn_trimmedmean_sorted(y, shared->sorted(y), static_cast<double>(p));
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
    t.push_back(task("interquartile_range", [shared](Series y) { return common::iqr(y, shared->sorted(y)); }));
    t.push_back(task("median_absolute_deviation", [shared](Series y) {
        return common::mad_about(y, common::median(y, shared->sorted(y)), common::Deviation::median);
    }));
    for (int k = 3; k <= 11; ++k) {
        t.push_back(task("DN_Moments_" + std::to_string(k), [k](Series y) { return hctsa::dn_moments(y, k); }));
    }
    t.push_back(task("skewness_pearson", [shared](Series y) { return hctsa::skewness_pearson(y, shared->sorted(y)); }));
    t.push_back(task("skewness_bowley", [shared](Series y) { return hctsa::skewness_bowley(y, shared->sorted(y)); }));
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
                t.push_back(task(prefix + suffix,
                                 [shared, p = p](Series y) { return hctsa::dn_withinp_median(y, shared->sorted(y), p); }));
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
        t.push_back(task("quantile_" + std::to_string(q), [shared, q](Series y) {
            return common::quantile(y, shared->sorted(y), static_cast<double>(q) / 100.0);
        }));
    }
    const std::pair<const char*, hctsa::ValueClass> classes[] = {{"zeros", hctsa::ValueClass::zeros},
                                                                 {"positive", hctsa::ValueClass::positive},
                                                                 {"geq0", hctsa::ValueClass::geq0}};
    for (const auto& [suffix, kind] : classes) {
        t.push_back(task(std::string("DN_ProportionValues_") + suffix,
                         [kind = kind](Series y) { return hctsa::dn_proportionvalues(y, kind); }));
    }
    t.push_back(task("propUnique", [shared](Series y) { return hctsa::prop_unique(y, shared->sorted(y)); }));
    t.push_back(task("coeff_var_1", hctsa::coeff_var_1));
    t.push_back(task("coeff_var_2", hctsa::coeff_var_2));
    t.push_back(task("HighLowMu", hctsa::high_low_mu));
    for (int p : {2, 5, 10}) {
        for (const char* s : {"mean", "std"}) {
            t.push_back(task("DN_Outliertest_" + std::to_string(p) + "_" + s, [shared, p, s](Series y) {
                return hctsa::dn_outliertest_sorted(y, shared->sorted(y), static_cast<double>(p), s);
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

void add_correlation(TaskList& t, const std::shared_ptr<HctsaShared>& shared) {
    for (std::size_t k = 1; k <= 52; ++k) {
        if (k == 13 || (k > 40 && k < 52)) continue;
        t.push_back(task("AC_" + std::to_string(k),
                         [shared, k](Series y) { return hctsa::autocorr_entry(shared->acf(y), k); }));
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
    constexpr double one_over_e = 0.36787944117144233;
    const std::pair<const char*, double> crossings[] = {{"firstZero_acf_", 0.0}, {"firstCrossing_1e_acf_", one_over_e}};
    for (const auto& [prefix, th] : crossings) {
        t.push_back(task(std::string(prefix) + "tau", [shared, th = th](Series y) {
            return static_cast<double>(hctsa::bf_point_of_crossing(shared->acf(y), th).index);
        }));
        t.push_back(task(std::string(prefix) + "point", [shared, th = th](Series y) {
            return hctsa::bf_point_of_crossing(shared->acf(y), th).point;
        }));
    }
    // The five lags of one method and bin count share their edges and bins.
    for (std::size_t m = 0; m < histogram_ami_methods.size(); ++m) {
        for (std::size_t b = 0; b < histogram_ami_bins.size(); ++b) {
            for (std::size_t lag = 1; lag <= HctsaShared::histogram_ami_lags; ++lag) {
                t.push_back(task(std::string("CO_HistogramAMI_") + histogram_ami_methods[m] + "_" +
                                     std::to_string(histogram_ami_bins[b]) + "bin_ami" + std::to_string(lag),
                                 [shared, m, b, lag](Series y) { return shared->histogram_ami(y, m, b)[lag - 1]; }));
            }
        }
    }
    for (std::size_t c = 0; c < curve_settings.size(); ++c) {
        const CurveSetting& s = curve_settings[c];
        std::vector<std::string> stats;
        for (std::size_t k = 1; k <= s.max_lag; ++k) stats.push_back("ami" + std::to_string(k));
        for (const char* name : {"mami", "stdami", "pextrema", "fmmi", "pmaxima", "modeperiodmax", "pmodeperiodmax",
                                 "pminima", "modeperiodmin", "pmodeperiodmin", "pcrossmean", "pcrossmedian",
                                 "pcrossq10", "pcrossq90", "amiac1"}) {
            stats.emplace_back(name);
        }
        for (const std::string& stat : stats) {
            t.push_back(task(s.prefix + stat, [shared, c, stat, max_lag = s.max_lag](Series y) {
                return hctsa::ami_statistic(shared->curve(y, static_cast<Curve>(c)), max_lag, stat);
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
            t.push_back(task(std::string("CO_CompareMinAmi_") + min_ami_methods[m] + "_2_80_" + suffix,
                             [shared, m, stat = stat](Series y) {
                                 return hctsa::min_ami_entry(shared->min_ami(y, static_cast<Method>(m)), stat);
                             }));
        }
    }
}

}  // namespace

TaskList hctsa_tasks(std::shared_ptr<HctsaShared> shared) {
    if (!shared) shared = std::make_shared<HctsaShared>();
    TaskList t;
    t.reserve(512);
    add_distribution(t, shared);
    add_correlation(t, shared);
    return t;
}

std::vector<std::string> hctsa_names() {
    std::vector<std::string> names;
    for (auto& task : hctsa_tasks()) names.push_back(std::move(task.name));
    return names;
}

FeatureSet run_normalising_with_hctsa(Series y, bool normalize, bool with_hctsa,
                                      const std::function<TaskList(std::shared_ptr<HctsaShared>)>& make_tasks) {
    const std::vector<double> z = normalize ? common::zscore(y) : std::vector<double>{};
    const Series working = normalize ? Series(z) : y;
    std::shared_ptr<HctsaShared> shared;
    if (with_hctsa) {
        shared = std::make_shared<HctsaShared>();
        shared->prepare(working);
    }
    return run_set(working, normalize, make_tasks(std::move(shared)), plain_values);
}

FeatureSet hctsa_all(Series y, bool normalize) {
    return run_normalising_with_hctsa(y, normalize, true, [](auto shared) { return hctsa_tasks(std::move(shared)); });
}

}  // namespace quorlex::parallel
