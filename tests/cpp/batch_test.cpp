// The batch plan: set rows and their names, feature lists, option checks, and
// runs that reproduce the per-series set runs on any number of strands and
// stop early when asked.
#include <atomic>
#include <cstring>

#include "parallel/batch.hpp"
#include "parallel/catch22.hpp"
#include "parallel/pool.hpp"
#include "parallel/tsfeatures.hpp"
#include "test_support.hpp"

namespace batch = quorlex::parallel::batch;
namespace parallel = quorlex::parallel;

namespace {

// Series of lengths 5 to 200 laid out back to back, with their offsets.
struct Flat {
    std::vector<double> values;
    std::vector<std::int64_t> offsets{0};
};

Flat flat(std::size_t count) {
    Flat f;
    for (std::size_t i = 0; i < count; ++i) {
        const auto y = noise(5 + (i * 37) % 196, static_cast<unsigned>(i));
        f.values.insert(f.values.end(), y.begin(), y.end());
        f.offsets.push_back(static_cast<std::int64_t>(f.values.size()));
    }
    return f;
}

std::vector<double> run(const batch::Plan& plan, const Flat& f, std::size_t max_threads) {
    std::vector<double> out((f.offsets.size() - 1) * plan.width());
    std::atomic<std::size_t> done{0};
    batch::run(plan, f.values, f.offsets, out.data(), max_threads, done);
    EXPECT_EQ(done.load(), f.offsets.size() - 1);
    return out;
}

void expect_bad_request(const std::function<void()>& build, const std::string& message) {
    try {
        build();
        ADD_FAILURE() << "expected BadRequest: " << message;
    } catch (const batch::BadRequest& bad) {
        EXPECT_EQ(std::string(bad.what()), message);
    }
}

}  // namespace

TEST(batch_test, set_widths_and_leading_names) {
    const std::pair<const char*, std::size_t> widths[] = {
        {"catch22", 22}, {"catch24", 24}, {"catchamouse16", 19}, {"tsfeatures", 14}, {"hctsa", 512}, {"combined", 52},
    };
    for (const auto& [name, width] : widths) EXPECT_EQ(batch::Plan::for_set(name, {}).width(), width) << name;
    const auto names = batch::Plan::for_set("catch24", {}).names();
    EXPECT_EQ(names.front(), "DN_HistogramMode_5");
    EXPECT_EQ(names[2], "CO_f1ecac");
    EXPECT_EQ(names[22], "DN_Mean");
    batch::Options seasonal;
    seasonal.freq = std::optional<std::uint64_t>(4);
    EXPECT_EQ(batch::Plan::for_set("tsfeatures", seasonal).width(), 15u);
    batch::Options with_hctsa;
    with_hctsa.hctsa = true;
    with_hctsa.catch24 = true;
    EXPECT_EQ(batch::Plan::for_set("combined", with_hctsa).width(), 512u + 21 + 19 + 13);
}

TEST(batch_test, bad_requests_name_what_is_wrong) {
    expect_bad_request([] { batch::Plan::for_set("catch23", {}); },
                       "unknown feature set 'catch23' (known sets: 'catch22', 'catch24', 'catchamouse16', "
                       "'tsfeatures', 'hctsa', 'combined')");
    batch::Options lags;
    lags.lags = 3;
    expect_bad_request([&] { batch::Plan::for_set("catch22", lags); }, "feature set 'catch22' takes no option 'lags'");
    expect_bad_request([] { batch::Plan::for_features({"entropy", "CO_f1ecac_f"}); }, "unknown feature 'CO_f1ecac_f'");
}

TEST(batch_test, runs_reproduce_the_set_runs_on_any_strand_count) {
    const Flat f = flat(60);
    const auto plan = batch::Plan::for_set("tsfeatures", {});
    const auto all = run(plan, f, 0);
    const auto one = run(plan, f, 1);
    EXPECT_EQ(std::memcmp(one.data(), all.data(), all.size() * sizeof(double)), 0);
    const auto width = plan.width();
    for (std::size_t i = 0; i + 1 < f.offsets.size(); ++i) {
        const quorlex::Series y(f.values.data() + f.offsets[i], static_cast<std::size_t>(f.offsets[i + 1] - f.offsets[i]));
        const auto expected = parallel::tsfeatures_all(y, false, 1, 12, true).values;
        const std::vector<double> row(all.begin() + static_cast<std::ptrdiff_t>(i * width),
                                      all.begin() + static_cast<std::ptrdiff_t>((i + 1) * width));
        EXPECT_EQ(std::memcmp(row.data(), expected.data(), width * sizeof(double)), 0) << "series " << i;
    }
}

TEST(batch_test, feature_lists_take_their_columns_from_the_sets) {
    const Flat f = flat(20);
    const auto set = run(batch::Plan::for_set("catch24", {}), f, 0);
    const auto picked = batch::Plan::for_features({"DN_Spread_Std", "CO_f1ecac", "DN_HistogramMode_10"});
    const auto out = run(picked, f, 2);
    for (std::size_t i = 0; i + 1 < f.offsets.size(); ++i) {
        const std::size_t columns[] = {23, 2, 1};
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(std::memcmp(&out[i * 3 + k], &set[i * 24 + columns[k]], sizeof(double)), 0);
        }
    }
}

TEST(batch_test, a_stop_skips_the_series_not_started) {
    const Flat f = flat(3000);  // far more than 20 ms of work before the first poll
    const auto plan = batch::Plan::for_set("catch24", {});
    for (const std::size_t strands : {std::size_t{0}, std::size_t{1}}) {
        std::vector<double> out((f.offsets.size() - 1) * plan.width());
        std::atomic<std::size_t> done{0};
        bool interrupted = false;
        try {
            parallel::run_interruptible(
                [&] { batch::run(plan, f.values, f.offsets, out.data(), strands, done); }, [] { return true; });
        } catch (const parallel::Interrupted&) {
            interrupted = true;
        }
        EXPECT_TRUE(interrupted);
        EXPECT_LT(done.load(), f.offsets.size() - 1);
    }
}
