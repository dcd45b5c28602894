// Owning handles for the GSL objects one call creates, so every path frees
// them, and the switch that makes GSL report errors by status instead of
// aborting the process.
#pragma once

#include <memory>

#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit.h>
#include <gsl/gsl_rng.h>
#include <gsl/gsl_vector.h>

namespace quorlex::catchamouse16::gsl {

// Turns the GSL error handler off once per process (the switch is a process
// global, so it is not written again from concurrent calls).
void errors_off();

struct Free {
    void operator()(gsl_rng* p) const { gsl_rng_free(p); }
    void operator()(gsl_vector* p) const { gsl_vector_free(p); }
    void operator()(gsl_matrix* p) const { gsl_matrix_free(p); }
    void operator()(gsl_multifit_robust_workspace* p) const { gsl_multifit_robust_free(p); }
};

using Rng = std::unique_ptr<gsl_rng, Free>;
using Vector = std::unique_ptr<gsl_vector, Free>;
using Matrix = std::unique_ptr<gsl_matrix, Free>;
using RobustWorkspace = std::unique_ptr<gsl_multifit_robust_workspace, Free>;

}  // namespace quorlex::catchamouse16::gsl
