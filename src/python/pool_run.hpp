// Every run on the worker pool that a Python call starts goes through here,
// under one rule for the interpreter lock: quorlex's functions keep it for the
// whole call (calls from several Python threads run one after another), the
// batch engine's release it while the pool works (other Python threads run
// meanwhile). Either way the calling thread only waits, and about every 20 ms,
// holding the lock, it runs the signal handlers and reports progress.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "python/python.hpp"

namespace quorlex::module {

enum class Lock : bool { held, released };

// Runs work() on the pool. `progress`, when not null or None, is called with
// the growth of `done` since its last call. A signal handler's exception
// (KeyboardInterrupt from Ctrl-C) or a failing progress callback stops the
// run: once the pool has drained, that exception is set and
// parallel::Interrupted thrown. A failure of work() propagates as thrown.
void run_on_pool(Lock lock, const std::function<void()>& work, PyObject* progress = nullptr,
                 const std::atomic<std::size_t>* done = nullptr);

}  // namespace quorlex::module
