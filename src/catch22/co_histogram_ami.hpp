// Automutual information of an even-width histogram of (y[t], y[t + tau]).
// catch22 uses 5 bins at lag 2; catchaMouse16 adds three more settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "catch22/intermediates.hpp"
#include "helpers/common.hpp"

namespace quorlex::catch22 {

// Automutual information of the joint histogram of (b[t], b[t + tau]) where b
// holds each value's bin from histbinassign against n_edges >= 2 ascending
// edges (n_edges - 1 bins), with joint codes counted as the published routine
// counts them. NaN when no pair falls in a bin. Precondition: tau < b.size().
double joint_histogram_ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau);

// joint_histogram_ami with scratch buffers kept between calls, for callers
// that evaluate many lags or bin counts in a row.
class JointHistogram {
public:
    double ami(std::span<const std::uint32_t> bins, std::uint32_t n_edges, std::size_t tau);

private:
    std::vector<std::uint32_t> counts_, rows_, cols_;
    std::vector<std::uint64_t> occupied_bits_;
    std::vector<double> p_, pi_, pj_;
};

// NaN for non-finite input or n <= tau. num_bins >= 1.
double co_histogram_ami_even(Series y, std::uint32_t num_bins, std::uint32_t tau, bool normalize,
                             Shared* shared = nullptr);

inline double co_histogram_ami_even_2_5(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 5, 2, normalize, shared);
}
inline double co_histogram_ami_even_10_1(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 10, 1, normalize, shared);
}
inline double co_histogram_ami_even_10_3(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 10, 3, normalize, shared);
}
inline double co_histogram_ami_even_2_3(Series y, bool normalize, Shared* shared = nullptr) {
    return co_histogram_ami_even(y, 2, 3, normalize, shared);
}

}  // namespace quorlex::catch22
