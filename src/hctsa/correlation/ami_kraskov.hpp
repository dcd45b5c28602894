// Nearest-neighbour (Kraskov, first algorithm) estimate of the mutual
// information of paired samples, with k = 4 neighbours in the maximum norm.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "helpers/series.hpp"

namespace quorlex::hctsa {

// For each point j: eps = the fourth-smallest max-norm distance to the other
// points; nx, nz = how many other points lie strictly within eps in x, in z.
// Result psi(4) - S / N + psi(N) with S the sum over j, in point order, of
// psi(nx + 1) + psi(nz + 1). NaN for fewer than 5 points. x and z have equal
// length N and finite values; psi is digamma_table(m) for some m > N.
double ami_kraskov(Series x, Series z, std::span<const double> psi);

// The same for x = y[0 .. n-lag), z = y[lag .. n), given value_order(y): the
// indices of y in ascending order of value, shared by every lag.
std::vector<std::size_t> value_order(Series y);
double ami_kraskov_lagged(Series y, std::span<const std::size_t> order, std::size_t lag,
                          std::span<const double> psi);

}  // namespace quorlex::hctsa
