// Intermediates that several catch22 features derive from one series. A set
// run hands its features one object that computes each intermediate at most
// once for all of them; a single call hands none and the feature computes what
// it needs itself.
#pragma once

#include <cstddef>
#include <span>

#include "helpers/finite.hpp"
#include "helpers/moments.hpp"
#include "helpers/series.hpp"

namespace quorlex::catch22 {

struct Spectrum;

class Shared {
public:
    // common::all_finite of the run's series (as the features receive it).
    virtual bool series_finite() = 0;
    // The z-score of the run's series.
    virtual Series zscore() = 0;
    // common::mean of the run's series as its features prepare it.
    virtual double mean() = 0;
    // co_autocorrs of the run's series as its features prepare it (its
    // z-score when the run normalises), lags 0 .. k-1 for some k >=
    // min(count, n): computed only as far as the features read, and valid
    // for the whole run.
    virtual std::span<const double> autocorrs(std::size_t count) = 0;
    // angular_welch_rect of the run's series as its features prepare it.
    virtual const Spectrum& angular_welch_rect() = 0;

protected:
    ~Shared() = default;
};

// The series as a feature works on it, the z-score coming from `shared` when
// there is one.
inline common::Prepared prepare(Series y, bool normalize, Shared* shared) {
    if (normalize && shared != nullptr) return common::Prepared::borrowed(shared->zscore());
    return common::Prepared(y, normalize);
}

// common::mean of a prepared series, from `shared` when there is one.
inline double prepared_mean(const common::Prepared& y, Shared* shared) {
    return shared != nullptr ? shared->mean() : common::mean(y.view());
}

// common::all_finite(y) of a feature's series, from `shared` (whose run
// series y then is) when there is one: every feature of a run tests the same
// series.
inline bool series_finite(Series y, Shared* shared) {
    return shared != nullptr ? shared->series_finite() : common::all_finite(y);
}

}  // namespace quorlex::catch22
