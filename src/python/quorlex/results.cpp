#include "python/quorlex/results.hpp"

#include <string>
#include <string_view>
#include <utility>

#include "helpers/failure.hpp"
#include "python/errors.hpp"

namespace quorlex::module {

namespace {

template <class Record>
struct ResultObject {
    PyObject_HEAD
    Record* record;
};

using SetObject = ResultObject<parallel::FeatureSet>;
using CumulativeObject = ResultObject<parallel::CumulativeTable>;

// A new list holding make(item) for every item; nullptr if any fails.
template <class Items, class Make>
PyObject* list_of(const Items& items, Make make) {
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < items.size(); ++i) {
        PyObject* item = make(items[i]);
        if (item == nullptr) {
            Py_DECREF(list);
            return nullptr;
        }
        PyList_SetItem(list, static_cast<Py_ssize_t>(i), item);
    }
    return list;
}

PyObject* float_list(const std::vector<double>& values) { return list_of(values, PyFloat_FromDouble); }

PyObject* row_lists(const std::vector<std::vector<double>>& rows) { return list_of(rows, float_list); }

// A getter builds a fresh list from the record, which never changes.
template <class Object, class Build>
PyObject* read(PyObject* self, Build build) {
    return build(*reinterpret_cast<Object*>(self)->record);
}

PyObject* get_names(PyObject* self, void*) {
    return read<SetObject>(self, [](const parallel::FeatureSet& r) { return string_list(r.names); });
}
PyObject* get_values(PyObject* self, void*) {
    return read<SetObject>(self, [](const parallel::FeatureSet& r) { return float_list(r.values); });
}
PyObject* get_feature_names(PyObject* self, void*) {
    return read<CumulativeObject>(self, [](const parallel::CumulativeTable& r) { return string_list(r.feature_names); });
}
PyObject* get_rows(PyObject* self, void*) {
    return read<CumulativeObject>(self, [](const parallel::CumulativeTable& r) { return row_lists(r.rows); });
}

// "<Catch22Result: 20 features, DN_HistogramMode_5=0.52, ...>": the class, the
// count and the first names with their values.
constexpr std::size_t repr_items = 3;

std::string number_text(double value) {
    char* text = PyOS_double_to_string(value, 'r', 0, Py_DTSF_ADD_DOT_0, nullptr);  // as repr(float)
    if (text == nullptr) {
        PyErr_Clear();
        return "?";
    }
    std::string out = text;
    PyMem_Free(text);
    return out;
}

PyObject* repr_text(PyObject* self, const std::string& body) {
    const std::string text = "<" + type_qualname(self) + ": " + body + ">";
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

PyObject* set_repr(PyObject* self) {
    const parallel::FeatureSet& r = *reinterpret_cast<SetObject*>(self)->record;
    std::string body = std::to_string(r.names.size()) + (r.names.size() == 1 ? " feature" : " features");
    for (std::size_t i = 0; i < r.names.size() && i < repr_items; ++i) {
        body += (i == 0 ? ": " : ", ") + r.names[i] + "=" + (i < r.values.size() ? number_text(r.values[i]) : "?");
    }
    if (r.names.size() > repr_items) body += ", ...";
    return repr_text(self, body);
}

PyObject* cumulative_repr(PyObject* self) {
    const parallel::CumulativeTable& r = *reinterpret_cast<CumulativeObject*>(self)->record;
    std::string body = std::to_string(r.rows.size()) + " rows x " + std::to_string(r.feature_names.size()) + " columns";
    // The values shown are those of the last row: the whole series.
    const std::vector<double>* last = r.rows.empty() ? nullptr : &r.rows.back();
    for (std::size_t i = 0; i < r.feature_names.size() && i < repr_items; ++i) {
        body += (i == 0 ? ": " : ", ") + r.feature_names[i];
        if (last != nullptr && i < last->size()) body += "=" + number_text((*last)[i]);
    }
    if (r.feature_names.size() > repr_items) body += ", ...";
    return repr_text(self, body);
}

template <class Object>
void dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    delete reinterpret_cast<Object*>(self)->record;
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DECREF(type);
}

PyGetSetDef set_getters[] = {
    {"names", get_names, nullptr, "", nullptr},
    {"values", get_values, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};
PyGetSetDef cumulative_getters[] = {
    {"feature_names", get_feature_names, nullptr, "", nullptr},
    {"values", get_rows, nullptr, "", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot set_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc<SetObject>)},
    {Py_tp_getset, set_getters},
    {Py_tp_repr, reinterpret_cast<void*>(set_repr)},
    {0, nullptr},
};
PyType_Slot cumulative_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc<CumulativeObject>)},
    {Py_tp_getset, cumulative_getters},
    {Py_tp_repr, reinterpret_cast<void*>(cumulative_repr)},
    {0, nullptr},
};

constexpr unsigned int flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION;

PyType_Spec specs[] = {
    {"builtins.Catch22Result", sizeof(SetObject), 0, flags, set_slots},
    {"builtins.CumulativeFeatures", sizeof(CumulativeObject), 0, flags, cumulative_slots},
    {"builtins.TSFeaturesResult", sizeof(SetObject), 0, flags, set_slots},
    {"builtins.CombinedResult", sizeof(SetObject), 0, flags, set_slots},
    {"builtins.HCTSAResult", sizeof(SetObject), 0, flags, set_slots},
};

template <class Object, class Record>
PyObject* make(ResultClass cls, Record&& record) {
    PyObject* type = result_type(cls);
    if (type == nullptr) return nullptr;
    auto* tp = reinterpret_cast<PyTypeObject*>(type);
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(tp, Py_tp_alloc));
    if (alloc == nullptr) alloc = PyType_GenericAlloc;
    PyObject* self = alloc(tp, 0);
    if (self == nullptr) {
        ensure_error_set();
        return nullptr;
    }
    auto* object = reinterpret_cast<Object*>(self);
    try {
        object->record = new std::decay_t<Record>(std::forward<Record>(record));
    } catch (...) {
        object->record = nullptr;
        Py_DECREF(self);
        throw;
    }
    return self;
}

}  // namespace

PyObject* result_type(ResultClass cls) {
    // Guarded by the interpreter lock; each class is built once per process.
    static PyObject* types[std::size(specs)] = {};
    const auto i = static_cast<std::size_t>(cls);
    if (types[i] == nullptr) {
        types[i] = PyType_FromSpec(&specs[i]);
        if (types[i] == nullptr) {
            PyErr_WriteUnraisable(nullptr);
            const std::string name = std::string(specs[i].name).substr(std::string("builtins.").size());
            throw Failure("failed to create type object for `" + name + "`");
        }
    }
    return types[i];
}

const char* result_class_name(ResultClass cls) {
    return specs[static_cast<std::size_t>(cls)].name + std::string_view("builtins.").size();
}

PyObject* make_feature_set(ResultClass cls, parallel::FeatureSet record) {
    return make<SetObject>(cls, std::move(record));
}

PyObject* make_cumulative(parallel::CumulativeTable record) {
    return make<CumulativeObject>(ResultClass::cumulative, std::move(record));
}

}  // namespace quorlex::module
