// Building blocks of the function table: parameter kinds with their defaults
// and adapters from native routines to Python results.
#pragma once

#include <initializer_list>
#include <optional>
#include <type_traits>

#include "catch22/intermediates.hpp"
#include "helpers/series.hpp"
#include "python/binding.hpp"
#include "python/errors.hpp"
#include "python/pool_run.hpp"
#include "python/quorlex/results.hpp"

namespace quorlex::module::table {

inline constexpr Param y{"y", Kind::series, true};
inline constexpr Param series{"series", Kind::series, true};
// An omitted or None normalize means `fallback`.
constexpr Param normalize(bool fallback) { return {"normalize", Kind::opt_flag, false, fallback}; }
// A normalize that must be passed, where None means false.
inline constexpr Param normalize_required{"normalize", Kind::opt_flag, true, 0};
// A normalize that must be exactly a bool.
inline constexpr Param normalize_strict{"normalize", Kind::flag, true};
constexpr Param option(const char* name, bool fallback) { return {name, Kind::opt_flag, false, fallback}; }
// freq as a count: omitted means `fallback`, None means absent.
constexpr Param freq(std::int64_t fallback) { return {"freq", Kind::opt_count, false, fallback}; }
inline constexpr Param freq_absent{"freq", Kind::opt_count, false, std::nullopt};
// freq of the unit-root statistics: validated, not used.
inline constexpr Param freq_small{"freq", Kind::small_int, false, 1};
inline constexpr Param lags{"lags", Kind::count, false, 12};
inline constexpr Param demean{"demean", Kind::flag, false, 1};
constexpr Param text(const char* name) { return {name, Kind::text, true}; }
constexpr Param count(const char* name) { return {name, Kind::count, true}; }
inline constexpr Param value_column_name{"value_column_name", Kind::opt_text, false};

inline Entry function(const char* name, Routine routine, std::initializer_list<Param> params) {
    Entry entry{nullptr, nullptr, Function{name, {}, params.size(), routine}};
    std::size_t i = 0;
    for (const Param& p : params) entry.function.params[i++] = p;
    return entry;
}

// A result class as a module attribute.
template <ResultClass C>
Entry result_class() {
    return {result_class_name(C), [] {
                try {
                    return Py_NewRef(result_type(C));
                } catch (...) {
                    return raise_current_failure();
                }
            }};
}

// Wraps `double f(Series, bool[, catch22::Shared*])` (series and normalize; a
// single call has no run to share with) or `double f(Series)`.
template <auto F>
PyObject* feature(Args& a) {
    if constexpr (std::is_invocable_v<decltype(F), Series, bool, catch22::Shared*>) {
        return PyFloat_FromDouble(F(a[0].series, a[1].flag, nullptr));
    } else if constexpr (std::is_invocable_v<decltype(F), Series, bool>) {
        return PyFloat_FromDouble(F(a[0].series, a[1].flag));
    } else {
        return PyFloat_FromDouble(F(a[0].series));
    }
}

// Runs a set run or cumulative extraction on the worker pool, the calling
// thread keeping the interpreter lock: Ctrl-C stops the run
// (parallel::Interrupted) and leaves KeyboardInterrupt pending.
template <class Run>
auto interruptible(Run&& run) -> decltype(run()) {
    std::optional<decltype(run())> result;
    run_on_pool(Lock::held, [&] { result.emplace(run()); });
    return std::move(*result);
}

}  // namespace quorlex::module::table
