// The five read-only result classes: parallel lists of names and values.
#pragma once

#include "module/binding.hpp"
#include "module/python.hpp"
#include "parallel/common.hpp"

namespace quorlex::module {

// The class object, created on first need; an internal failure (with the
// Python error reported as unraisable) if it cannot be built.
PyObject* result_type(ResultClass cls);

// New result objects owning the record; nullptr with an exception set on failure.
PyObject* make_feature_set(ResultClass cls, parallel::FeatureSet record);
PyObject* make_cumulative(parallel::CumulativeTable record);

}  // namespace quorlex::module
