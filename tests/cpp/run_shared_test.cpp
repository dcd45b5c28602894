// What the tasks of a run share: a value made once however many threads ask
// for it, a failed make tried again, a value prepared ahead never replacing
// one already read, and one set of hctsa intermediates per run.
#include <atomic>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "helpers/order_statistics.hpp"
#include "parallel/hctsa_shared.hpp"
#include "parallel/once.hpp"
#include "parallel/pool.hpp"
#include "parallel/run_shared.hpp"
#include "test_support.hpp"

namespace parallel = quorlex::parallel;

TEST(run_shared_test, once_makes_its_value_once_for_every_thread) {
    parallel::Once<std::vector<double>> once;
    std::atomic<int> makes{0};
    std::atomic<bool> go{false};
    std::vector<const std::vector<double>*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            seen[t] = &once.get([&] {
                ++makes;
                return std::vector<double>{1.0, 2.0};
            });
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(makes.load(), 1);
    for (const auto* value : seen) EXPECT_EQ(value, seen[0]);
    EXPECT_EQ(*seen[0], (std::vector<double>{1.0, 2.0}));
}

TEST(run_shared_test, a_failed_make_is_tried_again_and_put_never_replaces) {
    parallel::Once<double> once;
    EXPECT_THROW(once.get([]() -> double { throw std::runtime_error("no"); }), std::runtime_error);
    EXPECT_EQ(once.get([] { return 1.0; }), 1.0);
    once.put(2.0);
    EXPECT_EQ(once.get([] { return 3.0; }), 1.0);

    parallel::Once<double> prepared;
    prepared.put(2.0);
    EXPECT_EQ(prepared.get([] { return 3.0; }), 2.0);
}

TEST(run_shared_test, one_set_of_hctsa_intermediates_per_run) {
    const auto y = noise(40, 1u);
    parallel::RunShared run(y, false);
    std::vector<const parallel::HctsaShared*> seen(64, nullptr);
    parallel::for_each_index(seen.size(), [&](std::size_t i) { seen[i] = &run.hctsa(); });
    EXPECT_EQ(std::set<const parallel::HctsaShared*>(seen.begin(), seen.end()).size(), 1u);
    // Bound to the run's series.
    expect_same(run.hctsa().sorted(), quorlex::common::sorted_copy(y));
}
