// quorlex_batch._engine: the batch package's way into the native engine, as
// rows of a function table read by the one binding engine. A request (a set
// name with options, or a list of feature names) becomes a batch::Plan; the
// series come as one flat float64 buffer with int64 row offsets or window
// bounds, read in place; the result matrix is created here (as a bytearray,
// so the engine needs no numpy) and filled on the worker pool with the
// interpreter lock released.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch/plan.hpp"
#include "python/binding.hpp"
#include "python/errors.hpp"
#include "python/module.hpp"
#include "python/pool_run.hpp"

namespace quorlex::module {

namespace {

// -- requests --

struct OptionField {
    const char* name;
    std::optional<bool> batch::Options::*flag;
    std::optional<std::uint64_t> batch::Options::*count;
};

// The options a set may take: flags, counts, and freq (a count or None).
const OptionField option_fields[] = {
    {"normalize", &batch::Options::normalize, nullptr},
    {"catch24", &batch::Options::catch24, nullptr},
    {"catchamouse16", &batch::Options::catchamouse16, nullptr},
    {"hctsa", &batch::Options::hctsa, nullptr},
    {"demean", &batch::Options::demean, nullptr},
    {"mask", &batch::Options::mask, nullptr},
    {"short_names", &batch::Options::short_names, nullptr},
    {"lags", nullptr, &batch::Options::lags},
    {"freq", nullptr, nullptr},
};

bool read_count(const NamedOption& option, std::optional<std::uint64_t>& out) {
    using Type = NamedOption::Type;
    if (option.type != Type::integer) {
        type_error("option '" + option.name + "' must be a non-negative int");
        return false;
    }
    if (!option.count) {
        value_error("option '" + option.name + "' must be a non-negative int below 2**64");
        return false;
    }
    out = option.count;
    return true;
}

// The set options of an options dict, or nothing with an exception set.
std::optional<batch::Options> read_options(const std::vector<NamedOption>& given) {
    using Type = NamedOption::Type;
    batch::Options options;
    for (const NamedOption& option : given) {
        const auto field = std::find_if(std::begin(option_fields), std::end(option_fields),
                                        [&](const OptionField& f) { return option.name == f.name; });
        if (field == std::end(option_fields)) {
            value_error("unknown option '" + option.name + "'");
            return std::nullopt;
        }
        if (field->flag != nullptr) {
            if (option.type != Type::boolean) {
                type_error("option '" + option.name + "' must be True or False");
                return std::nullopt;
            }
            options.*field->flag = option.flag;
        } else if (field->count != nullptr) {
            if (!read_count(option, options.*field->count)) return std::nullopt;
        } else {  // freq: None asks for an absent frequency
            std::optional<std::uint64_t> freq;
            if (option.type != Type::none && !read_count(option, freq)) return std::nullopt;
            options.freq = freq;
        }
    }
    return options;
}

// The plan of a request, or nothing with an exception set: a request the plan
// cannot be built for is a ValueError, not an internal failure.
std::optional<batch::Plan> plan_of(const Value& features, const Value& options) {
    try {
        if (features.text) {
            const auto set_options = read_options(options.dataset->options);
            if (!set_options) return std::nullopt;
            return batch::Plan::for_set(*features.text, *set_options);
        }
        if (!options.dataset->options.empty()) {
            value_error("options apply to a named feature set, not to a list of features");
            return std::nullopt;
        }
        if (features.dataset->texts.empty()) {
            value_error("no features requested");
            return std::nullopt;
        }
        return batch::Plan::for_features(features.dataset->texts);
    } catch (const batch::BadRequest& bad) {
        value_error(bad.what());
        return std::nullopt;
    }
}

// -- results --

// A new bytearray of `size` bytes, held writable in `buffer`; nullptr with an
// exception set. Every byte is written by the run (the package views it as a
// numpy array, without a copy), so it is not cleared first; the engine itself
// needs no numpy.
PyObject* new_output(std::size_t size, HeldBuffer& buffer) {
    PyObject* bytes = PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
    if (bytes != nullptr && !buffer.acquire(bytes, PyBUF_C_CONTIGUOUS | PyBUF_WRITABLE)) Py_CLEAR(bytes);
    return bytes;
}

// (values, names) or (values, names, masked): the row-major float64 values of
// every row of the plan (and their masked flags, one byte each), computed by
// rows(out, masked, done) on the pool with the interpreter lock released.
static_assert(sizeof(bool) == 1, "masked flags are numpy bools, one byte each");

template <class Rows>
PyObject* compute(const batch::Plan& plan, std::size_t n, bool with_masked, PyObject* progress, Rows rows) {
    HeldBuffer out_buffer, masked_buffer;
    PyObject* names = string_list(plan.names());
    const std::size_t cells = n * plan.width();
    PyObject* out = names != nullptr ? new_output(cells * sizeof(double), out_buffer) : nullptr;
    PyObject* masked = out != nullptr && with_masked ? new_output(cells * sizeof(bool), masked_buffer) : nullptr;
    if (out == nullptr || (with_masked && masked == nullptr)) {
        Py_XDECREF(names);
        Py_XDECREF(out);
        return nullptr;
    }
    auto* const out_data = static_cast<double*>(out_buffer.view().buf);
    auto* const masked_data = with_masked ? static_cast<bool*>(masked_buffer.view().buf) : nullptr;
    std::atomic<std::size_t> done{0};
    try {
        run_on_pool(Lock::released, [&] { rows(out_data, masked_data, done); }, progress, &done);
    } catch (...) {
        Py_DECREF(names);
        Py_DECREF(out);
        Py_XDECREF(masked);
        throw;
    }
    out_buffer.release();
    masked_buffer.release();
    return with_masked ? Py_BuildValue("(NNN)", out, names, masked) : Py_BuildValue("(NN)", out, names);
}

// -- the functions --

PyObject* sets_row(Args&) { return string_list(batch::set_names()); }

PyObject* names_row(Args& a) {
    const auto plan = plan_of(a[0], a[1]);
    return plan ? string_list(plan->names()) : nullptr;
}

PyObject* run_row(Args& a) {
    const auto plan = plan_of(a[0], a[1]);
    if (!plan) return nullptr;
    const Series values = a[2].series;
    const std::span<const std::int64_t> offsets = a[3].dataset->int64s;
    if (offsets.empty() || offsets.front() != 0 || offsets.back() != static_cast<std::int64_t>(values.size()) ||
        !std::is_sorted(offsets.begin(), offsets.end())) {
        return value_error("offsets must rise from 0 to len(values)");
    }
    const std::size_t threads = *a[4].count;
    return compute(*plan, offsets.size() - 1, a[6].flag, a[5].object,
                   [&](double* out, bool* masked, std::atomic<std::size_t>& done) {
                       batch::run(*plan, values, offsets, out, threads, done, masked);
                   });
}

PyObject* run_windows_row(Args& a) {
    const auto plan = plan_of(a[0], a[1]);
    if (!plan) return nullptr;
    const Series values = a[2].series;
    const std::span<const std::int64_t> bounds = a[3].dataset->int64s;
    if (bounds.size() % 2 != 0) return value_error("bounds must hold (start, end) pairs");
    const auto length = static_cast<std::int64_t>(values.size());
    for (std::size_t i = 0; i < bounds.size(); i += 2) {
        if (bounds[i] < 0 || bounds[i] > bounds[i + 1] || bounds[i + 1] > length) {
            return value_error("every window must satisfy 0 <= start <= end <= len(values)");
        }
    }
    const std::size_t threads = *a[4].count;
    return compute(*plan, bounds.size() / 2, false, a[5].object,
                   [&](double* out, bool*, std::atomic<std::size_t>& done) {
                       batch::run_windows(*plan, values, bounds, out, threads, done);
                   });
}

constexpr Param features{"features", Kind::names, true};
constexpr Param options{"options", Kind::options, true};
constexpr Param values{"values", Kind::doubles, true};
// 0: the whole pool.
constexpr Param max_threads{"max_threads", Kind::count, true};
// None, or called with the number of rows finished since its last call.
constexpr Param progress{"progress", Kind::callback, true};

Entry row(const char* name, Routine routine, const char* doc, std::initializer_list<Param> params) {
    Entry entry{nullptr, nullptr, Function{name, {}, params.size(), routine, doc}};
    std::copy(params.begin(), params.end(), entry.function.params.begin());
    return entry;
}

std::vector<Entry> build_table() {
    return {
        row("sets", sets_row, "The names of the feature sets, in table order.", {}),
        row("names", names_row, "The output column names of a request.", {features, {"options", Kind::options}}),
        row("run", run_row,
            "(values, names[, masked]) of the series values[offsets[i]:offsets[i + 1]]: the row-major float64 "
            "matrix (and bool flags) as bytearrays, computed with the interpreter lock released "
            "(see quorlex_batch.extract).",
            {features, options, values, {"offsets", Kind::int64s, true}, max_threads, progress,
             {"masked", Kind::flag, false, 0}}),
        row("run_windows", run_windows_row,
            "(values, names) of the windows values[bounds[i, 0]:bounds[i, 1]], read in place: the row-major "
            "float64 matrix as a bytearray, computed with the interpreter lock released (see quorlex_batch.roll).",
            {features, options, values, {"bounds", Kind::int64s, true}, max_threads, progress}),
    };
}

PyModuleDef engine_definition = {
    PyModuleDef_HEAD_INIT, "quorlex_batch._engine", "Native batch engine of quorlex_batch.", 0, nullptr,
    nullptr, nullptr, nullptr, nullptr,
};

// quorlex_batch.PanicException is quorlex's class, also reachable from here.
bool add_panic(PyObject* module) { return add_attribute(module, "PanicException", panic_exception_type()); }

}  // namespace

std::span<const Entry> module_table() {
    static const std::vector<Entry> entries = build_table();
    return entries;
}

}  // namespace quorlex::module

PyMODINIT_FUNC PyInit__engine() {
    // Internal failures raise quorlex's own PanicException, so that one except
    // clause catches it from both packages.
    if (!quorlex::module::use_panic_exception_of("quorlex")) return nullptr;
    return quorlex::module::init_module(quorlex::module::engine_definition, quorlex::module::add_panic);
}
