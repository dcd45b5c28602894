#include "parallel/batch.hpp"

#include <map>
#include <utility>

#include "parallel/catchamouse16.hpp"
#include "parallel/pool.hpp"
#include "parallel/tsfeatures.hpp"

namespace quorlex::parallel::batch {

namespace {

enum Option : unsigned {
    normalize = 1u << 0,
    catch24 = 1u << 1,
    catchamouse16 = 1u << 2,
    hctsa = 1u << 3,
    freq = 1u << 4,
    lags = 1u << 5,
    demean = 1u << 6,
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

// Defaults are those of the per-series functions: tsfeatures_all_f takes
// freq 1, lags 12, demean true and normalize false; catchaMouse16 runs as in
// combined_all_f, on the normalising executor with normalize true.
const SetRow set_table[] = {
    {"catchamouse16", normalize,
     [](const Options& o) { return Segments{{catchamouse16_tasks(), true, o.normalize.value_or(true)}}; }},
    {"tsfeatures", normalize | freq | lags | demean,
     [](const Options& o) {
         return Segments{{tsfeatures_tasks(freq_or(o, 1), o.lags.value_or(12), o.demean.value_or(true)), true,
                          o.normalize.value_or(false)}};
     }},
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
    };
    for (const auto& [set, option] : given) {
        if (set && (row.options & option.first) == 0) {
            throw BadRequest(std::string("feature set '") + row.name + "' takes no option '" + option.second + "'");
        }
    }
}

}  // namespace

void Plan::add(Segment segment) {
    width_ += segment.tasks.size();
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
    // Where each known name is first found: source plan and segment.
    std::vector<Plan> sources;
    for (const std::string& source : feature_sources()) sources.push_back(for_set(source, {}));
    struct Place {
        const Segment* segment;
        const FeatureTask* task;
    };
    std::map<std::string, Place, std::less<>> places;
    for (const Plan& source : sources) {
        for (const Segment& segment : source.segments_) {
            for (const FeatureTask& task : segment.tasks) places.try_emplace(task.name, Place{&segment, &task});
        }
    }
    Plan plan;
    const Segment* current = nullptr;
    Segment building;
    for (const std::string& name : names) {
        const auto found = places.find(name);
        if (found == places.end()) throw BadRequest("unknown feature '" + name + "'");
        const Place& place = found->second;
        // Consecutive names of one source segment share its z-score and memo,
        // as they do in the set run.
        if (place.segment != current) {
            if (current != nullptr) plan.add(std::move(building));
            building = Segment{{}, place.segment->zscore_first, place.segment->normalize};
            current = place.segment;
        }
        building.tasks.push_back(*place.task);
    }
    if (current != nullptr) plan.add(std::move(building));
    return plan;
}

std::vector<std::string> Plan::names() const {
    std::vector<std::string> out;
    out.reserve(width_);
    for (const Segment& segment : segments_) {
        for (const FeatureTask& task : segment.tasks) out.push_back(task.name);
    }
    return out;
}

void Plan::run_one(Series y, double* out) const {
    for (const Segment& segment : segments_) {
        std::vector<double> z;
        Series series = y;
        if (segment.zscore_first && segment.normalize) {
            z = common::zscore(y);
            series = z;
        }
        common::RunMemo memo;
        for (const FeatureTask& task : segment.tasks) *out++ = task.compute(series, segment.normalize, memo);
    }
}

std::vector<std::string> set_names() {
    std::vector<std::string> out;
    for (const SetRow& row : set_table) out.emplace_back(row.name);
    return out;
}

std::vector<std::string> feature_sources() { return {"catchamouse16", "tsfeatures"}; }

void run(const Plan& plan, Series values, std::span<const std::int64_t> offsets, double* out,
         std::size_t max_threads, std::atomic<std::size_t>& done) {
    const std::size_t n = offsets.size() - 1;
    const std::size_t width = plan.width();
    const auto one = [&](std::size_t i) {
        const auto begin = static_cast<std::size_t>(offsets[i]);
        const auto end = static_cast<std::size_t>(offsets[i + 1]);
        plan.run_one(values.subspan(begin, end - begin), out + i * width);
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

}  // namespace quorlex::parallel::batch
