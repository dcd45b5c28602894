#include "python/module.hpp"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "python/binding.hpp"
#include "python/errors.hpp"

namespace quorlex::module {

namespace {

constexpr std::size_t max_entries = 96;

template <std::size_t I>
PyObject* entry_point(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_function(module_table()[I].function, args, nargs, kwnames);
}

using FastCall = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

template <std::size_t... I>
constexpr std::array<FastCall, max_entries> make_entry_points(std::index_sequence<I...>) {
    return {&entry_point<I>...};
}

// One distinct C entry point per table row, so that `self` can stay the module.
constexpr auto entry_points = make_entry_points(std::make_index_sequence<max_entries>{});

// Adds `value` (stolen) as attribute `name` and appends the name to __all__.
bool add_public(PyObject* module, const char* name, PyObject* value) {
    if (value == nullptr) return false;
    const int added = PyModule_AddObjectRef(module, name, value);
    Py_DECREF(value);
    if (added < 0) return false;
    PyObject* all = PyObject_GetAttrString(module, "__all__");
    if (all == nullptr) {
        PyErr_Clear();
        all = PyList_New(0);
        if (all == nullptr || PyModule_AddObjectRef(module, "__all__", all) < 0) {
            Py_XDECREF(all);
            return false;
        }
    }
    PyObject* text = PyUnicode_FromString(name);
    const bool ok = text != nullptr && PyList_Append(all, text) == 0;
    Py_XDECREF(text);
    Py_DECREF(all);
    return ok;
}

bool register_all(PyObject* module) {
    static std::vector<std::string> docs;
    static std::vector<PyMethodDef> methods;
    const auto table = module_table();
    if (table.size() > max_entries) {
        PyErr_SetString(PyExc_SystemError, "function table larger than its entry points");
        return false;
    }
    // Method definitions must outlive the function objects: reserve once so
    // that no pointer into these vectors moves.
    docs.clear();
    methods.clear();
    docs.reserve(table.size());
    methods.reserve(table.size());
    PyObject* module_name = PyModule_GetNameObject(module);
    if (module_name == nullptr) return false;
    bool ok = true;
    for (std::size_t i = 0; ok && i < table.size(); ++i) {
        const Entry& entry = table[i];
        if (entry.make_class != nullptr) {
            ok = add_public(module, entry.class_name, entry.make_class());
            continue;
        }
        const Function& f = entry.function;
        docs.push_back(f.text_signature() + "\n--\n\n" + f.summary());
        methods.push_back({f.name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry_points[i])), METH_FASTCALL | METH_KEYWORDS, docs.back().c_str()});
        ok = add_public(module, f.name, PyCFunction_NewEx(&methods.back(), module, module_name));
    }
    Py_DECREF(module_name);
    return ok;
}

}  // namespace

PyObject* init_module(PyModuleDef& definition, bool (*finish)(PyObject* module)) {
    static std::int64_t interpreter_id = -1;
    static PyObject* module = nullptr;
    const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) {
        ensure_error_set();
        return nullptr;
    }
    if (interpreter_id == -1) {
        interpreter_id = id;
    } else if (interpreter_id != id) {
        const std::string message = std::string(definition.m_name) +
                                    " does not support sub-interpreters: it can only be imported in the main interpreter";
        PyErr_SetString(PyExc_ImportError, message.c_str());
        return nullptr;
    }
    if (module == nullptr) {
        PyObject* created = PyModule_Create2(&definition, python_api_version);
        if (created == nullptr) return nullptr;
        if (!register_all(created) || !finish(created)) {
            Py_DECREF(created);
            return nullptr;
        }
        module = created;
    }
    return Py_NewRef(module);
}

bool add_attribute(PyObject* module, const char* name, PyObject* value) {
    return value != nullptr && PyModule_AddObjectRef(module, name, value) == 0;
}

}  // namespace quorlex::module
