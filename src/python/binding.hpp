// The declarative description of an extension module's functions and the one
// binding engine that assigns, checks and converts their arguments, for both
// quorlex and quorlex_batch._engine. Every argument error text comes from here;
// no function parses its own arguments.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "helpers/series.hpp"
#include "python/python.hpp"

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
    // Whole datasets, read in place: the batch engine's parameters.
    doubles,    // a C-contiguous buffer of float64 -> series (a view, never a copy)
    int64s,     // a C-contiguous buffer of int64 -> int64s (a view)
    callback,   // a callable or None -> object (borrowed)
    names,      // str -> text, or a sequence of str -> texts
    options,    // None or a dict with str keys -> options
};

struct Param {
    const char* name;
    Kind kind;
    bool required = false;
    // The value of an omitted argument (and of None where None means default).
    std::optional<std::int64_t> fallback = std::nullopt;
};

// A caller's buffer, held while the call uses it and released on every path.
class HeldBuffer {
public:
    HeldBuffer() = default;
    HeldBuffer(const HeldBuffer&) = delete;
    HeldBuffer& operator=(const HeldBuffer&) = delete;
    ~HeldBuffer() { release(); }

    // PyObject_GetBuffer with `flags`; false with the exception it set.
    bool acquire(PyObject* object, int flags);
    void release();
    const Py_buffer& view() const { return view_; }

private:
    // Read only while held_, so not cleared: every call makes nine argument
    // values and most hold no buffer.
    Py_buffer view_;
    bool held_ = false;
};

// A converted series: a view of the caller's contiguous float64 buffer when it
// has one (held until the call returns), else doubles read item by item.
class SeriesValue {
public:
    operator Series() const { return view_; }
    Series span() const { return view_; }

    std::vector<double>& storage() { return owned_; }
    void use_storage() { view_ = owned_; }
    // The buffer a converter holds; use_buffer then reads its first n doubles
    // in place.
    HeldBuffer& buffer() { return buffer_; }
    void use_buffer(std::size_t n) { view_ = Series(static_cast<const double*>(buffer_.view().buf), n); }

private:
    std::vector<double> owned_;
    HeldBuffer buffer_;
    Series view_;
};

// One entry of an options dict: None, a bool or an int (`count` empty when
// the int is negative or needs more than 64 bits).
struct NamedOption {
    std::string name;
    enum class Type : std::uint8_t { none, boolean, integer, other } type;
    bool flag = false;
    std::optional<std::uint64_t> count;
};

// What the batch engine's kinds convert to, made only for them, so that the
// module's calls do not pay for it.
struct DatasetValue {
    std::span<const std::int64_t> int64s;  // its buffer is held by the Value's series
    std::vector<std::string> texts;
    std::vector<NamedOption> options;
};

struct Value {
    SeriesValue series;
    bool flag = false;
    std::optional<std::uint64_t> count;
    std::int32_t small = 0;
    std::optional<std::string> text;
    PyObject* object = nullptr;  // borrowed
    std::unique_ptr<DatasetValue> dataset;
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
    // The line of __doc__ after the signature; summary() when not given.
    const char* doc = nullptr;

    std::size_t required_count() const;
    // "name(y, normalize=None)" as __text_signature__ shows it.
    std::string text_signature() const;
    // One line for __doc__ after the signature, rendered from the name and the
    // parameters (what the function returns and what normalize does).
    std::string summary() const;
};

// One module attribute, in registration order: a function, or a class that
// `make_class` returns (a new reference, or nullptr with an exception set).
struct Entry {
    const char* class_name = nullptr;
    PyObject* (*make_class)() = nullptr;
    Function function{};
};

// The table of the extension module being built: each module defines its own.
std::span<const Entry> module_table();

// A new list of str from UTF-8 strings; nullptr with an exception set.
PyObject* string_list(const std::vector<std::string>& strings);

// The whole call path of a module function.
PyObject* call_function(const Function& function, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace quorlex::module
