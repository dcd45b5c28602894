// Intermediate results that several features of one set run derive from the
// run's series. Each is computed once, by whichever feature asks first, and
// then shared read-only; a run owns one memo, so nothing outlives the run.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <vector>

namespace quorlex::common {

class RunMemo {
public:
    enum class Item : std::size_t {
        zscore,               // z-score of the run's series
        prepared_autocorrs,   // co_autocorrs of the series as the features prepare it
        pacf_features,        // x, diff1x, diff2x and seasonal pacf (NaN when absent)
        count
    };

    // `make` must not start parallel work: a thread waiting here runs nothing
    // else. If `make` fails, the failure propagates and a later call retries.
    template <class Make>
    const std::vector<double>& get(Item item, Make make) {
        Entry& e = entries_[static_cast<std::size_t>(item)];
        const std::lock_guard lock(e.mutex);
        if (!e.ready) {
            e.value = make();
            e.ready = true;
        }
        return e.value;
    }

private:
    struct Entry {
        std::mutex mutex;
        bool ready = false;
        std::vector<double> value;
    };
    std::array<Entry, static_cast<std::size_t>(Item::count)> entries_;
};

}  // namespace quorlex::common
