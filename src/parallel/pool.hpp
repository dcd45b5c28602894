// The process-wide worker pool. Created on the first parallel run with the
// thread count from RAYON_NUM_THREADS, then RAYON_RS_NUM_CPUS (positive decimal
// integers only), then the number of logical processors. Nested runs are fine:
// a waiting thread executes other pending work meanwhile.
#pragma once

#include <cstddef>
#include <functional>

namespace quorlex::parallel {

std::size_t thread_count();

// Runs body(i) for every i in [0, n) on the pool and returns when all are done.
// When bodies fail, the failure of the lowest index reaches the caller once
// every index has run.
void for_each_index(std::size_t n, const std::function<void(std::size_t)>& body);

}  // namespace quorlex::parallel
