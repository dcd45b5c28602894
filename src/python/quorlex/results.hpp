// The five read-only result classes: parallel lists of names and values.
#pragma once

#include <cstdint>

#include "python/binding.hpp"
#include "python/python.hpp"
#include "parallel/common.hpp"

namespace quorlex::module {

// The result classes, in the order they appear among the module's attributes.
enum class ResultClass : std::uint8_t { catch22, cumulative, tsfeatures, combined, hctsa };

// The class object, created on first need; an internal failure (with the
// Python error reported as unraisable) if it cannot be built.
PyObject* result_type(ResultClass cls);
// Its name ("Catch22Result", ...).
const char* result_class_name(ResultClass cls);

// New result objects owning the record; nullptr with an exception set on failure.
PyObject* make_feature_set(ResultClass cls, parallel::FeatureSet record);
PyObject* make_cumulative(parallel::CumulativeTable record);

}  // namespace quorlex::module
