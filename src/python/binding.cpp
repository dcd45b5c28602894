#include "python/binding.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "python/errors.hpp"

namespace quorlex::module {

std::size_t Function::required_count() const {
    std::size_t n = 0;
    while (n < param_count && params[n].required) ++n;
    return n;
}

namespace {

std::string default_text(const Param& p) {
    switch (p.kind) {
        case Kind::flag:
            return *p.fallback ? "True" : "False";
        case Kind::count:
        case Kind::small_int:
            return std::to_string(*p.fallback);
        case Kind::opt_count:
            return p.fallback ? std::to_string(*p.fallback) : "None";
        default:
            return "None";
    }
}

}  // namespace

std::string Function::text_signature() const {
    std::string text = std::string(name) + "(";
    for (std::size_t i = 0; i < param_count; ++i) {
        if (i > 0) text += ", ";
        text += params[i].name;
        if (!params[i].required) text += "=" + default_text(params[i]);
    }
    return text + ")";
}

std::string Function::summary() const {
    if (doc != nullptr) return doc;
    const std::string full = name;
    const auto strip = [&](std::string_view prefix, std::string_view suffix) {
        return full.substr(prefix.size(), full.size() - prefix.size() - suffix.size());
    };
    const auto ends = [&](std::string_view suffix) { return full.ends_with(suffix); };
    std::string text;
    if (ends("_features_cumulative_f")) {
        text = "The " + strip("extract_", "_features_cumulative_f") +
               " set of every prefix of series (lengths 1 to n), one row each, as CumulativeFeatures.";
    } else if (ends("_cumulative_f")) {
        text = "The " + strip("extract_", "_cumulative_f") +
               " set of every prefix of series (lengths 1 to n), one row each, as CumulativeFeatures.";
    } else if (ends("_all_f")) {
        text = "The " + strip("", "_all_f") + " feature set of y: a result with names and values.";
    } else if (full.starts_with("compute_") && ends("_parallel_f")) {
        text = "The " + strip("compute_", "_parallel_f") + " feature set of y: a result with names and values.";
    } else if (ends("_features_f")) {
        text = "The " + strip("", "_features_f") + " features of y as a dict of floats.";
    } else {
        text = "The feature " + strip("", "_f") + " of y as a float.";
    }
    for (std::size_t i = 0; i < param_count; ++i) {
        const Param& p = params[i];
        if (std::string_view(p.name) != "normalize") continue;
        if (p.required) text += " normalize=True z-scores the series first.";
        else if (p.fallback.value_or(0) != 0) text += " The series is z-scored first unless normalize=False.";
        else text += " normalize=True z-scores the series first.";
    }
    return text;
}

bool HeldBuffer::acquire(PyObject* object, int flags) {
    release();
    held_ = PyObject_GetBuffer(object, &view_, flags) == 0;
    return held_;
}

void HeldBuffer::release() {
    if (held_) PyBuffer_Release(&view_);
    held_ = false;
}

namespace {

// ---- binding messages (cold paths) ----

[[gnu::cold]] PyObject* too_many_positional(const Function& f, std::size_t given) {
    const std::size_t n = f.param_count;
    const std::size_t r = f.required_count();
    std::string message = std::string(f.name) + "() takes ";
    message += r == n ? std::to_string(n) : "from " + std::to_string(r) + " to " + std::to_string(n);
    message += " positional arguments but " + std::to_string(given) + (given == 1 ? " was" : " were") + " given";
    return type_error(message);
}

[[gnu::cold]] PyObject* missing_arguments(const Function& f, const std::vector<const char*>& missing) {
    std::string list;
    for (std::size_t i = 0; i < missing.size(); ++i) {
        if (i > 0) {
            if (missing.size() > 2) list += ",";
            list += i + 1 == missing.size() ? " and " : " ";
        }
        list += std::string("'") + missing[i] + "'";
    }
    return type_error(std::string(f.name) + "() missing " + std::to_string(missing.size()) +
                      " required positional " + (missing.size() == 1 ? "argument" : "arguments") + ": " + list);
}

// Rewraps a converter's TypeError as "argument 'p': ..." keeping its cause;
// other exception types pass unchanged.
[[gnu::cold]] void wrap_argument_error(const char* param) {
    PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    if (type != PyExc_TypeError) {
        PyErr_Restore(type, value, traceback);
        return;
    }
    PyErr_NormalizeException(&type, &value, &traceback);
    PyObject* cause = value != nullptr ? PyException_GetCause(value) : nullptr;
    PyObject* text = value != nullptr ? PyObject_Str(value) : nullptr;
    const std::string message = std::string("argument '") + param + "': " + utf8_text(text);
    Py_XDECREF(text);
    PyErr_Clear();
    PyObject* wrapped = PyObject_CallFunction(PyExc_TypeError, "s", message.c_str());
    if (wrapped != nullptr) {
        if (cause != nullptr) PyException_SetCause(wrapped, cause);  // steals cause
        cause = nullptr;
        PyErr_SetObject(PyExc_TypeError, wrapped);
        Py_DECREF(wrapped);
    }
    Py_XDECREF(cause);
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
}

// ---- converters: each returns false with an exception set ----

// The struct-module format of a native item ("d" for float64, "q" or "l" for
// int64), with or without a native byte-order prefix, and its size.
// Inlined: the series path checks one format on every call.
[[gnu::always_inline]] inline bool has_format(const Py_buffer& view, const char* accepted, std::size_t itemsize) {
    const char* format = view.format != nullptr ? view.format : "B";
    if (*format == '<' || *format == '=' || *format == '@') ++format;
    if (view.itemsize != static_cast<Py_ssize_t>(itemsize) || format[0] == '\0' || format[1] != '\0') return false;
    for (; *accepted != '\0'; ++accepted) {
        if (*accepted == format[0]) return true;
    }
    return false;
}

bool holds_doubles(const Py_buffer& view) { return has_format(view, "d", sizeof(double)); }

// Objects exporting a one-dimensional buffer of native doubles (numpy float64
// arrays, array('d'), memoryviews) are read directly, without a copy when the
// data are contiguous and aligned for doubles; the values are those the
// item-by-item path would produce. Misaligned or strided data are copied byte
// by byte, never read in place.
bool read_double_buffer(PyObject* object, SeriesValue& out) {
    if (!PyObject_CheckBuffer(object)) return false;
    HeldBuffer& buffer = out.buffer();
    if (!buffer.acquire(object, PyBUF_RECORDS_RO)) {
        PyErr_Clear();
        return false;
    }
    const Py_buffer& view = buffer.view();
    if (view.ndim != 1 || !holds_doubles(view) || view.shape == nullptr || view.strides == nullptr ||
        view.shape[0] < 0 || view.suboffsets != nullptr) {
        buffer.release();
        return false;
    }
    const auto n = static_cast<std::size_t>(view.shape[0]);
    const Py_ssize_t stride = view.strides[0];
    const bool aligned = reinterpret_cast<std::uintptr_t>(view.buf) % alignof(double) == 0;
    if (aligned && (stride == static_cast<Py_ssize_t>(sizeof(double)) || n <= 1)) {
        out.use_buffer(n);
        return true;
    }
    const char* base = static_cast<const char*>(view.buf);
    auto& values = out.storage();
    values.resize(n);
    for (std::size_t i = 0; i < n; ++i) std::memcpy(&values[i], base + static_cast<Py_ssize_t>(i) * stride, sizeof(double));
    buffer.release();
    out.use_storage();
    return true;
}

// A whole dataset's buffer, read in place: C-contiguous, native items of the
// given format, suitably aligned. The caller must not resize it during the call.
bool hold_contiguous(PyObject* object, HeldBuffer& buffer, const char* format, std::size_t itemsize,
                     const char* what) {
    if (!buffer.acquire(object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return false;
    const Py_buffer& view = buffer.view();
    if (!has_format(view, format, itemsize) || reinterpret_cast<std::uintptr_t>(view.buf) % itemsize != 0) {
        buffer.release();
        type_error(std::string("expected an aligned, C-contiguous buffer of ") + what);
        return false;
    }
    return true;
}

bool convert_doubles(PyObject* object, SeriesValue& out) {
    if (!hold_contiguous(object, out.buffer(), "d", sizeof(double), "float64")) return false;
    out.use_buffer(static_cast<std::size_t>(out.buffer().view().len) / sizeof(double));
    return true;
}

bool convert_int64s(PyObject* object, Value& out) {
    if (!hold_contiguous(object, out.series.buffer(), "ql", sizeof(std::int64_t), "int64")) return false;
    const Py_buffer& view = out.series.buffer().view();
    out.dataset->int64s = {static_cast<const std::int64_t*>(view.buf), static_cast<std::size_t>(view.len) / sizeof(std::int64_t)};
    return true;
}

bool convert_callback(PyObject* object, Value& out) {
    if (object != Py_None && !PyCallable_Check(object)) {
        type_error("'" + type_qualname(object) + "' object is not callable");
        return false;
    }
    out.object = object;
    return true;
}

bool append_number(PyObject* item, std::vector<double>& out) {
    const double v = PyFloat_AsDouble(item);
    if (v == -1.0 && PyErr_Occurred()) return false;
    out.push_back(v);
    return true;
}

// Exact lists are indexed rather than iterated (no iterator object). Exact
// floats run no Python code, so their borrowed references stay valid; any other
// item is held while converted, and the size is re-read in case its __float__
// shrinks the list.
bool read_exact_list(PyObject* list, std::vector<double>& out) {
    for (Py_ssize_t i = 0; i < PyList_Size(list); ++i) {
        PyObject* item = PyList_GetItem(list, i);
        if (item == nullptr) return false;
        if (PyFloat_CheckExact(item)) {
            out.push_back(PyFloat_AsDouble(item));
            continue;
        }
        Py_INCREF(item);
        const bool ok = append_number(item, out);
        Py_DECREF(item);
        if (!ok) return false;
    }
    return true;
}

bool read_iterable(PyObject* object, std::vector<double>& out) {
    PyObject* iterator = PyObject_GetIter(object);
    if (iterator == nullptr) return false;
    bool ok = true;
    while (PyObject* item = PyIter_Next(iterator)) {
        ok = append_number(item, out);
        Py_DECREF(item);
        if (!ok) break;
    }
    Py_DECREF(iterator);
    return ok && !PyErr_Occurred();
}

bool convert_series(PyObject* object, SeriesValue& out) {
    if (PyUnicode_Check(object)) {
        type_error("Can't extract `str` to `Vec`");
        return false;
    }
    if (!PySequence_Check(object)) {
        type_error("'" + type_qualname(object) + "' object cannot be converted to 'Sequence'");
        return false;
    }
    if (read_double_buffer(object, out)) return true;
    Py_ssize_t hint = PySequence_Size(object);
    if (hint < 0) {
        PyErr_Clear();
        hint = 0;
    }
    // Lists and tuples hold their items; any other object's length is only a
    // claim, so at most a small first block is reserved and the rest grows with
    // what the iteration really yields.
    constexpr Py_ssize_t trusted_hint = 4096;
    if (!PyList_CheckExact(object) && !PyTuple_CheckExact(object)) hint = std::min(hint, trusted_hint);
    auto& values = out.storage();
    values.reserve(static_cast<std::size_t>(hint));
    const bool ok = PyList_CheckExact(object) ? read_exact_list(object, values) : read_iterable(object, values);
    if (!ok) {
        ensure_error_set();
        values = {};
    }
    out.use_storage();
    return ok;
}

std::string type_attribute(PyObject* type, const char* attribute) {
    std::string result;
    if (PyObject* value = PyObject_GetAttrString(type, attribute)) {
        if (PyUnicode_Check(value)) result = utf8_text(value);
        Py_DECREF(value);
    }
    PyErr_Clear();
    return result;
}

bool is_numpy_bool(PyObject* object) {
    auto* type = reinterpret_cast<PyObject*>(Py_TYPE(object));
    const std::string name = type_attribute(type, "__name__");
    return (name == "bool_" || name == "bool") && type_attribute(type, "__module__") == "numpy";
}

bool convert_flag(PyObject* object, bool& out) {
    if (object == Py_True || object == Py_False) {
        out = object == Py_True;
        return true;
    }
    if (is_numpy_bool(object)) {
        auto to_bool = reinterpret_cast<inquiry>(PyType_GetSlot(Py_TYPE(object), Py_nb_bool));
        if (to_bool == nullptr) {
            type_error("object of type '" + type_qualname(object) + "' does not define a '__bool__' conversion");
            return false;
        }
        const int truth = to_bool(object);
        if (truth < 0) return false;
        out = truth != 0;
        return true;
    }
    type_error("'" + type_qualname(object) + "' object cannot be converted to 'PyBool'");
    return false;
}

bool convert_count(PyObject* object, std::optional<std::uint64_t>& out) {
    PyObject* integer = PyLong_Check(object) ? Py_NewRef(object) : PyNumber_Index(object);
    if (integer == nullptr) return false;
    const unsigned long long value = PyLong_AsUnsignedLongLong(integer);
    Py_DECREF(integer);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    out = value;
    return true;
}

bool convert_small_int(PyObject* object, std::int32_t& out) {
    const long value = PyLong_AsLong(object);
    if (value == -1 && PyErr_Occurred()) return false;
    if (value < INT32_MIN || value > INT32_MAX) {
        PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

bool convert_text(PyObject* object, std::optional<std::string>& out) {
    if (!PyUnicode_Check(object)) {
        type_error("'" + type_qualname(object) + "' object cannot be converted to 'PyString'");
        return false;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object, &size);
    if (text == nullptr) return false;
    out.emplace(text, static_cast<std::size_t>(size));
    return true;
}

// A str, or a sequence of str items.
bool convert_names(PyObject* object, Value& out) {
    if (PyUnicode_Check(object)) return convert_text(object, out.text);
    if (!PySequence_Check(object)) {
        type_error("'" + type_qualname(object) + "' object is neither a str nor a sequence of str");
        return false;
    }
    const Py_ssize_t n = PySequence_Size(object);
    if (n < 0) return false;
    for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = PySequence_GetItem(object, i);
        if (item == nullptr) return false;
        std::optional<std::string> name;
        const bool ok = convert_text(item, name);
        Py_DECREF(item);
        if (!ok) return false;
        out.dataset->texts.push_back(std::move(*name));
    }
    return true;
}

NamedOption option_value(std::string name, PyObject* value) {
    NamedOption option{std::move(name), NamedOption::Type::other, false, std::nullopt};
    if (value == Py_None) {
        option.type = NamedOption::Type::none;
    } else if (PyBool_Check(value)) {
        option.type = NamedOption::Type::boolean;
        option.flag = value == Py_True;
    } else if (PyLong_Check(value)) {
        option.type = NamedOption::Type::integer;
        const unsigned long long n = PyLong_AsUnsignedLongLong(value);
        if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) PyErr_Clear();  // negative or too big
        else option.count = n;
    }
    return option;
}

// None (no options) or a dict with str keys, in the dict's order.
bool convert_options(PyObject* object, std::vector<NamedOption>& out) {
    if (object == Py_None) return true;
    if (!PyDict_Check(object)) {
        type_error("'" + type_qualname(object) + "' object is not a dict");
        return false;
    }
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    Py_ssize_t position = 0;
    while (PyDict_Next(object, &position, &key, &value)) {
        std::optional<std::string> name;
        if (!convert_text(key, name)) return false;
        out.push_back(option_value(std::move(*name), value));
    }
    return true;
}

// Fills `out` from a bound Python value, or from the parameter's fallback when
// the argument was omitted (object == nullptr).
bool convert(const Param& p, PyObject* object, Value& out) {
    const bool none = object == Py_None;
    switch (p.kind) {
        case Kind::series:
            return convert_series(object, out.series);
        case Kind::flag:
            if (object == nullptr) return out.flag = *p.fallback != 0, true;
            return convert_flag(object, out.flag);
        case Kind::opt_flag:
            if (object == nullptr || none) return out.flag = p.fallback.value_or(0) != 0, true;
            return convert_flag(object, out.flag);
        case Kind::count:
            if (object == nullptr) return out.count = static_cast<std::uint64_t>(*p.fallback), true;
            return convert_count(object, out.count);
        case Kind::opt_count:
            if (none) return out.count.reset(), true;
            if (object == nullptr) {
                if (p.fallback) out.count = static_cast<std::uint64_t>(*p.fallback);
                return true;
            }
            return convert_count(object, out.count);
        case Kind::small_int:
            if (object == nullptr) return out.small = static_cast<std::int32_t>(*p.fallback), true;
            return convert_small_int(object, out.small);
        case Kind::text:
            return convert_text(object, out.text);
        case Kind::opt_text:
            if (object == nullptr || none) return true;
            return convert_text(object, out.text);
        case Kind::doubles:
            return convert_doubles(object, out.series);
        case Kind::int64s:
            out.dataset = std::make_unique<DatasetValue>();
            return convert_int64s(object, out);
        case Kind::callback:
            return convert_callback(object == nullptr ? Py_None : object, out);
        case Kind::names:
            out.dataset = std::make_unique<DatasetValue>();
            return convert_names(object, out);
        case Kind::options:
            out.dataset = std::make_unique<DatasetValue>();
            return convert_options(object == nullptr ? Py_None : object, out.dataset->options);
    }
    return false;
}

bool keyword_matches(PyObject* keyword, const char* name) {
    return PyUnicode_CompareWithASCIIString(keyword, name) == 0;
}

}  // namespace

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

PyObject* call_function(const Function& f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    std::array<PyObject*, max_params> slots{};
    const auto given = static_cast<std::size_t>(nargs);
    if (given > f.param_count) return too_many_positional(f, given);
    for (std::size_t i = 0; i < given; ++i) slots[i] = args[i];

    const Py_ssize_t nkw = kwnames != nullptr ? PyTuple_Size(kwnames) : 0;
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* keyword = PyTuple_GetItem(kwnames, k);
        std::size_t i = 0;
        while (i < f.param_count && !keyword_matches(keyword, f.params[i].name)) ++i;
        if (i == f.param_count) {
            return type_error(std::string(f.name) + "() got an unexpected keyword argument '" + utf8_text(keyword, "?") + "'");
        }
        if (slots[i] != nullptr) {
            return type_error(std::string(f.name) + "() got multiple values for argument '" + utf8_text(keyword, "?") + "'");
        }
        slots[i] = args[given + static_cast<std::size_t>(k)];
    }

    std::vector<const char*> missing;
    for (std::size_t i = 0; i < f.required_count(); ++i) {
        if (slots[i] == nullptr) missing.push_back(f.params[i].name);
    }
    if (!missing.empty()) return missing_arguments(f, missing);

    try {
        Args values;
        for (std::size_t i = 0; i < f.param_count; ++i) {
            if (!convert(f.params[i], slots[i], values[i])) {
                ensure_error_set();
                wrap_argument_error(f.params[i].name);
                return nullptr;
            }
        }
        return f.routine(values);
    } catch (...) {
        return raise_current_failure();
    }
}

}  // namespace quorlex::module
