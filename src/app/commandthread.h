#pragma once

#include "rename/renamerun.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>

class QProgressBar;
class QWidget;

// A command of the window (a run, a Sort, an undo) runs on a thread of its
// own while the window's thread turns its event loop, so the window repaints
// and answers throughout; only a close is taken meanwhile.
namespace quorbit {

// Runs `work` on a thread of its own and gives its result, turning the
// event loop meanwhile so the window stays live. What `work` holds is freed
// on that thread too: a million names take a while to free.
template <class Work>
auto liveUntilDone(Work work) -> decltype(work())
{
    std::optional<Work> owned(std::move(work));
    auto pending = std::async(std::launch::async, [&owned] {
        auto result = (*owned)();
        owned.reset();
        return result;
    });
    while (pending.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return pending.get();
}

// The progress strip of a command on its own thread: each change is queued
// to the window's thread, and only a new percentage is sent. The command
// stops when `stopRequested` turns true (the window is closing).
class CommandProgress : public RunProgress {
public:
    CommandProgress(QWidget& strip, QProgressBar& bar, const std::atomic<bool>& stopRequested);

    void showProgress() override;
    void setProgressPosition(int position) override;
    void hideProgress() override;
    bool stopRequested() override { return m_stopRequested; }

private:
    QWidget* m_strip;
    QProgressBar* m_bar;
    const std::atomic<bool>& m_stopRequested;
    int m_position = -1;
};

} // namespace quorbit
