#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

// Threads that work behind the window.
namespace quorbit::platform {

// Lowers the calling thread's priority below the window's, so that on a busy
// machine the window's thread gets the processor first and stays
// responsive while the calling thread lists, sorts or frees. Nothing else
// changes when the system does not allow it.
void yieldToWindow();

// Frees what it is given on a thread of its own below the window's priority:
// a million names take a while to free, and the window's thread would pause
// for it. Handing over never waits for earlier garbage to be freed.
class Disposer {
public:
    Disposer() = default;
    // Frees what is still waiting, then ends the thread.
    ~Disposer();
    Disposer(const Disposer&) = delete;
    Disposer& operator=(const Disposer&) = delete;

    template <class Garbage>
    void dispose(Garbage garbage)
    {
        hand(std::make_shared<Garbage>(std::move(garbage)));
    }

private:
    void hand(std::shared_ptr<void> garbage);
    void work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<void>> m_waiting; // under m_mutex
    bool m_quit = false; // under m_mutex
    std::thread m_thread; // started with the first garbage
};

} // namespace quorbit::platform
