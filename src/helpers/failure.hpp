// The one internal-failure type: every failure the boundary reports as
// PanicException rather than as a Python argument error. Kernels throw it for
// impossible states (an index past the end, a broken invariant) and for input
// a routine cannot serve that no binding rule screens out: a zero window
// count or frequency, an empty series where a transform needs values, a
// length past a transform's limit, an unknown method name. The worker pool
// carries it back to the calling thread.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace quorlex {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& message);

// "index out of bounds: the len is L but the index is I"
[[noreturn]] void fail_index(std::size_t len, std::size_t index);

// Checked element access for places where an index can run past the end.
template <class Container>
decltype(auto) at(Container& c, std::size_t i) {
    if (i >= c.size()) fail_index(c.size(), i);
    return c[i];
}

}  // namespace quorlex
