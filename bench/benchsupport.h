#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
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

// What a figure is held to: at most or at least `limit`, or nothing (shown for a look only).
struct Goal {
    enum class Kind { None, AtMost, AtLeast };
    Kind kind = Kind::None;
    double limit = 0;

    static Goal atMost(double limit) { return {Kind::AtMost, limit}; }
    static Goal atLeast(double limit) { return {Kind::AtLeast, limit}; }
    bool metBy(double value) const
    {
        return kind == Kind::None || (kind == Kind::AtMost ? value <= limit : value >= limit);
    }
    std::string text() const
    {
        char shown[48] = "";
        if (kind != Kind::None) {
            std::snprintf(shown, sizeof shown, "%s %.4g", kind == Kind::AtMost ? "<=" : ">=", limit);
        }
        return shown;
    }
};

// Prints a figure as "<figure>: <median> (<min>-<max> over N rounds, goal <= X, met)", and
// appends it as a tab-separated line (bench, figure, median, spread, goal, verdict) to
// the file $QUORBIT_BENCH_SUMMARY names, from which ./dev bench makes its table.
inline void reportFigure(const std::string& figure, const std::vector<double>& rounds, Goal goal = {})
{
    const double middle = median(rounds);
    const auto [least, most] = std::minmax_element(rounds.begin(), rounds.end());
    char spread[64];
    std::snprintf(spread, sizeof spread, "%.3g-%.3g", *least, *most);
    const char* verdict = goal.kind == Goal::Kind::None ? "" : goal.metBy(middle) ? "met" : "MISSED";
    std::printf("%s: %.3g (%s over %zu rounds", figure.c_str(), middle, spread, rounds.size());
    std::printf("%s%s%s%s)\n", goal.kind == Goal::Kind::None ? "" : ", goal ", goal.text().c_str(),
                goal.kind == Goal::Kind::None ? "" : ", ", verdict);
    std::fflush(stdout);
    if (const char* summary = std::getenv("QUORBIT_BENCH_SUMMARY"); summary && *summary) {
        std::ofstream(summary, std::ios::app) << program_invocation_short_name << '\t' << figure << '\t' << middle
                                              << '\t' << spread << '\t' << goal.text() << '\t' << verdict << '\n';
    }
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

// The name a run that adds "x" to the left gives the i-th file, as renameFloorSeconds does.
inline std::string addedName(int i)
{
    return "x" + benchFileName(i);
}

// Renames the i-th file of `folder` from `from(i)` to `to(i)` for every i below
// `count`, never replacing, relative to the folder's handle as a run renames,
// over names made in advance. In seconds. Untimed, it gives the files their
// names back between rounds, so that one folder serves them all.
inline double renameEachSeconds(const std::string& folder, int count, std::string (*from)(int), std::string (*to)(int))
{
    std::vector<std::string> fromNames;
    std::vector<std::string> toNames;
    for (int i = 0; i < count; ++i) {
        fromNames.push_back(from(i));
        toNames.push_back(to(i));
    }
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (renameat2(handle, fromNames[i].c_str(), handle, toNames[i].c_str(), RENAME_NOREPLACE) != 0) {
            fail("renameat2");
        }
    }
    const double seconds = secondsSince(start);
    close(handle);
    return seconds;
}

// What a child process measured of its work: the seconds the work returned,
// and the child's resident set, in bytes, as the work began and at its peak.
struct ChildMeasure {
    double seconds = 0;
    double residentBefore = 0;
    double residentPeak = 0;
};

// Runs `work`, which returns its seconds, in a child process forked for it
// alone. The child hands the heap's free pages back first, so its memory counts
// only what `work` touched, never pages an earlier round left. The benchmark
// ends when the child fails.
template <class Work>
ChildMeasure measureInChild(Work work)
{
    std::fflush(nullptr); // else the child would print what the parent had buffered too
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    const pid_t child = fork();
    if (child < 0) {
        fail("fork");
    }
    if (child == 0) {
        close(channel[0]);
        malloc_trim(0);
        resetPeakResident();
        ChildMeasure measured;
        measured.residentBefore = residentBytes();
        measured.seconds = work();
        measured.residentPeak = statusKiB("VmHWM") * 1024;
        std::fflush(nullptr);
        _exit(write(channel[1], &measured, sizeof measured) == sizeof measured ? 0 : 1);
    }
    close(channel[1]);
    ChildMeasure measured;
    const ssize_t received = read(channel[0], &measured, sizeof measured);
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0
        || received != sizeof measured) {
        std::fprintf(stderr, "a round's child process failed\n");
        std::exit(1);
    }
    return measured;
}

// The median of `rounds` times `scale` with their spread beside it, "0.912 (0.884-1.020)",
// with `decimals` decimals.
inline std::string withSpread(const std::vector<double>& rounds, double scale = 1, int decimals = 3)
{
    const auto [least, most] = std::minmax_element(rounds.begin(), rounds.end());
    char text[96];
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, median(rounds) * scale, decimals, *least * scale,
                  decimals, *most * scale);
    return text;
}

// Each round's `runs` over that round's `floors`.
inline std::vector<double> ratios(const std::vector<double>& runs, const std::vector<double>& floors)
{
    std::vector<double> each;
    for (std::size_t round = 0; round < runs.size(); ++round) {
        each.push_back(runs[round] / floors[round]);
    }
    return each;
}

// Ends the benchmark unless `count` entries of `folder` have names that start
// with `prefix` and end with `suffix`: a run, or its undo, missed some.
inline void checkNames(const std::string& folder, int count, const char* prefix, const char* suffix = "")
{
    int named = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        named += name.starts_with(prefix) && name.ends_with(suffix);
    }
    if (named != count) {
        std::fprintf(stderr, "only %d of %d files in %s are named %s*%s\n", named, count, folder.c_str(), prefix,
                     suffix);
        std::exit(1);
    }
}

} // namespace quorbit::bench
