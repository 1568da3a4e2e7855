#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

// What every benchmark needs: a clock, the median of its rounds, a scratch
// folder and a way out when the system refuses something.
namespace quorbit::bench {

using Clock = std::chrono::steady_clock;

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

} // namespace quorbit::bench
