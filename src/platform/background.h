#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

// Threads that work behind the window.
namespace quorbit::platform {

// Lowers the calling thread's priority below the window's, so that on a busy
// machine the window's thread gets the processor first and stays
// responsive while the calling thread lists, sorts or frees. Nothing else
// changes when the system does not allow it.
void yieldToWindow();

// Has the allocator take every freed block back at once. Left to itself, the
// C library keeps small freed blocks aside and sorts them all in one sweep
// later, holding the lock of their memory meanwhile: after the names of a
// listing of a million entries were freed, that sweep kept the window's
// thread waiting for a quarter of a second. Called once, at start.
void freeSmallBlocksAtOnce();

// Gives the memory freed so far back to the system. Otherwise the peak of
// listing or planning a huge folder, freed since, stays with the program for
// as long as it runs. A few milliseconds after a million entries: called off
// the window's thread, once a job has freed what it no longer needs.
void returnFreedMemory();

// Calls work(begin, end, onCallingThread) over the numbers 0 to `count`: from
// `fewestToSplit` on, in two halves at once, the second on a thread of its
// own, so a job over a million entries has both of the machine's cores.
// Returns where the second half begins (`count` when not split).
template <class Work>
std::size_t inTwoHalves(std::size_t count, std::size_t fewestToSplit, Work work)
{
    const std::size_t half = count < fewestToSplit ? count : count / 2;
    std::thread second;
    if (half < count) {
        second = std::thread([&] { work(half, count, false); });
    }
    work(0, half, true);
    if (second.joinable()) {
        second.join();
    }
    return half;
}

// Frees what it is given on a thread of its own below the window's priority:
// a million names take a while to free, and the window's thread would pause
// for it. Handing over never waits for earlier garbage to be freed. The memory
// freed is given back to the system.
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

// Jobs that may wait on a file system for as long as it takes to answer, on
// threads of their own: a drive that stops answering holds up only the jobs on
// it, never the window, and the jobs on other drives go on beside them. At
// most `threads` jobs run at once and the others wait their turn, so a burst
// of jobs (every sub-folder of a large folder listed) makes no burst of
// threads; the owner keeps the jobs that may wait few (one listing of a folder
// at a time, say), so that they never take every thread.
class DetachedJobs {
public:
    explicit DetachedJobs(std::size_t threads = 32);
    // No result is handed over from now on, and jobs not begun are dropped.
    // Waits a moment for the jobs under way, so that a quick one does not
    // outlive the program's end; a job that waits for a drive goes on alone
    // and ends when the drive answers.
    ~DetachedJobs();
    DetachedJobs(const DetachedJobs&) = delete;
    DetachedJobs& operator=(const DetachedJobs&) = delete;

    // Calls work() on a thread below the window's priority, then deliver()
    // with its result (none for a void work) on that same thread, unless this
    // object is gone by then: its destructor waits for a delivery under way,
    // so deliver() may post to an object that owns this one. What both hold is
    // freed on that thread too.
    template <class Work, class Deliver>
    void run(Work work, Deliver deliver)
    {
        auto job = std::make_shared<std::pair<Work, Deliver>>(std::move(work), std::move(deliver));
        add([job = std::move(job)](Shared& shared) {
            if constexpr (std::is_void_v<decltype(job->first())>) {
                job->first();
                handOver(shared, [&] { job->second(); });
            } else {
                auto result = job->first();
                handOver(shared, [&] { job->second(std::move(result)); });
            }
        });
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        std::deque<std::function<void(Shared&)>> waiting; // under mutex
        std::size_t threads = 0; // running, under mutex
        std::size_t mostThreads = 0;
        bool ownerAlive = true; // under mutex
    };
    void add(std::function<void(Shared&)> job);
    static void work(const std::shared_ptr<Shared>& shared);
    static void handOver(Shared& shared, const std::function<void()>& deliver);

    std::shared_ptr<Shared> m_shared;
};

} // namespace quorbit::platform
