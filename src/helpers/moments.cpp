#include "helpers/moments.hpp"

#include <cmath>

#include "helpers/failure.hpp"
#include "helpers/finite.hpp"
#include "helpers/lanes.hpp"
#include "helpers/order_statistics.hpp"

namespace quorlex::common {

namespace {

double sum_of_squared_deviations(Series y, double m) {
    double s = 0.0;
    for (double v : y) s += (v - m) * (v - m);
    return s;
}

}  // namespace

double sum(Series y) {
    double s = 0.0;
    for (double v : y) s += v;
    return s;
}

MeanType mean_type(std::string_view name) {
    if (name.size() == 10) return MeanType::arithmetic;
    if (name == "harmonic") return MeanType::harmonic;
    if (name == "geometric") return MeanType::geometric;
    if (name == "rms") return MeanType::rms;
    if (name == "iqm") return MeanType::iqm;
    if (name == "midhinge") return MeanType::midhinge;
    return MeanType::arithmetic;
}

namespace {
double interquartile_mean(Series y) {
    const auto s = sorted_copy(y);
    const std::size_t n = s.size();
    const double q1 = at(s, static_cast<std::size_t>(static_cast<double>(n) * 0.25));
    const double q3 = at(s, static_cast<std::size_t>(static_cast<double>(n) * 0.75));
    double total = 0.0;
    std::size_t count = 0;
    for (double v : s) {
        if (q1 <= v && v <= q3) {
            total += v;
            ++count;
        }
    }
    return total / static_cast<double>(count);
}
}  // namespace


double mean(Series y, MeanType type) {
    if (has_nan(y)) return nan;
    const auto n = static_cast<double>(y.size());
    switch (type) {
        case MeanType::arithmetic:
            return sum(y) / n;
        case MeanType::rms: {
            double s = 0.0;
            for (double v : y) s += v * v;
            return std::sqrt(s / n);
        }
        case MeanType::harmonic: {
            double s = 0.0;
            for (double v : y) s += 1.0 / v;
            return n / s;
        }
        case MeanType::geometric: {
            // exp of the mean logarithm: a negative value gives NaN, a zero
            // 0.0, an empty series 0/0 = NaN, and no product can overflow.
            double s = 0.0;
            for (double v : y) s += std::log(v);
            return std::exp(s / n);
        }
        case MeanType::iqm:
            return interquartile_mean(y);
        case MeanType::midhinge:
            return midhinge(y, sorted_copy(y));
    }
    return nan;
}

double std_dev(Series y) {
    if (has_nan(y) || y.size() < 2) return nan;
    const double m = sum(y) / static_cast<double>(y.size());
    return std::sqrt(sum_of_squared_deviations(y, m) / static_cast<double>(y.size() - 1));
}

double mad(Series y, Deviation type) { return mad_about(y, type == Deviation::mean ? mean(y) : median(y), type); }

double mad_about(Series y, double centre, Deviation type) {
    std::vector<double> d(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) d[i] = std::fabs(y[i] - centre);
    return type == Deviation::mean ? mean(d) : median(d);
}

std::vector<double> zscore(Series y) { return standardize(y).z; }

Standardized standardize(Series y) {
    if (has_nan(y)) return {{nan}, {nan, nan}};
    // mean and std_dev without their repeated NaN scans and mean passes.
    const double m = sum(y) / static_cast<double>(y.size());
    if (y.empty()) return {{}, {m, nan}};
    const double s = y.size() < 2 ? nan
                                  : std::sqrt(sum_of_squared_deviations(y, m) / static_cast<double>(y.size() - 1));
    Standardized out{std::vector<double>(y.size()), {m, s}};
    std::vector<double>& z = out.z;
    // Two values per vector division: each lane is the scalar (y - m) / s
    // (the same IEEE operations, a different instruction), so z keeps its bits.
    std::size_t i = 0;
    for (; i + lanes <= y.size(); i += lanes) {
        const Lanes q = (Lanes{y[i], y[i + 1]} - m) / s;
        z[i] = q[0];
        z[i + 1] = q[1];
    }
    if (i < y.size()) z[i] = (y[i] - m) / s;
    return out;
}

Prepared::Prepared(Series y, bool normalize) : view_(y) {
    if (!normalize) return;
    owned_ = zscore(y);
    view_ = owned_;
}

double nan_variance(Series y) {
    double total = 0.0;
    std::size_t q = 0;
    for (double v : y) {
        if (!std::isnan(v)) {
            total += v;
            ++q;
        }
    }
    if (q < 2) return nan;
    const double m = total / static_cast<double>(q);
    double s = 0.0;
    for (double v : y) {
        if (!std::isnan(v)) s += (v - m) * (v - m);
    }
    return s / static_cast<double>(q - 1);
}

}  // namespace quorlex::common
