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

DetachedJobs::DetachedJobs(std::size_t threads)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->mostThreads = threads;
}

DetachedJobs::~DetachedJobs()
{
    // Long enough for a listing of a folder that answers; short beside the
    // wait for one that does not.
    constexpr std::chrono::milliseconds patience{250};
    std::deque<std::function<void(Shared&)>> dropped;
    std::unique_lock lock(m_shared->mutex);
    m_shared->ownerAlive = false;
    dropped.swap(m_shared->waiting);
    m_shared->ended.wait_for(lock, patience, [this] { return m_shared->threads == 0; });
}

void DetachedJobs::add(std::function<void(Shared&)> job)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->waiting.push_back(std::move(job));
    if (m_shared->threads < m_shared->mostThreads) {
        ++m_shared->threads;
        std::thread([shared = m_shared] { work(shared); }).detach();
    }
}

void DetachedJobs::work(const std::shared_ptr<Shared>& shared)
{
    yieldToWindow();
    std::unique_lock lock(shared->mutex);
    while (!shared->waiting.empty()) {
        std::function<void(Shared&)> job = std::move(shared->waiting.front());
        shared->waiting.pop_front();
        lock.unlock();
        job(*shared);
        job = nullptr; // what the job holds goes here, off the window's thread
        lock.lock();
    }
    --shared->threads;
    shared->ended.notify_all();
}

void DetachedJobs::handOver(Shared& shared, const std::function<void()>& deliver)
{
    const std::lock_guard lock(shared.mutex);
    if (shared.ownerAlive) {
        deliver();
    }
}

} // namespace quorbit::platform
