// Python exceptions raised by the boundary: argument errors, the pending-error
// fallback and PanicException for internal failures.
#pragma once

#include <string>

#include "python/python.hpp"

namespace quorlex::module {

// "pyo3_runtime.PanicException" (derives from BaseException): created by
// quorlex on first need; quorlex_batch._engine raises the same class object,
// which it takes from quorlex at import through use_panic_exception_of.
PyObject* panic_exception_type();
bool use_panic_exception_of(const char* module_name);

// Translates the C++ exception being handled into PanicException (writing one
// diagnostic line to stderr) and returns nullptr: allocation failures become
// "memory allocation failed"; an interrupted run leaves the signal handler's
// (or the progress callback's) exception in place. Call from a catch block.
PyObject* raise_current_failure();

// Set TypeError or ValueError with `message` and return nullptr.
PyObject* type_error(const std::string& message);
PyObject* value_error(const std::string& message);

// Ensures an exception is pending after an interpreter call reported failure.
void ensure_error_set();

// The UTF-8 text of a str object, or `fallback` (with the error cleared) when
// it is null or cannot be encoded.
std::string utf8_text(PyObject* text, const std::string& fallback = "");

// The qualified name of an object's type, as used in conversion messages.
std::string type_qualname(PyObject* object);

}  // namespace quorlex::module
