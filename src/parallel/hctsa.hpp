// The hctsa set run: 512 named features of one series, and the intermediates
// its members share.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hctsa/correlation/co_compareminami.hpp"
#include "parallel/common.hpp"

namespace quorlex::parallel {

// What several members of one hctsa run derive from the run's series: its
// sorted copy, the autocorrelation function, the four automutual-information curves and the
// four first-minimum records. Each is computed once (by prepare(), or else by
// the first member that asks) and then read by every member, which gives the
// values each member would compute for itself: the same routines on the same
// series. One object serves one series; asking with another is an internal
// failure.
class HctsaShared {
public:
    enum class Curve : std::size_t { gaussian_40, kraskov_40, diff_gaussian_20, diff_kraskov_20, count };
    enum class Method : std::size_t { std1, quantiles, even, std2, count };

    // Computes every item for y, spread over the worker pool.
    void prepare(Series y);

    const std::vector<double>& acf(Series y);
    // The series sorted ascending.
    const std::vector<double>& sorted(Series y);
    const std::optional<std::vector<double>>& curve(Series y, Curve which);
    const hctsa::MinAmiRecord& min_ami(Series y, Method which);
    // co_histogramami(y, sorted(y), method, bins, lag) for lags 1 .. 5, the
    // methods std1, std2, even, quantiles (0 .. 3) and bin counts 2, 5, 10
    // (0 .. 2).
    static constexpr std::size_t histogram_ami_lags = 5;
    using HistogramAmiLags = std::array<double, histogram_ami_lags>;
    const HistogramAmiLags& histogram_ami(Series y, std::size_t method, std::size_t bins);

private:
    template <class T>
    struct Slot {
        std::mutex mutex;
        bool ready = false;
        T value{};
    };
    template <class T, class Make>
    const T& get(Series y, Slot<T>& slot, Make make);
    void bind(Series y);

    std::mutex bind_mutex_;
    const double* data_ = nullptr;
    std::size_t size_ = 0;
    bool bound_ = false;

    Slot<std::vector<double>> acf_;
    Slot<std::vector<double>> sorted_;
    std::array<Slot<std::optional<std::vector<double>>>, static_cast<std::size_t>(Curve::count)> curves_;
    std::array<Slot<hctsa::MinAmiRecord>, static_cast<std::size_t>(Method::count)> min_ami_;
    std::array<Slot<HistogramAmiLags>, 12> histogram_ami_;
};

// The 512 tasks in result order, reading `shared` (one series per object; a
// fresh object when none is given).
TaskList hctsa_tasks(std::shared_ptr<HctsaShared> shared = nullptr);

// The 512 result names in order.
std::vector<std::string> hctsa_names();

// The normalising executor for a task list that may hold hctsa members: the
// working series is the z-score of y when normalize is set, and with
// `with_hctsa` the intermediates are prepared for it before the tasks run.
FeatureSet run_normalising_with_hctsa(Series y, bool normalize, bool with_hctsa,
                                      const std::function<TaskList(std::shared_ptr<HctsaShared>)>& make_tasks);

// The hctsa set run: with normalize set every member sees the z-score of y.
FeatureSet hctsa_all(Series y, bool normalize);

}  // namespace quorlex::parallel
