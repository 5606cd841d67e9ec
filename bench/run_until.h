#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <thread>

namespace taxi::bench {

// Runs the event loop of this thread, the in-process service's, until the condition holds or the time is
// up; false when the time ran out. Unlike a test's wait, this sleeps only in the event loop itself, so the
// service answers at once and not after its waiter's next nap.
bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// Runs the work on a thread of its own while this thread's event loop keeps running (the service idles on
// with its tick), and returns the work's result or throws its exception.
template <typename Work> auto runBeside(Work work) -> decltype(work()) {
    std::optional<decltype(work())> result;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    runUntil([&] { return done.load(); }, std::chrono::hours(24));
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
    return std::move(*result);
}

} // namespace taxi::bench
