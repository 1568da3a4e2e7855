#include "platform/background.h"

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

void freeSmallBlocksAtOnce()
{
#ifdef __GLIBC__
    (void)mallopt(M_MXFAST, 0);
#endif
}

void returnFreedMemory()
{
#ifdef __GLIBC__
    (void)malloc_trim(0);
#endif
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
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_quit || !m_waiting.empty(); });
        if (m_waiting.empty()) {
            return; // asked to quit with nothing left
        }
        std::shared_ptr<void> garbage = std::move(m_waiting.front());
        m_waiting.pop_front();
        lock.unlock();
        garbage.reset();
        returnFreedMemory();
        lock.lock();
    }
}

} // namespace quorbit::platform
