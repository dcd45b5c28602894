// Whole datasets in one run: a plan of feature columns built from the set task
// lists, applied to many series in parallel, written into one row-major matrix.
//
// A plan is a list of segments. Each segment is one set run as the per-series
// set functions perform it: the same task list, on the series or on its z-score
// (the normalising executor), with the same normalize flag and run intermediates of its
// own. So every value is the one the per-series run computes, bit for bit,
// whichever thread computes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "parallel/common.hpp"

namespace quorlex::batch {

// A request the plan cannot be built for (unknown set, feature or option).
// The boundary reports it as a ValueError, not as an internal failure.
class BadRequest : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// The options of a set request. An unset field takes the set's default; `freq`
// set to an empty value asks for an absent frequency.
struct Options {
    std::optional<bool> normalize;
    std::optional<bool> catch24;
    std::optional<bool> catchamouse16;
    std::optional<bool> hctsa;
    std::optional<std::optional<std::uint64_t>> freq;
    std::optional<std::uint64_t> lags;
    std::optional<bool> demean;
    std::optional<bool> mask;
    std::optional<bool> short_names;
};

struct Segment {
    parallel::TaskList tasks;
    bool zscore_first = false;  // normalising executor: z-score once when normalize is set
    bool normalize = false;
    std::vector<std::string> names;  // filled when the plan takes the segment
    // Masking (catch22 v1): on a finite, non-empty series, a task with a mask
    // rule that gives NaN takes the rule's value instead and is flagged.
    bool mask = false;
};

class Plan {
public:
    // One of the named sets ("catch22", "catch24", "catchamouse16",
    // "tsfeatures", "hctsa", "combined") with its options.
    static Plan for_set(const std::string& name, const Options& options);
    // Single features by result name, each computed as in the first set of
    // `feature_sources()` that has it, with that set's defaults.
    static Plan for_features(const std::vector<std::string>& names);

    std::size_t width() const { return width_; }
    std::vector<std::string> names() const;

    // Writes the width() values of one series to out[0 .. width()), and when
    // `masked` is given whether each was masked to masked[0 .. width()).
    void run_one(Series y, double* out, bool* masked = nullptr) const;

private:
    std::vector<Segment> segments_;
    std::size_t width_ = 0;
    void add(Segment segment);
};

// The set names in table order.
std::vector<std::string> set_names();
// The sets single features are looked up in, in lookup order.
std::vector<std::string> feature_sources();

// Series i is values[offsets[i] .. offsets[i+1]). Runs every series of the
// plan on at most max_threads pool threads (0: the whole pool), writes row i to
// out[i * width ..] (and its masked flags to masked[i * width ..] when masked
// is given) and counts finished series in `done`. Inside a run of
// run_interruptible, a stop skips the series not yet started. Preconditions:
// offsets are non-decreasing and lie within values; out holds every row.
void run(const Plan& plan, Series values, std::span<const std::int64_t> offsets, double* out,
         std::size_t max_threads, std::atomic<std::size_t>& done, bool* masked = nullptr);

// Row i is the window values[bounds[2i] .. bounds[2i+1]): windows may overlap
// and are read in place, never copied. Otherwise as run. Preconditions: every
// window lies within values; out holds every row.
void run_windows(const Plan& plan, Series values, std::span<const std::int64_t> bounds, double* out,
                 std::size_t max_threads, std::atomic<std::size_t>& done);

}  // namespace quorlex::batch
