// The batch plan: option checks, and runs that stop early when asked. Set
// widths and names, feature lists and the bits of every set on any number of
// strands are checked through quorlex_batch, against the per-series runs.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "batch/plan.hpp"
#include "parallel/pool.hpp"
#include "test_support.hpp"

namespace batch = quorlex::batch;
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

void expect_bad_request(const std::function<void()>& build, const std::string& message) {
    try {
        build();
        ADD_FAILURE() << "expected BadRequest: " << message;
    } catch (const batch::BadRequest& bad) {
        EXPECT_EQ(std::string(bad.what()), message);
    }
}

}  // namespace

TEST(batch_test, bad_requests_name_what_is_wrong) {
    expect_bad_request([] { batch::Plan::for_set("catch23", {}); },
                       "unknown feature set 'catch23' (known sets: 'catch22', 'catch24', 'catchamouse16', "
                       "'tsfeatures', 'hctsa', 'combined', 'catch22-v1', 'catch24-v1')");
    batch::Options lags;
    lags.lags = 3;
    expect_bad_request([&] { batch::Plan::for_set("catch22", lags); }, "feature set 'catch22' takes no option 'lags'");
    expect_bad_request([] { batch::Plan::for_features({"entropy", "CO_f1ecac_f"}); }, "unknown feature 'CO_f1ecac_f'");
}

TEST(batch_test, a_stop_skips_the_series_not_started) {
    const Flat f = flat(3000);  // far more than 20 ms of work before the first poll
    const auto plan = batch::Plan::for_set("catch24", {});
    std::vector<double> out(3000 * plan.width());
    for (const std::size_t strands : {std::size_t{0}, std::size_t{1}}) {
        std::atomic<std::size_t> done{0};
        EXPECT_THROW(parallel::run_interruptible(
                         [&] { batch::run(plan, f.values, f.offsets, out.data(), strands, done); }, [] { return true; }),
                     parallel::Interrupted);
        EXPECT_LT(done.load(), 3000u);
    }
}

TEST(batch_test, overlapping_windows_read_in_place_give_the_rows_of_their_copies) {
    const auto y = noise(400, 7u);
    const auto plan = batch::Plan::for_set("catch24", {});
    std::vector<std::int64_t> bounds;
    Flat copies;
    for (std::int64_t end = 400; end >= 30; end -= 17) {
        const std::int64_t start = std::max<std::int64_t>(end - 120, 0);
        bounds.insert(bounds.end(), {start, end});
        copies.values.insert(copies.values.end(), y.begin() + start, y.begin() + end);
        copies.offsets.push_back(static_cast<std::int64_t>(copies.values.size()));
    }
    const std::size_t n = bounds.size() / 2;
    std::vector<double> in_place(n * plan.width()), copied(n * plan.width());
    for (const std::size_t strands : {std::size_t{0}, std::size_t{1}, std::size_t{2}}) {
        std::atomic<std::size_t> done{0};
        batch::run_windows(plan, y, bounds, in_place.data(), strands, done);
        EXPECT_EQ(done.load(), n);
        batch::run(plan, copies.values, copies.offsets, copied.data(), 1, done);
        EXPECT_EQ(0, std::memcmp(in_place.data(), copied.data(), in_place.size() * sizeof(double)));
    }
}
