// The digamma function psi(x) = d/dx ln Gamma(x) for x > 0.
#pragma once

#include <cstddef>
#include <vector>

namespace quorlex::hctsa {

double digamma(double x);

// psi(0 .. count-1) with psi(0) left NaN: the values digamma() gives at each
// whole number, for estimators that look them up many times.
std::vector<double> digamma_table(std::size_t count);

}  // namespace quorlex::hctsa
