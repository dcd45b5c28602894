// quorlex_batch._engine: the native part of the batch package. It takes the
// series as one flat float64 buffer with int64 row offsets and a caller-made
// float64 output matrix, releases the interpreter lock and runs the plan over
// the worker pool, reporting progress and answering Ctrl-C while it runs.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "helpers/failure.hpp"
#include "parallel/batch.hpp"
#include "parallel/pool.hpp"

namespace {

namespace batch = quorlex::parallel::batch;

// A buffer view released on every path.
class Buffer {
public:
    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() {
        if (held_) PyBuffer_Release(&view_);
    }
    bool get(PyObject* object, int flags) {
        held_ = PyObject_GetBuffer(object, &view_, flags) == 0;
        return held_;
    }
    const Py_buffer& view() const { return view_; }

private:
    Py_buffer view_{};
    bool held_ = false;
};

PyObject* value_error(const std::string& message) {
    PyErr_SetString(PyExc_ValueError, message.c_str());
    return nullptr;
}

PyObject* type_error(const std::string& message) {
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return nullptr;
}

// Internal failures raise quorlex's own PanicException (a BaseException), so
// that one except clause catches it from both packages. Set by module init.
PyObject* panic_type = nullptr;

PyObject* raise_panic(const std::string& message) {
    std::fprintf(stderr, "quorlex_batch: internal failure: %s\n", message.c_str());
    std::fflush(stderr);
    PyObject* type = panic_type;
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (text != nullptr) {
        PyErr_SetObject(type, text);
        Py_DECREF(text);
    }
    return nullptr;
}

PyObject* raise_exception(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const batch::BadRequest& bad) {
        return value_error(bad.what());
    } catch (const std::bad_alloc&) {  // as quorlex reports its own allocation failures
        return raise_panic("memory allocation failed");
    } catch (const std::length_error&) {  // a container asked for more than it can ever hold
        return raise_panic("memory allocation failed");
    } catch (const std::exception& failure) {
        const std::string what = failure.what();
        return raise_panic(what.empty() ? "quorlex's native code failed without a message" : what);
    } catch (...) {
        return raise_panic("quorlex's native code failed without a message");
    }
}

// -- request: a set name with an options dict, or a sequence of feature names --

bool read_flag(PyObject* value, const char* key, std::optional<bool>& out) {
    if (!PyBool_Check(value)) {
        type_error(std::string("option '") + key + "' must be True or False");
        return false;
    }
    out = value == Py_True;
    return true;
}

bool read_count(PyObject* value, const char* key, std::optional<std::uint64_t>& out) {
    if (!PyLong_Check(value) || PyBool_Check(value)) {
        type_error(std::string("option '") + key + "' must be a non-negative int");
        return false;
    }
    const unsigned long long n = PyLong_AsUnsignedLongLong(value);
    if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        PyErr_Clear();
        value_error(std::string("option '") + key + "' must be a non-negative int below 2**64");
        return false;
    }
    out = n;
    return true;
}

bool read_options(PyObject* dict, batch::Options& options) {
    if (dict == Py_None) return true;
    if (!PyDict_Check(dict)) {
        type_error("options must be a dict");
        return false;
    }
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(dict, &position, &key, &value)) {
        const char* name = PyUnicode_Check(key) ? PyUnicode_AsUTF8AndSize(key, nullptr) : nullptr;
        if (name == nullptr) {
            PyErr_Clear();
            type_error("option names must be str");
            return false;
        }
        bool ok = true;
        if (std::strcmp(name, "normalize") == 0) ok = read_flag(value, name, options.normalize);
        else if (std::strcmp(name, "catch24") == 0) ok = read_flag(value, name, options.catch24);
        else if (std::strcmp(name, "catchamouse16") == 0) ok = read_flag(value, name, options.catchamouse16);
        else if (std::strcmp(name, "hctsa") == 0) ok = read_flag(value, name, options.hctsa);
        else if (std::strcmp(name, "demean") == 0) ok = read_flag(value, name, options.demean);
        else if (std::strcmp(name, "mask") == 0) ok = read_flag(value, name, options.mask);
        else if (std::strcmp(name, "short_names") == 0) ok = read_flag(value, name, options.short_names);
        else if (std::strcmp(name, "lags") == 0) ok = read_count(value, name, options.lags);
        else if (std::strcmp(name, "freq") == 0) {
            std::optional<std::uint64_t> freq;
            ok = value == Py_None || read_count(value, name, freq);
            options.freq = freq;
        } else {
            value_error(std::string("unknown option '") + name + "'");
            return false;
        }
        if (!ok) return false;
    }
    return true;
}

// Builds the plan of a request, or returns nothing with an exception set.
std::optional<batch::Plan> make_plan(PyObject* features, PyObject* options_dict) {
    try {
        if (PyUnicode_Check(features)) {
            batch::Options options;
            if (!read_options(options_dict, options)) return std::nullopt;
            const char* name = PyUnicode_AsUTF8AndSize(features, nullptr);
            if (name == nullptr) return std::nullopt;
            return batch::Plan::for_set(name, options);
        }
        if (options_dict != Py_None && (!PyDict_Check(options_dict) || PyDict_Size(options_dict) != 0)) {
            value_error("options apply to a named feature set, not to a list of features");
            return std::nullopt;
        }
        if (!PySequence_Check(features)) {
            type_error("features must be a set name or a sequence of feature names");
            return std::nullopt;
        }
        std::vector<std::string> names;
        const Py_ssize_t n = PySequence_Size(features);
        if (n < 0) return std::nullopt;
        for (Py_ssize_t i = 0; i < n; ++i) {
            PyObject* item = PySequence_GetItem(features, i);
            if (item == nullptr) return std::nullopt;
            const char* name = PyUnicode_Check(item) ? PyUnicode_AsUTF8AndSize(item, nullptr) : nullptr;
            if (name != nullptr) names.emplace_back(name);
            Py_DECREF(item);
            if (name == nullptr) {
                if (!PyErr_Occurred()) type_error("feature names must be str");
                return std::nullopt;
            }
        }
        if (names.empty()) {
            value_error("no features requested");
            return std::nullopt;
        }
        return batch::Plan::for_features(names);
    } catch (...) {
        raise_exception(std::current_exception());
        return std::nullopt;
    }
}

PyObject* string_list(const std::vector<std::string>& strings) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(strings.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        PyObject* text = PyUnicode_FromStringAndSize(strings[i].data(), static_cast<Py_ssize_t>(strings[i].size()));
        if (text == nullptr) {
            Py_DECREF(list);
            return nullptr;
        }
        PyList_SetItem(list, static_cast<Py_ssize_t>(i), text);
    }
    return list;
}

// names(features, options) -> list of the output column names.
PyObject* names(PyObject*, PyObject* args) {
    PyObject* features = nullptr;
    PyObject* options = Py_None;
    if (!PyArg_ParseTuple(args, "O|O:names", &features, &options)) return nullptr;
    const auto plan = make_plan(features, options);
    if (!plan) return nullptr;
    return string_list(plan->names());
}

PyObject* sets(PyObject*, PyObject*) { return string_list(batch::set_names()); }

const char* const doubles[] = {"d", nullptr};
const char* const int64s[] = {"q", "l", nullptr};
const char* const bools[] = {"?", nullptr};

bool is_format(const Py_buffer& view, const char* const* accepted) {
    const char* format = view.format != nullptr ? view.format : "B";
    if (*format == '<' || *format == '=' || *format == '@') ++format;
    for (; *accepted != nullptr; ++accepted) {
        if (std::strcmp(format, *accepted) == 0) return true;
    }
    return false;
}

// Runs work(done), which counts finished rows in done, on the pool with the
// interpreter lock released. The calling thread waits without the lock; every
// 20 ms it takes the lock briefly to report progress and to run signal
// handlers. A handler's exception (KeyboardInterrupt from Ctrl-C) or a failing
// progress callback stops the run and is raised once the pool has drained.
template <class Work>
PyObject* compute(PyObject* progress, Work work) {
    std::atomic<std::size_t> done{0};
    std::size_t reported = 0;
    PyObject *stop_type = nullptr, *stop_value = nullptr, *stop_traceback = nullptr;
    const auto report = [&]() -> bool {
        const std::size_t now = done.load(std::memory_order_relaxed);
        if (progress == Py_None || now == reported) return true;
        PyObject* result = PyObject_CallFunction(progress, "n", static_cast<Py_ssize_t>(now - reported));
        reported = now;
        Py_XDECREF(result);
        return result != nullptr;
    };
    const auto should_stop = [&]() -> bool {
        const PyGILState_STATE state = PyGILState_Ensure();
        const bool stop = PyErr_CheckSignals() < 0 || !report();
        if (stop) PyErr_Fetch(&stop_type, &stop_value, &stop_traceback);
        PyGILState_Release(state);
        return stop;
    };
    std::exception_ptr error;
    Py_BEGIN_ALLOW_THREADS
    try {
        quorlex::parallel::run_interruptible([&] { work(done); }, should_stop);
    } catch (...) {
        error = std::current_exception();
    }
    Py_END_ALLOW_THREADS
    if (stop_type != nullptr) {
        PyErr_Restore(stop_type, stop_value, stop_traceback);
        return nullptr;
    }
    if (error) return raise_exception(error);
    if (!report()) return nullptr;
    Py_RETURN_NONE;
}

// run(features, options, values, offsets, out, max_threads, progress):
// values is a contiguous 1-D float64 buffer, offsets a contiguous int64
// buffer of n + 1 non-decreasing positions from 0 to len(values), out a
// writable contiguous float64 buffer of n * width. progress is None or a
// callable taking the number of series finished since its last call. masked,
// when given and not None, is a writable contiguous bool buffer of n * width
// that receives the masked flags.
PyObject* run(PyObject*, PyObject* args) {
    PyObject *features, *options, *values_object, *offsets_object, *out_object, *progress;
    PyObject* masked_object = Py_None;
    Py_ssize_t max_threads = 0;
    if (!PyArg_ParseTuple(args, "OOOOOnO|O:run", &features, &options, &values_object, &offsets_object, &out_object,
                          &max_threads, &progress, &masked_object)) {
        return nullptr;
    }
    if (max_threads < 0) return value_error("max_threads must be 0 (the whole pool) or positive");
    if (progress != Py_None && !PyCallable_Check(progress)) return type_error("progress must be callable or None");
    const auto plan = make_plan(features, options);
    if (!plan) return nullptr;

    Buffer values, offsets, out, masked;
    if (!values.get(values_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return nullptr;
    if (!offsets.get(offsets_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return nullptr;
    if (!out.get(out_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT | PyBUF_WRITABLE)) return nullptr;
    if (!is_format(values.view(), doubles) || values.view().itemsize != 8) return type_error("values must be float64");
    if (!is_format(offsets.view(), int64s) || offsets.view().itemsize != 8) return type_error("offsets must be int64");
    if (!is_format(out.view(), doubles) || out.view().itemsize != 8) return type_error("out must be float64");
    const bool with_masked = masked_object != Py_None;
    if (with_masked) {
        if (!masked.get(masked_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT | PyBUF_WRITABLE)) return nullptr;
        if (!is_format(masked.view(), bools) || masked.view().itemsize != 1) return type_error("masked must be bool");
    }

    const std::size_t value_count = static_cast<std::size_t>(values.view().len) / 8;
    const std::span<const std::int64_t> offset_span(static_cast<const std::int64_t*>(offsets.view().buf),
                                                    static_cast<std::size_t>(offsets.view().len) / 8);
    if (offset_span.empty() || offset_span.front() != 0 ||
        offset_span.back() != static_cast<std::int64_t>(value_count) ||
        !std::is_sorted(offset_span.begin(), offset_span.end())) {
        return value_error("offsets must rise from 0 to len(values)");
    }
    const std::size_t n = offset_span.size() - 1;
    const std::size_t width = plan->width();
    if (static_cast<std::size_t>(out.view().len) / 8 != n * width) return value_error("out must hold n * width values");
    if (with_masked && static_cast<std::size_t>(masked.view().len) != n * width) {
        return value_error("masked must hold n * width values");
    }
    bool* const masked_data = with_masked ? static_cast<bool*>(masked.view().buf) : nullptr;

    const quorlex::Series value_span(static_cast<const double*>(values.view().buf), value_count);
    auto* const out_data = static_cast<double*>(out.view().buf);
    return compute(progress, [&](std::atomic<std::size_t>& done) {
        batch::run(*plan, value_span, offset_span, out_data, static_cast<std::size_t>(max_threads), done,
                   masked_data);
    });
}

// run_windows(features, options, values, bounds, out, max_threads, progress):
// as run, but row i is the window values[bounds[i, 0] .. bounds[i, 1]) of a
// contiguous int64 buffer of n (start, end) pairs; windows may overlap and are
// read in place.
PyObject* run_windows(PyObject*, PyObject* args) {
    PyObject *features, *options, *values_object, *bounds_object, *out_object, *progress;
    Py_ssize_t max_threads = 0;
    if (!PyArg_ParseTuple(args, "OOOOOnO:run_windows", &features, &options, &values_object, &bounds_object,
                          &out_object, &max_threads, &progress)) {
        return nullptr;
    }
    if (max_threads < 0) return value_error("max_threads must be 0 (the whole pool) or positive");
    if (progress != Py_None && !PyCallable_Check(progress)) return type_error("progress must be callable or None");
    const auto plan = make_plan(features, options);
    if (!plan) return nullptr;

    Buffer values, bounds, out;
    if (!values.get(values_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return nullptr;
    if (!bounds.get(bounds_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return nullptr;
    if (!out.get(out_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT | PyBUF_WRITABLE)) return nullptr;
    if (!is_format(values.view(), doubles) || values.view().itemsize != 8) return type_error("values must be float64");
    if (!is_format(bounds.view(), int64s) || bounds.view().itemsize != 8) return type_error("bounds must be int64");
    if (!is_format(out.view(), doubles) || out.view().itemsize != 8) return type_error("out must be float64");

    const auto value_count = static_cast<std::int64_t>(values.view().len / 8);
    const std::span<const std::int64_t> bound_span(static_cast<const std::int64_t*>(bounds.view().buf),
                                                   static_cast<std::size_t>(bounds.view().len) / 8);
    if (bound_span.size() % 2 != 0) return value_error("bounds must hold (start, end) pairs");
    for (std::size_t i = 0; i < bound_span.size(); i += 2) {
        if (bound_span[i] < 0 || bound_span[i] > bound_span[i + 1] || bound_span[i + 1] > value_count) {
            return value_error("every window must satisfy 0 <= start <= end <= len(values)");
        }
    }
    const std::size_t n = bound_span.size() / 2;
    if (static_cast<std::size_t>(out.view().len) / 8 != n * plan->width()) {
        return value_error("out must hold n * width values");
    }
    const quorlex::Series value_span(static_cast<const double*>(values.view().buf),
                                     static_cast<std::size_t>(value_count));
    auto* const out_data = static_cast<double*>(out.view().buf);
    return compute(progress, [&](std::atomic<std::size_t>& done) {
        batch::run_windows(*plan, value_span, bound_span, out_data, static_cast<std::size_t>(max_threads), done);
    });
}

PyMethodDef methods[] = {
    {"names", names, METH_VARARGS, "names(features, options=None) -> list of output column names"},
    {"sets", sets, METH_NOARGS, "sets() -> list of the named feature sets"},
    {"run", run, METH_VARARGS,
     "run(features, options, values, offsets, out, max_threads, progress, masked=None) -> None\n"
     "Computes the features of every series into out (see quorlex_batch.extract)."},
    {"run_windows", run_windows, METH_VARARGS,
     "run_windows(features, options, values, bounds, out, max_threads, progress) -> None\n"
     "Computes the features of every window into out (see quorlex_batch.roll)."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "quorlex_batch._engine", "Native batch engine of quorlex_batch.", -1, methods,
    nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__engine() {
    PyObject* module = PyModule_Create(&module_def);
    if (module == nullptr) return nullptr;
    if (panic_type == nullptr) {
        PyObject* quorlex = PyImport_ImportModule("quorlex");
        if (quorlex != nullptr) panic_type = PyObject_GetAttrString(quorlex, "PanicException");  // kept for the process
        Py_XDECREF(quorlex);
    }
    if (panic_type == nullptr || PyModule_AddObjectRef(module, "PanicException", panic_type) < 0) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}
