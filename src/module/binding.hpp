// The declarative description of a module function and the one binding engine
// that assigns, checks and converts its arguments. Every argument error text
// comes from here; no function parses its own arguments.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "helpers/series.hpp"
#include "module/python.hpp"

namespace quorlex::module {

// How a parameter's Python value becomes a native value.
enum class Kind : std::uint8_t {
    series,     // sequence of numbers -> owned doubles
    flag,       // exactly True/False (or a numpy bool); None refused
    opt_flag,   // None means the fallback
    count,      // non-negative int -> uint64; None refused
    opt_count,  // None means absent; omitted means the fallback (possibly absent)
    small_int,  // int -> int32; None refused
    text,       // str; None refused
    opt_text,   // str or None (absent)
};

struct Param {
    const char* name;
    Kind kind;
    bool required = false;
    // The value of an omitted argument (and of None where None means default).
    std::optional<std::int64_t> fallback = std::nullopt;
};

// A converted series: a view of the caller's contiguous float64 buffer when it
// has one (held until the call returns), else doubles read item by item.
class SeriesValue {
public:
    SeriesValue() = default;
    SeriesValue(const SeriesValue&) = delete;
    SeriesValue& operator=(const SeriesValue&) = delete;
    ~SeriesValue() { release(); }

    operator Series() const { return view_; }
    Series span() const { return view_; }

    std::vector<double>& storage() { return owned_; }
    void use_storage() { view_ = owned_; }
    // Takes over a buffer view whose data are contiguous native doubles.
    void use_buffer(const Py_buffer& buffer, std::size_t n);
    void release();

private:
    std::vector<double> owned_;
    Py_buffer buffer_{};
    bool holds_buffer_ = false;
    Series view_;
};

struct Value {
    SeriesValue series;
    bool flag = false;
    std::optional<std::uint64_t> count;
    std::int32_t small = 0;
    std::optional<std::string> text;
};

inline constexpr std::size_t max_params = 9;
using Args = std::array<Value, max_params>;

// Calls the routine with converted arguments and returns a new reference, or
// nullptr with an exception set. Internal failures are translated by the engine.
using Routine = PyObject* (*)(Args& args);

struct Function {
    const char* name;
    std::array<Param, max_params> params;
    std::size_t param_count;
    Routine routine;

    std::size_t required_count() const;
    // "name(y, normalize=None)" as __text_signature__ shows it.
    std::string text_signature() const;
    // One line for __doc__ after the signature, rendered from the name and the
    // parameters (what the function returns and what normalize does).
    std::string summary() const;
};

// The result classes, in the order they appear among the module's attributes.
enum class ResultClass : std::uint8_t { catch22, cumulative, tsfeatures, combined, hctsa };

// One module attribute: a function or a result class, in registration order.
struct Entry {
    std::optional<ResultClass> result_class;
    Function function;
};

std::span<const Entry> module_table();

// The whole call path of a module function.
PyObject* call_function(const Function& function, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace quorlex::module
