#include "python/errors.hpp"

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

// The interpreter lock serialises first use, so a plain static suffices; the
// class lives as long as the process.
PyObject* panic_type = nullptr;

}  // namespace

PyObject* panic_exception_type() {
    if (panic_type == nullptr) {
        // "pyo3_runtime" is the module name callers already match on, kept as it is.
        panic_type = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc, PyExc_BaseException, nullptr);
    }
    return panic_type;
}

bool use_panic_exception_of(const char* module_name) {
    if (panic_type != nullptr) return true;
    PyObject* module = PyImport_ImportModule(module_name);
    if (module == nullptr) return false;
    panic_type = PyObject_GetAttrString(module, "PanicException");
    Py_DECREF(module);
    return panic_type != nullptr;
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

PyObject* value_error(const std::string& message) {
    PyErr_SetString(PyExc_ValueError, message.c_str());
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
