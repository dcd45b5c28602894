#include "python/pool_run.hpp"

#include <exception>

#include "parallel/pool.hpp"

namespace quorlex::module {

void run_on_pool(Lock lock, const std::function<void()>& work, PyObject* progress,
                 const std::atomic<std::size_t>* done) {
    const bool reports = progress != nullptr && progress != Py_None && done != nullptr;
    std::size_t reported = 0;
    const auto report = [&]() -> bool {
        if (!reports) return true;
        const std::size_t now = done->load(std::memory_order_relaxed);
        if (now == reported) return true;
        PyObject* result = PyObject_CallFunction(progress, "n", static_cast<Py_ssize_t>(now - reported));
        reported = now;
        Py_XDECREF(result);
        return result != nullptr;
    };
    PyObject *stop_type = nullptr, *stop_value = nullptr, *stop_traceback = nullptr;
    const auto should_stop = [&]() -> bool {
        const PyGILState_STATE state = PyGILState_Ensure();
        const bool stop = PyErr_CheckSignals() < 0 || !report();
        if (stop) PyErr_Fetch(&stop_type, &stop_value, &stop_traceback);
        PyGILState_Release(state);
        return stop;
    };

    std::exception_ptr failure;
    PyThreadState* released = lock == Lock::released ? PyEval_SaveThread() : nullptr;
    try {
        parallel::run_interruptible(work, should_stop);
    } catch (...) {
        failure = std::current_exception();
    }
    if (released != nullptr) PyEval_RestoreThread(released);
    if (stop_type != nullptr) {
        PyErr_Restore(stop_type, stop_value, stop_traceback);
        throw parallel::Interrupted();
    }
    if (failure) std::rethrow_exception(failure);
    if (!report()) throw parallel::Interrupted();  // the callback's exception is set
}

}  // namespace quorlex::module
