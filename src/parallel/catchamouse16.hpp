// The catchaMouse16 task list of the combined run.
#pragma once

#include "parallel/common.hpp"

namespace quorlex::parallel {

// The 19 catchaMouse16 tasks in result order; every one uses the normalize
// flag. Built once.
const TaskList& catchamouse16_tasks();

}  // namespace quorlex::parallel
