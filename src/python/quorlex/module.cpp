// The quorlex extension module: the function table of functions.cpp, the
// version and the PanicException class.
#include "python/errors.hpp"
#include "python/module.hpp"

namespace quorlex::module {

namespace {

PyModuleDef quorlex_definition = {
    PyModuleDef_HEAD_INIT, "quorlex", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The version and the exception class are plain attributes, outside __all__:
// the public names stay the table's.
bool add_version_and_panic(PyObject* module) {
    return PyModule_AddStringConstant(module, "__version__", QUORLEX_VERSION) == 0 &&
           add_attribute(module, "PanicException", panic_exception_type());
}

}  // namespace

}  // namespace quorlex::module

PyMODINIT_FUNC PyInit_quorlex() {
    return quorlex::module::init_module(quorlex::module::quorlex_definition, quorlex::module::add_version_and_panic);
}
