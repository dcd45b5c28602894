// The one include of the interpreter's API; the build defines Py_LIMITED_API
// (abi3, 3.11) so only the stable ABI is used.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
