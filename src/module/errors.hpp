// Python exceptions raised by the boundary: argument errors, the pending-error
// fallback and PanicException for internal failures.
#pragma once

#include <string>

#include "module/python.hpp"

namespace quorlex::module {

// Lazily created "pyo3_runtime.PanicException" (derives from BaseException).
PyObject* panic_exception_type();

// Translates the C++ exception being handled into PanicException (writing one
// diagnostic line to stderr) and returns nullptr; an interrupted run leaves the
// signal handler's exception in place. Call from a catch block.
PyObject* raise_current_failure();

// Sets TypeError with `message` and returns nullptr.
PyObject* type_error(const std::string& message);

// Ensures an exception is pending after an interpreter call reported failure.
void ensure_error_set();

// The UTF-8 text of a str object, or `fallback` (with the error cleared) when
// it is null or cannot be encoded.
std::string utf8_text(PyObject* text, const std::string& fallback = "");

// The qualified name of an object's type, as used in conversion messages.
std::string type_qualname(PyObject* object);

}  // namespace quorlex::module
