#include "module/errors.hpp"

#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>

#include "helpers/failure.hpp"
#include "parallel/pool.hpp"

namespace quorlex::module {

namespace {
constexpr const char* panic_doc =
    "\n"
    "The exception raised when quorlex's native code fails internally.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the Python interpreter to exit.\n";

constexpr const char* fallback_message = "quorlex's native code failed without a message";

PyObject* raise_panic(const std::string& message) {
    std::fprintf(stderr, "quorlex: internal failure: %s\n", message.c_str());
    std::fflush(stderr);
    PyObject* type = panic_exception_type();
    if (type == nullptr) return nullptr;
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (text == nullptr) return nullptr;
    PyErr_SetObject(type, text);
    Py_DECREF(text);
    return nullptr;
}
}  // namespace

PyObject* panic_exception_type() {
    // The interpreter lock serialises first use, so a plain static suffices.
    static PyObject* type = nullptr;
    if (type == nullptr) {
        // "pyo3_runtime" is the module name callers already match on, kept as it is.
        type = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc, PyExc_BaseException, nullptr);
    }
    return type;
}

PyObject* raise_current_failure() {
    try {
        throw;
    } catch (const parallel::Interrupted&) {
        // The signal handler's exception (KeyboardInterrupt) is already set.
        ensure_error_set();
        return nullptr;
    } catch (const Failure& failure) {
        return raise_panic(failure.what());
    } catch (const std::bad_alloc&) {
        return raise_panic("memory allocation failed");
    } catch (const std::length_error&) {  // a container asked for more than it can ever hold
        return raise_panic("memory allocation failed");
    } catch (const std::exception& error) {
        const std::string what = error.what();
        return raise_panic(what.empty() ? fallback_message : what);
    } catch (...) {
        return raise_panic(fallback_message);
    }
}

PyObject* type_error(const std::string& message) {
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return nullptr;
}

void ensure_error_set() {
    if (!PyErr_Occurred()) {
        PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
    }
}

std::string utf8_text(PyObject* text, const std::string& fallback) {
    Py_ssize_t size = 0;
    const char* utf8 = text != nullptr ? PyUnicode_AsUTF8AndSize(text, &size) : nullptr;
    if (utf8 == nullptr) {
        PyErr_Clear();
        return fallback;
    }
    return std::string(utf8, static_cast<std::size_t>(size));
}

std::string type_qualname(PyObject* object) {
    PyObject* name = PyType_GetQualName(Py_TYPE(object));
    std::string result = utf8_text(name, "?");
    Py_XDECREF(name);
    return result;
}

}  // namespace quorlex::module
