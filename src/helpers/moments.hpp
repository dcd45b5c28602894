// Sums, means, spreads and the z-score. Sums run in index order from zero,
// one addition per element.
#pragma once

#include <string_view>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::common {

// Plain sum in index order (the building block of every mean here).
double sum(Series y);

enum class MeanType { arithmetic, harmonic, geometric, rms, iqm, midhinge };
// Unrecognised names select the arithmetic mean.
MeanType mean_type(std::string_view name);

double mean(Series y, MeanType type = MeanType::arithmetic);
double std_dev(Series y);

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

// The sample variance of the values that are not NaN; NaN for fewer than two.
double nan_variance(Series y);

}  // namespace quorlex::common
