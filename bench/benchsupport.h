#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

// What every benchmark needs: a clock, the median of its rounds, a scratch
// folder and a way out when the system refuses something; and the files and
// floor of the rename benchmarks.
namespace quorbit::bench {

using Clock = std::chrono::steady_clock;

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); 0 when it is not there.
inline double statusKiB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) {
            return std::atof(line.c_str() + field.size() + 1);
        }
    }
    return 0;
}

// The resident set now, in bytes: what the process holds, large blocks included.
inline double residentBytes()
{
    return statusKiB("VmRSS") * 1024;
}

// Peak resident memory since the last reset, in MiB.
inline double peakResidentMiB()
{
    return statusKiB("VmHWM") / 1024;
}

inline void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

[[noreturn]] inline void fail(const std::string& what)
{
    std::perror(what.c_str());
    std::exit(1);
}

// A fresh folder "quorbit-bench-<label>-XXXXXX" under `parent`.
inline std::string makeFolder(const std::string& parent, const char* label)
{
    std::string pattern = parent + "/quorbit-bench-" + label + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        fail("mkdtemp");
    }
    return pattern;
}

// The folder the files go in: the second argument, else $TMPDIR, else /tmp.
inline std::string parentFolder(int argc, char* argv[])
{
    const char* tmp = std::getenv("TMPDIR");
    return argc > 2 ? argv[2] : (tmp ? tmp : "/tmp");
}

// The name of the i-th file of a rename benchmark's folder.
inline std::string benchFileName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "photo_%06d.jpg", i);
    return name;
}

// Creates `count` empty files in `folder`.
inline void createFiles(const std::string& folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const int fd = open((folder + "/" + benchFileName(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0) {
            fail("open");
        }
        close(fd);
    }
}

// The floor of a rename run over the files createFiles made: the renames
// alone, over names prepared in advance, relative to the folder's handle as
// the run renames. In seconds.
inline double renameFloorSeconds(const std::string& folder, int count)
{
    std::vector<std::string> from;
    std::vector<std::string> to;
    for (int i = 0; i < count; ++i) {
        from.push_back(benchFileName(i));
        to.push_back("x" + benchFileName(i));
    }
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (renameat2(handle, from[i].c_str(), handle, to[i].c_str(), RENAME_NOREPLACE) != 0) {
            fail("renameat2");
        }
    }
    const double seconds = secondsSince(start);
    close(handle);
    return seconds;
}

} // namespace quorbit::bench
