#pragma once

#include "rename/renamerun.h"

#include <atomic>
#include <chrono>
#include <string>

namespace quorbit::cli {

// A command's progress as one line on stderr, rewritten in place: shown only
// when stderr is a terminal and once the command has run for a second, so
// quick commands and pipes see nothing. After stopOnInterrupt, Ctrl+C asks
// the command to stop between two whole moves.
class TerminalProgress : public RunProgress {
public:
    // `doing` opens the line ("Renaming").
    explicit TerminalProgress(std::string doing);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void setProgressPosition(int position) override;
    void hideProgress() override;
    bool stopRequested() override;

private:
    std::string m_doing;
    std::chrono::steady_clock::time_point m_start;
    bool m_terminal = false;
    bool m_shown = false;
    int m_position = -1;
};

// Makes SIGINT ask a running command to stop instead of ending the process.
void stopOnInterrupt();

// Set once SIGINT came after stopOnInterrupt, for a command that takes a flag to stop.
const std::atomic<bool>& interruptRequest();

// Whether SIGINT came since stopOnInterrupt.
bool interrupted();

} // namespace quorbit::cli
