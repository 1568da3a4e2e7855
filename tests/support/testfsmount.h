#pragma once

#include "platform/mounts.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace quorbit::testing {

// A mount of quorbit_testfs (tests/support/testfs.cpp) for a test or a
// benchmark: a drive that can be made to stop answering and answer again.
// Woken and unmounted when it goes, whatever became of the test; a watchdog
// wakes it after half a minute, so a window that waits for it fails rather
// than hangs.
class TestFsMount {
public:
    // Mounts `backing` at `mountPoint` with the quorbit_testfs at `program`,
    // every call `delayMs` late; mounted() tells whether that worked.
    TestFsMount(const std::string& program, const std::string& backing, const std::string& mountPoint, int delayMs = 0)
        : m_mountPoint(mountPoint)
    {
        const std::string delay = std::to_string(delayMs);
        const std::vector<const char*> arguments
            = {program.c_str(), backing.c_str(), mountPoint.c_str(), "--delay-ms", delay.c_str(), nullptr};
        m_daemon = fork();
        if (m_daemon == 0) {
            execv(program.c_str(), const_cast<char* const*>(arguments.data()));
            _exit(127);
        }
        for (const auto deadline = Clock::now() + std::chrono::seconds(5); m_daemon > 0 && Clock::now() < deadline;
             std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            const std::vector<files::Mount> mounts = files::mountTable();
            if (std::any_of(mounts.begin(), mounts.end(),
                            [&](const files::Mount& mount) { return mount.mountPoint == mountPoint; })) {
                m_mounted = true;
                break;
            }
        }
        m_watchdog = std::thread([this] {
            std::unique_lock lock(m_mutex);
            if (!m_over.wait_for(lock, std::chrono::seconds(30), [this] { return m_ended; })) {
                answer();
            }
        });
    }
    TestFsMount(const TestFsMount&) = delete;
    TestFsMount& operator=(const TestFsMount&) = delete;

    ~TestFsMount()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_ended = true;
        }
        m_over.notify_one();
        m_watchdog.join();
        if (m_daemon <= 0) {
            return;
        }
        answer();
        // Lazily: a listing under way may hold the mount a moment longer.
        if (const pid_t unmount = fork(); unmount == 0) {
            execlp("fusermount3", "fusermount3", "-u", "-z", m_mountPoint.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        } else if (unmount > 0) {
            waitpid(unmount, nullptr, 0);
        }
        for (const auto deadline = Clock::now() + std::chrono::seconds(5); waitpid(m_daemon, nullptr, WNOHANG) == 0;
             std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            if (Clock::now() > deadline) {
                kill(m_daemon, SIGKILL);
                waitpid(m_daemon, nullptr, 0);
                break;
            }
        }
    }

    bool mounted() const { return m_mounted; }

    // Every call waits from now on, until answer(). Returns once the daemon
    // took the signal: its threads that answer calls take no signals, so a
    // call coming right after the signal would otherwise still be answered.
    void stall()
    {
        if (m_daemon > 0 && kill(m_daemon, SIGUSR1) == 0) {
            while (signalWaits(SIGUSR1)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    void answer()
    {
        if (m_daemon > 0) {
            kill(m_daemon, SIGUSR2);
        }
    }

private:
    using Clock = std::chrono::steady_clock;

    // Whether `signal`, sent to the daemon, has not reached it yet.
    bool signalWaits(int signal) const
    {
        std::ifstream status("/proc/" + std::to_string(m_daemon) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("ShdPnd:")) {
                return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
            }
        }
        return false;
    }

    std::string m_mountPoint;
    pid_t m_daemon = -1;
    bool m_mounted = false;
    std::mutex m_mutex;
    std::condition_variable m_over;
    bool m_ended = false;
    std::thread m_watchdog;
};

} // namespace quorbit::testing
