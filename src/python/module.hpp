// Creating an extension module from its function table: one module object per
// process, refused in a second interpreter, holding the table's functions and
// classes in order (their names in __all__).
#pragma once

#include "python/python.hpp"

namespace quorlex::module {

// The C API version the module definitions declare (PYTHON_API_VERSION, which
// the limited API does not define); the interpreter only warns on a mismatch.
inline constexpr int python_api_version = 1013;

// The module of `definition` (a new reference), created on the first call from
// module_table(); `finish` then adds the attributes outside the table, and a
// module it fails on is released. Nullptr with an exception set on failure.
PyObject* init_module(PyModuleDef& definition, bool (*finish)(PyObject* module));

// Adds `value` (borrowed; null means an exception is set) as attribute `name`,
// outside __all__.
bool add_attribute(PyObject* module, const char* name, PyObject* value);

}  // namespace quorlex::module
