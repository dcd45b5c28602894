#include "catchamouse16/gsl_support.hpp"

#include <gsl/gsl_errno.h>

namespace quorlex::catchamouse16::gsl {

void errors_off() {
    static const bool done = [] {
        gsl_set_error_handler_off();
        return true;
    }();
    (void)done;
}

}  // namespace quorlex::catchamouse16::gsl
