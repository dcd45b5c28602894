// Statistics, normalisation and small numeric routines shared by every family.
// Sums run in index order from zero, one addition per element; routines that
// sort work on a private copy and never modify their input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quorlex {

using Series = std::span<const double>;

}  // namespace quorlex

namespace quorlex::common {

// The quiet NaN every routine returns for an undefined result.
inline constexpr double nan = std::numeric_limits<double>::quiet_NaN();

bool has_nan(Series y);
bool all_finite(Series y);

// rows * cols, for a table of doubles sized from a caller's option; throws
// std::bad_alloc when the product overflows or the table would outgrow the
// machine's physical memory (the kernel would grant it and then kill the
// process while it is filled).
std::size_t table_size(std::size_t rows, std::size_t cols);

// Plain sum in index order (the building block of every mean here).
double sum(Series y);

enum class MeanType { arithmetic, harmonic, geometric, rms, iqm, midhinge };
// Unrecognised names select the arithmetic mean.
MeanType mean_type(std::string_view name);

double mean(Series y, MeanType type = MeanType::arithmetic);
double median(Series y);
double quantile(Series y, double p);
double iqr(Series y);
double std_dev(Series y);
// The same given `sorted`, sorted_copy(y) made once for several callers (not
// read when y holds NaN); midhinge is mean(y, MeanType::midhinge).
double median(Series y, Series sorted);
double quantile(Series y, Series sorted, double p);
double iqr(Series y, Series sorted);
double midhinge(Series y, Series sorted);

enum class Deviation { mean, median };
double mad(Series y, Deviation type = Deviation::mean);
// mad with its centre (mean(y) or median(y)) given.
double mad_about(Series y, double centre, Deviation type);

// [NaN] when any value is NaN, empty for an empty series, no guard on a zero
// standard deviation.
std::vector<double> zscore(Series y);

// The mean and sample standard deviation a z-score divides by: the mean is
// sum / n as `mean` gives it (NaN when a value is NaN), the standard
// deviation NaN also for fewer than two values.
struct Moments {
    double mean;
    double std_dev;
};
struct Standardized {
    std::vector<double> z;  // zscore(y)
    Moments moments;
};
Standardized standardize(Series y);

// The z-score when `normalize` is set, otherwise a view of the input itself:
// callers that only read avoid a copy.
class Prepared {
public:
    Prepared(Series y, bool normalize);
    // A series prepared elsewhere (a z-score shared by a set run), borrowed.
    static Prepared borrowed(Series prepared) { return Prepared(prepared, false); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    Series view() const { return view_; }
    std::size_t size() const { return view_.size(); }
    double operator[](std::size_t i) const { return view_[i]; }

private:
    std::vector<double> owned_;
    Series view_;
};

std::vector<double> sorted_copy(Series y);
// A series of y's length in which each of `positions` holds the value a full
// sort of the NaN-free y puts there (of equal values, -0 and +0 may trade
// places); the other entries hold no particular values (not necessarily a
// permutation of y). For reading a few order statistics.
std::vector<double> selected_copy(Series y, std::vector<std::size_t> positions);
// Quantile of an already sorted, NaN-free series (the core of `quantile`).
double quantile_sorted(Series sorted, double p);
double median_sorted(Series sorted);
double iqr_sorted(Series sorted);

// Truncation toward zero with saturation: negative and NaN give 0, values
// from 2^64 up give the largest value. Inline: histogram binning calls it per
// value.
inline std::uint64_t saturating_cast(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(v);
}

std::vector<double> diff(Series y);
std::vector<double> cumsum(Series y);
std::vector<double> abs_values(Series y);
std::vector<double> linspace(double start, double end, std::size_t k);
std::uint32_t int_mode(std::span<const std::uint32_t> v);
double autocorr_lag(Series y, std::size_t lag);
// out[k] = autocorr_lag(y, first_lag + k) for every k, bit for bit.
void autocorr_lags(Series y, std::size_t first_lag, std::span<double> out);

// autocorr_lags of one series asked for a few lags at a time (by a scan that
// may stop early): what all lags share, the NaN positions and the running sum
// of y, is computed once. Keeps a view of y.
class LagCorrelations {
public:
    explicit LagCorrelations(Series y);
    // out[k] = autocorr_lag(y, first_lag + k) for every k, bit for bit.
    void compute(std::size_t first_lag, std::span<double> out) const;

private:
    Series y_;
    std::size_t first_nan_ = 0, last_nan_ = 0;
    std::vector<double> leading_;
};

struct LinearFit {
    double slope;
    double intercept;
};
inline constexpr std::string_view singular_matrix_message = "Singular matrix. Can't solve the problem.";
// Least squares by the normal equations; nullopt when the system is singular
// (the error whose text is `singular_matrix_message`).
std::optional<LinearFit> linear_fit(Series x, Series y);

double nan_variance(Series y);

}  // namespace quorlex::common
