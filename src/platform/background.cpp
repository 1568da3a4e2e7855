#include "platform/background.h"

#include <chrono>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quorbit::platform {

void yieldToWindow()
{
    // On Linux a nice value set for a thread id is that thread's own.
    // Mild: the window's thread goes first, yet another busy program on the
    // machine does not starve the list's worker or the preview.
    constexpr int backgroundNice = 4;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), backgroundNice);
}

Disposer::~Disposer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void Disposer::hand(std::shared_ptr<void> garbage)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(garbage));
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { work(); });
        }
    }
    m_wake.notify_one();
}

void Disposer::work()
{
    yieldToWindow();
    // A listing hands over several pieces in a row: the memory goes back to
    // the system once, when a pause follows the last.
    constexpr auto settled = std::chrono::milliseconds(200);
    bool freedSinceTrim = false;
    std::unique_lock lock(m_mutex);
    while (true) {
        const auto handed = [this] { return m_quit || !m_waiting.empty(); };
        if (freedSinceTrim && !m_wake.wait_for(lock, settled, handed)) {
            lock.unlock();
            // The allocator keeps what is freed for later; a million names
            // freed would stay in the program's resident memory.
            malloc_trim(0);
            lock.lock();
            freedSinceTrim = false;
        }
        m_wake.wait(lock, handed);
        if (m_waiting.empty()) {
            return; // asked to quit with nothing left
        }
        std::shared_ptr<void> garbage = std::move(m_waiting.front());
        m_waiting.pop_front();
        lock.unlock();
        garbage.reset();
        lock.lock();
        freedSinceTrim = true;
    }
}

} // namespace quorbit::platform
