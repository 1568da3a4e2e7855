#include "cli/terminalprogress.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace quorbit::cli {

namespace {

// Lock-free, so the signal handler may set it; a preview polls it from its own threads.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void noteInterrupt(int)
{
    g_interrupted.store(true, std::memory_order_relaxed);
}

} // namespace

TerminalProgress::TerminalProgress(std::string doing)
    : m_doing(std::move(doing))
    , m_start(std::chrono::steady_clock::now())
    , m_terminal(isatty(STDERR_FILENO))
{
}

TerminalProgress::~TerminalProgress()
{
    hideProgress();
}

void TerminalProgress::setProgressPosition(int position)
{
    // The run reports after every move; the line changes only with its
    // percentage. A strip is set to 0 as it closes, which is no news.
    if (!m_terminal || position == m_position || position == 0) {
        return;
    }
    m_position = position;
    if (!m_shown && std::chrono::steady_clock::now() - m_start < std::chrono::seconds(1)) {
        return;
    }
    m_shown = true;
    std::fprintf(stderr, "\r%s… %3d %%", m_doing.c_str(), position);
    std::fflush(stderr);
}

void TerminalProgress::hideProgress()
{
    if (m_shown) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        m_shown = false;
    }
    m_position = -1;
}

bool TerminalProgress::stopRequested()
{
    return interrupted();
}

void stopOnInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

const std::atomic<bool>& interruptRequest()
{
    return g_interrupted;
}

bool interrupted()
{
    return g_interrupted.load(std::memory_order_relaxed);
}

} // namespace quorbit::cli
