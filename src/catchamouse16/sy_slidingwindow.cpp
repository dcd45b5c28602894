#include "catchamouse16/sy_slidingwindow.hpp"

#include <cmath>
#include <vector>

#include "helpers/failure.hpp"
#include "helpers/finite.hpp"
#include "helpers/moments.hpp"

namespace quorlex::catchamouse16 {

namespace {

enum class WindowStat { std_dev, mean };

}  // namespace

double sy_slidingwindow(Series y, std::string_view window_stat, std::string_view across_win_stat,
                        std::uint64_t num_seg, std::uint64_t inc_move, bool normalize) {
    if (common::has_nan(y)) return common::nan;
    const common::Prepared x(y, normalize);
    if (num_seg == 0 || inc_move == 0) fail("attempt to divide by zero");

    WindowStat stat;
    if (window_stat == "std") {
        stat = WindowStat::std_dev;
    } else if (window_stat == "mean") {
        stat = WindowStat::mean;
    } else {
        return common::nan;
    }

    const std::uint64_t n = x.size();
    const std::uint64_t win = n / num_seg;
    const std::uint64_t inc = inc_move <= win ? win / inc_move : 1;
    const std::uint64_t steps = (n - win) / inc + 1;

    std::vector<double> stats(steps);
    for (std::uint64_t i = 0; i < steps; ++i) {
        const Series window = x.view().subspan(i * inc, win);
        // An empty window (num_seg > n) gives 0/0 for the mean.
        const double s = stat == WindowStat::std_dev
                             ? common::std_dev(window)
                             : common::sum(window) / static_cast<double>(win);
        if (std::isnan(s)) return common::nan;
        stats[i] = s;
    }
    if (across_win_stat != "std") return common::nan;
    return common::std_dev(stats) / common::std_dev(x.view());
}

}  // namespace quorlex::catchamouse16
