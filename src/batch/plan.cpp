#include "batch/plan.hpp"

#include <cmath>
#include <map>
#include <optional>
#include <utility>

#include "catch22/dn_spread_std.hpp"
#include "hctsa/distribution/dn_histogrammode.hpp"
#include "hctsa/distribution/dn_mean.hpp"
#include "parallel/catch22.hpp"
#include "parallel/catch22_v1.hpp"
#include "parallel/catchamouse16.hpp"
#include "parallel/combined.hpp"
#include "parallel/hctsa.hpp"
#include "parallel/pool.hpp"
#include "parallel/tsfeatures.hpp"

namespace quorlex::batch {

using namespace parallel;

namespace {

enum Option : unsigned {
    normalize = 1u << 0,
    catch24 = 1u << 1,
    catchamouse16 = 1u << 2,
    hctsa = 1u << 3,
    freq = 1u << 4,
    lags = 1u << 5,
    demean = 1u << 6,
    mask = 1u << 7,
    short_names = 1u << 8,
};

using Segments = std::vector<Segment>;

struct SetRow {
    const char* name;
    unsigned options;  // the Option bits the set takes
    Segments (*build)(const Options& o);
};

std::optional<std::uint64_t> freq_or(const Options& o, std::optional<std::uint64_t> fallback) {
    return o.freq ? *o.freq : fallback;
}

// DN_Mean and DN_Spread_Std of the raw series, from the moments of its
// z-score when a normalising run took one: the mean is the same sum / n; the
// spread's squared deviations from it are the same terms in the same order
// (its -0.0 start gives the same sum, as the first term is +0 or more), and it
// is NaN where a NaN mean or fewer than two values make the feature NaN.
double series_mean(Series y, bool, RunShared& shared) {
    return shared.moments ? shared.moments->mean : hctsa::dn_mean_arithmetic(y);
}

double series_spread(Series y, bool, RunShared& shared) {
    if (!shared.moments) return catch22::dn_spread_std(y);
    if (std::isnan(shared.moments->mean) || y.size() < 2) return common::nan;
    return shared.moments->std_dev;
}

// The published sets "catch22" and "catch24" (pycatch22's names and order):
// the two histogram modes on the z-scored series, as the hctsa run computes
// them; the catch22 run's 20 features, each z-scoring for itself; "catch24"
// adds the mean and the sample standard deviation of the raw series.
Segments published_catch22_segments(const Options& o, bool with_mean_and_spread) {
    const bool z = o.normalize.value_or(true);
    Segments out{
        {{{"DN_HistogramMode_5", routine<&hctsa::dn_histogrammode_5>},
          {"DN_HistogramMode_10", routine<&hctsa::dn_histogrammode_10>}},
         true, z, {}},
        {catch22_tasks(false), false, z, {}},
    };
    if (with_mean_and_spread) {
        out.push_back({{{"DN_Mean", series_mean}, {"DN_Spread_Std", series_spread}}, false, false, {}});
    }
    return out;
}

// catch22 v1 (pycatch22 1.0): one run whose catch22 intermediates z-score
// the raw series, masked unless the options say otherwise.
Segments catch22_v1_segments(const Options& o, bool with_mean_and_std) {
    Segment segment{catch22_v1_tasks(with_mean_and_std, o.short_names.value_or(false)), false, true, {}};
    segment.mask = o.mask.value_or(true);
    return {segment};
}

Segments combined_segments(const Options& o) {
    const CombinedOptions c{o.catch24.value_or(false), o.catchamouse16.value_or(true), o.hctsa.value_or(false),
                            freq_or(o, std::nullopt), o.lags.value_or(12), o.demean.value_or(true)};
    return {{combined_tasks(c), true, o.normalize.value_or(true), {}}};
}

// Defaults are those of the per-series functions: tsfeatures_all_f takes
// freq 1, lags 12, demean true and normalize false; combined_all_f normalize
// true, catchamouse16 true, freq absent. catchaMouse16 runs as in
// combined_all_f, on the normalising executor with normalize true; hctsa as
// compute_hctsa_parallel_f(y, True) unless normalize says otherwise.
const SetRow set_table[] = {
    {"catch22", normalize, [](const Options& o) { return published_catch22_segments(o, false); }},
    {"catch24", normalize, [](const Options& o) { return published_catch22_segments(o, true); }},
    {"catchamouse16", normalize,
     [](const Options& o) { return Segments{{catchamouse16_tasks(), true, o.normalize.value_or(true), {}}}; }},
    {"tsfeatures", normalize | freq | lags | demean,
     [](const Options& o) {
         return Segments{{tsfeatures_tasks(freq_or(o, 1), o.lags.value_or(12), o.demean.value_or(true)), true,
                          o.normalize.value_or(false), {}}};
     }},
    {"hctsa", normalize,
     [](const Options& o) { return Segments{{hctsa_tasks(), true, o.normalize.value_or(true), {}}}; }},
    {"combined", normalize | catch24 | catchamouse16 | hctsa | freq | lags | demean, combined_segments},
    {"catch22-v1", mask | short_names, [](const Options& o) { return catch22_v1_segments(o, false); }},
    {"catch24-v1", mask | short_names, [](const Options& o) { return catch22_v1_segments(o, true); }},
};

const SetRow& find_set(const std::string& name) {
    for (const SetRow& row : set_table) {
        if (name == row.name) return row;
    }
    std::string known;
    for (const SetRow& row : set_table) known += std::string(known.empty() ? "" : ", ") + "'" + row.name + "'";
    throw BadRequest("unknown feature set '" + name + "' (known sets: " + known + ")");
}

void check_options(const SetRow& row, const Options& o) {
    const std::pair<bool, std::pair<Option, const char*>> given[] = {
        {o.normalize.has_value(), {normalize, "normalize"}},
        {o.catch24.has_value(), {catch24, "catch24"}},
        {o.catchamouse16.has_value(), {catchamouse16, "catchamouse16"}},
        {o.hctsa.has_value(), {hctsa, "hctsa"}},
        {o.freq.has_value(), {freq, "freq"}},
        {o.lags.has_value(), {lags, "lags"}},
        {o.demean.has_value(), {demean, "demean"}},
        {o.mask.has_value(), {mask, "mask"}},
        {o.short_names.has_value(), {short_names, "short_names"}},
    };
    for (const auto& [set, option] : given) {
        if (set && (row.options & option.first) == 0) {
            throw BadRequest(std::string("feature set '") + row.name + "' takes no option '" + option.second + "'");
        }
    }
}

}  // namespace

void Plan::add(Segment segment) {
    segment.names = task_names(segment.tasks);
    width_ += segment.names.size();
    segments_.push_back(std::move(segment));
}

Plan Plan::for_set(const std::string& name, const Options& options) {
    const SetRow& row = find_set(name);
    check_options(row, options);
    Plan plan;
    for (Segment& segment : row.build(options)) plan.add(std::move(segment));
    return plan;
}

Plan Plan::for_features(const std::vector<std::string>& names) {
    // Where each known name is first found: source segment and position. The
    // sources take their sets' defaults, so they are laid out once.
    struct Sources {
        std::vector<Plan> plans;
        std::map<std::string, std::pair<const Segment*, std::size_t>, std::less<>> places;
        Sources() {
            for (const std::string& source : feature_sources()) plans.push_back(for_set(source, {}));
            for (const Plan& source : plans) {
                for (const Segment& segment : source.segments_) {
                    for (std::size_t k = 0; k < segment.names.size(); ++k) {
                        places.try_emplace(segment.names[k], &segment, k);
                    }
                }
            }
        }
    };
    static const Sources sources;
    const auto& places = sources.places;
    Plan plan;
    const Segment* current = nullptr;
    Segment building;
    for (const std::string& name : names) {
        const auto found = places.find(name);
        if (found == places.end()) throw BadRequest("unknown feature '" + name + "'");
        const auto [segment, k] = found->second;
        // Consecutive names of one source segment share its z-score and run intermediates,
        // as they do in the set run.
        if (segment != current) {
            if (current != nullptr) plan.add(std::move(building));
            building = Segment{{}, segment->zscore_first, segment->normalize, {}};
            current = segment;
        }
        building.tasks.push_back(segment->tasks[k]);
    }
    if (current != nullptr) plan.add(std::move(building));
    return plan;
}

std::vector<std::string> Plan::names() const {
    std::vector<std::string> out;
    out.reserve(width_);
    for (const Segment& segment : segments_) out.insert(out.end(), segment.names.begin(), segment.names.end());
    return out;
}

void Plan::run_one(Series y, double* out, bool* masked) const {
    // One z-score of the series serves every segment that needs it: those on
    // the normalising executor and the catch22 intermediates of those that
    // z-score per feature (the published catch22 sets' histogram modes and
    // their catch22 part).
    std::optional<common::Standardized> z;
    const auto zscore = [&]() -> Series {
        if (!z) z = common::standardize(y);
        return z->z;
    };
    for (const Segment& segment : segments_) {
        const Series series = segment.zscore_first && segment.normalize ? zscore() : y;
        RunShared shared(series, segment.normalize);
        if (!segment.zscore_first && segment.normalize) shared.catch22.share_zscore(zscore());
        if (!segment.normalize && z) shared.moments = z->moments;
        for (const FeatureTask& task : segment.tasks) {
            double value = task.compute(series, segment.normalize, shared);
            bool flag = false;
            if (segment.mask && task.mask != nullptr && std::isnan(value) && !series.empty() &&
                shared.catch22.series_finite()) {
                value = task.mask(series.size());
                flag = true;
            }
            *out++ = value;
            if (masked != nullptr) *masked++ = flag;
        }
    }
}

std::vector<std::string> set_names() {
    std::vector<std::string> out;
    for (const SetRow& row : set_table) out.emplace_back(row.name);
    return out;
}

std::vector<std::string> feature_sources() { return {"catch24", "catchamouse16", "tsfeatures", "hctsa"}; }

namespace {

// Computes row i = plan on span(i) for every i < n on at most max_threads
// pool threads (0: the whole pool); row i's masked flags go to
// masked[i * width ..] when masked is given.
template <class Rows>
void run_rows(const Plan& plan, std::size_t n, Rows span, double* out, std::size_t max_threads,
              std::atomic<std::size_t>& done, bool* masked) {
    const std::size_t width = plan.width();
    const auto one = [&](std::size_t i) {
        plan.run_one(span(i), out + i * width, masked != nullptr ? masked + i * width : nullptr);
        done.fetch_add(1, std::memory_order_relaxed);
    };
    if (max_threads == 0 || max_threads >= thread_count()) return for_each_index(n, one);
    // max_threads strands share one counter of series; each row is still
    // computed by exactly one thread from the same inputs.
    std::atomic<std::size_t> next{0};
    for_each_index(max_threads, [&](std::size_t) {
        for (std::size_t i; !stop_requested() && (i = next.fetch_add(1)) < n;) one(i);
    });
}

}  // namespace

void run(const Plan& plan, Series values, std::span<const std::int64_t> offsets, double* out,
         std::size_t max_threads, std::atomic<std::size_t>& done, bool* masked) {
    const auto span = [&](std::size_t i) {
        const auto begin = static_cast<std::size_t>(offsets[i]);
        return values.subspan(begin, static_cast<std::size_t>(offsets[i + 1]) - begin);
    };
    run_rows(plan, offsets.size() - 1, span, out, max_threads, done, masked);
}

void run_windows(const Plan& plan, Series values, std::span<const std::int64_t> bounds, double* out,
                 std::size_t max_threads, std::atomic<std::size_t>& done) {
    const auto span = [&](std::size_t i) {
        const auto begin = static_cast<std::size_t>(bounds[2 * i]);
        return values.subspan(begin, static_cast<std::size_t>(bounds[2 * i + 1]) - begin);
    };
    run_rows(plan, bounds.size() / 2, span, out, max_threads, done, nullptr);
}

}  // namespace quorlex::batch
