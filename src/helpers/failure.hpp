// The one internal-failure type. Feature code throws it for impossible states
// (an index past the end, an explicit stop); the module boundary turns it into
// PanicException, and the worker pool carries it back to the calling thread.
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
