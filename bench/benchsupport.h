#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <type_traits>
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

// Asked again and again while the event loop turns, tells when the resident
// set has held still for half a second: the jobs behind the window have ended
// and freed what they used, so what it holds now is what it keeps.
class ResidentSettling {
public:
    bool operator()()
    {
        const Clock::time_point now = Clock::now();
        if (now - m_lastLook < std::chrono::milliseconds(50)) {
            return false;
        }
        m_lastLook = now;
        const double resident = residentBytes();
        // A few pages come and go as the loop turns; a job's memory is more.
        if (std::abs(resident - m_resident) > 256 * 1024) {
            m_resident = resident;
            m_stillSince = now;
        }
        return now - m_stillSince >= std::chrono::milliseconds(500);
    }

private:
    Clock::time_point m_lastLook{};
    Clock::time_point m_stillSince = Clock::now();
    double m_resident = 0;
};

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each round's run over that round's floor.
inline std::vector<double> roundRatios(const std::vector<double>& runs, const std::vector<double>& floors)
{
    std::vector<double> ratios;
    for (std::size_t round = 0; round < runs.size() && round < floors.size(); ++round) {
        ratios.push_back(runs[round] / floors[round]);
    }
    return ratios;
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
    // Three significant digits, without an exponent for the large figures (bytes, milliseconds).
    const auto shown = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : "%.3g", value);
        return std::string(text);
    };
    const auto [least, most] = std::minmax_element(rounds.begin(), rounds.end());
    const std::string middle = shown(median(rounds));
    const std::string spread = shown(*least) + "-" + shown(*most);
    const bool held = goal.kind != Goal::Kind::None;
    const std::string verdict = !held ? "" : goal.metBy(median(rounds)) ? "met" : "MISSED";
    std::printf("%s: %s (%s over %zu rounds%s)\n", figure.c_str(), middle.c_str(), spread.c_str(), rounds.size(),
                held ? (", goal " + goal.text() + ", " + verdict).c_str() : "");
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

// Runs work() in a child process and returns what it measured there. A memory
// figure taken in a process that has done nothing else counts every page the
// work needs: in a process that did the work before, the work reuses the pages
// left over and seems to need none. Call it while this process has no threads
// but its own, as fork() wants.
template <class Work>
auto inFreshProcess(Work work)
{
    using Result = decltype(work());
    static_assert(std::is_trivially_copyable_v<Result>, "the result crosses a pipe as bytes");
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    std::fflush(stdout); // else the child would print what is waiting too
    const pid_t child = fork();
    if (child < 0) {
        fail("fork");
    }
    if (child == 0) {
        close(pipeEnds[0]);
        const Result result = work();
        std::fflush(stdout);
        // Not exit(): its handlers and static objects are copies of the parent's, not the child's to end.
        _exit(write(pipeEnds[1], &result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(pipeEnds[1]);
    Result result{};
    const ssize_t got = read(pipeEnds[0], &result, sizeof result);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != sizeof result || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the measuring process failed (status %d)\n", status);
        std::exit(1);
    }
    return result;
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

// The floor of a rename run over the files createFiles made: the renames
// alone, over names prepared in advance, relative to the folder's handle as
// the run renames. In seconds.
inline double renameFloorSeconds(const std::string& folder, int count)
{
    return renameEachSeconds(folder, count, benchFileName, addedName);
}

// What a child process measured of its work: the seconds the work returned,
// and the child's resident set, in bytes, as the work began and at its peak.
struct ChildMeasure {
    double seconds = 0;
    double residentBefore = 0;
    double residentPeak = 0;
};

// Runs `work`, which returns its seconds, in a process forked for it alone.
// The child hands the heap's free pages back first, so its memory counts only
// what `work` touched, never pages an earlier round left.
template <class Work>
ChildMeasure measureInChild(Work work)
{
    return inFreshProcess([&work] {
        malloc_trim(0);
        resetPeakResident();
        ChildMeasure measured;
        measured.residentBefore = residentBytes();
        measured.seconds = work();
        measured.residentPeak = statusKiB("VmHWM") * 1024;
        return measured;
    });
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

// Every file's name in a folder, by its inode: a rename keeps the inode.
using NamesByInode = std::unordered_map<ino_t, std::string>;

inline NamesByInode namesByInode(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        fail("opendir");
    }
    NamesByInode names;
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace(entry->d_ino, entry->d_name);
        }
    }
    closedir(dir);
    return names;
}

// Gives every file in `folder` the name it had in `before`, so the next round
// finds the same files under the same names.
inline void giveNamesBack(const std::string& folder, const NamesByInode& before)
{
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const auto& [inode, name] : namesByInode(folder)) {
        const auto was = before.find(inode);
        if (was == before.end()) {
            std::fprintf(stderr, "%s/%s was not there before the run\n", folder.c_str(), name.c_str());
            std::exit(1);
        }
        if (was->second != name
            && renameat2(handle, name.c_str(), handle, was->second.c_str(), RENAME_NOREPLACE) != 0) {
            fail("renameat2");
        }
    }
    close(handle);
}

} // namespace quorbit::bench
