// Times quorbit-cli as a shell starts it: `rename --apply` of 100,000 files,
// the whole process with its journal, against a bare renameat2 loop over as
// many files (the floor) in the same round; and the start-up of
// `quorbit-cli --version` beside that of /bin/true.
//
//   cli_bench [file count] [parent folder]

#include "benchsupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace quorbit::bench;

// Seconds from the start of the program `arguments` name to its end, its
// output thrown away; the benchmark ends when the program does not exit with 0.
double processSeconds(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        fail("posix_spawn");
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = secondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not succeed\n", argv[0]);
        std::exit(1);
    }
    return seconds;
}

// The run against the floor, each ratio a round's own time over that round's
// floor. The files are made once: making them takes far longer than renaming
// them. The floor's renames are put back by a bare loop and the run's by
// `quorbit-cli undo`, untimed, and the disk is synced before each timed part.
void benchmarkRename(int count, const std::string& parent)
{
    constexpr int rounds = 5;
    // The journals go to a folder of the benchmark's, not the user's.
    const std::string state = makeFolder(parent, "state");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string folder = makeFolder(parent, "cli");
    createFiles(folder, count);
    std::vector<double> floors;
    std::vector<double> runs;
    for (int round = 0; round < rounds; ++round) {
        sync();
        floors.push_back(renameFloorSeconds(folder, count));
        renameEachSeconds(folder, count, addedName, benchFileName);
        sync();
        runs.push_back(processSeconds({QUORBIT_CLI, "rename", folder, "--op", "add-left", "--text", "x", "--apply"}));
        checkNames(folder, count, "xphoto_");
        processSeconds({QUORBIT_CLI, "undo"});
        checkNames(folder, count, "photo_");
    }
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(state);
    std::printf("quorbit-cli rename --apply of %d files, the whole process (%d rounds; median, min-max)\n", count,
                rounds);
    std::printf("  floor (bare renameat2 loop): %10.0f files/s  %s s\n", count / median(floors),
                withSpread(floors).c_str());
    std::printf("  quorbit-cli (Add to left):   %10.0f files/s  %s s\n", count / median(runs),
                withSpread(runs).c_str());
    reportFigure("ratio cli run/floor", roundRatios(runs, floors), Goal::atMost(1.3));
}

void benchmarkStartUp()
{
    constexpr int rounds = 50;
    std::vector<double> cli;
    std::vector<double> bare;
    for (int round = 0; round < rounds; ++round) {
        cli.push_back(processSeconds({QUORBIT_CLI, "--version"}));
        bare.push_back(processSeconds({"/bin/true"}));
    }
    std::printf("start-up to exit (%d rounds; median, min-max)\n", rounds);
    std::printf("  quorbit-cli --version: %s ms\n", withSpread(cli, 1e3, 2).c_str());
    std::printf("  /bin/true:             %s ms\n", withSpread(bare, 1e3, 2).c_str());
    reportFigure("ratio start-up/true", roundRatios(cli, bare));
}

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100'000;
    benchmarkRename(count, parentFolder(argc, argv));
    benchmarkStartUp();
    return 0;
}
