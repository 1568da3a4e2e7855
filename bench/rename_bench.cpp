// Renames 100,000 files with the rename run, with and without its journal,
// undoes the journaled run, and measures each against a bare renameat2 loop
// (the floor) in the same run; then times every name operation.
//
//   rename_bench [file count] [parent folder]

#include "benchsupport.h"
#include "rename/journal.h"
#include "rename/journalreplay.h"
#include "rename/operations.h"
#include "rename/renamerun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorbit::bench;

double runSeconds(const std::string& folder, const std::string& journalFolder = {})
{
    quorbit::RunSettings settings;
    settings.folder = folder;
    settings.journalFolder = journalFolder;
    settings.option = quorbit::RenameOption::AddToLeft;
    settings.symbolsText = "x";
    quorbit::RunProgress progress;
    quorbit::RenameRun run;
    const Clock::time_point start = Clock::now();
    run.run(settings, {"Renamed", "files", "folders"}, progress);
    return secondsSince(start);
}

void checkAllRenamed(const std::string& folder, int count, const char* prefix = "xphoto_")
{
    int renamed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        renamed += entry.path().filename().string().starts_with(prefix);
    }
    if (renamed != count) {
        std::fprintf(stderr, "only %d of %d files renamed in %s\n", renamed, count, folder.c_str());
        std::exit(1);
    }
}

// Peak resident memory since the last reset, in MiB.
double peakResidentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    return 0;
}

void resetPeakResident()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void benchmarkRun(int count, const std::string& parent)
{
    constexpr int rounds = 3;
    std::vector<double> floors;
    std::vector<double> runs;
    double peak = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string floorFolder = makeFolder(parent, "floor");
        const std::string runFolder = makeFolder(parent, "run");
        createFiles(floorFolder, count);
        createFiles(runFolder, count);
        sync();
        floors.push_back(renameFloorSeconds(floorFolder, count));
        resetPeakResident();
        runs.push_back(runSeconds(runFolder));
        peak = std::max(peak, peakResidentMiB());
        checkAllRenamed(runFolder, count);
        std::filesystem::remove_all(floorFolder);
        std::filesystem::remove_all(runFolder);
    }
    const double floor = median(floors);
    const double run = median(runs);
    std::printf("rename %d files (median of %d rounds)\n", count, rounds);
    std::printf("  floor (bare renameat2 loop): %10.0f files/s  %.3f s\n", count / floor, floor);
    std::printf("  rename run (Add to left):    %10.0f files/s  %.3f s\n", count / run, run);
    std::printf("  ratio run/floor: %.2f (goal <= 1.2)\n", run / floor);
    std::printf("  peak resident memory during the run: %.1f MiB (goal < 100)\n", peak);
}

// Undoes the newest run journaled in `journals`, reading its journal included.
double undoSeconds(const std::string& journals)
{
    quorbit::RunProgress progress;
    const Clock::time_point start = Clock::now();
    const quorbit::JournalRead read = quorbit::readJournal(quorbit::journalFiles(journals).back());
    if (!read.journal) {
        std::fprintf(stderr, "the journal in %s was refused\n", journals.c_str());
        std::exit(1);
    }
    const quorbit::ReplayResult undone = quorbit::undoJournal(*read.journal, progress);
    const double seconds = secondsSince(start);
    if (!undone.skipped.empty()) {
        std::fprintf(stderr, "undo skipped %zu entries\n", undone.skipped.size());
        std::exit(1);
    }
    return seconds;
}

// Gives the floor's files their names back, as the undo does for the run's.
void renameBack(const std::string& folder, int count)
{
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < count; ++i) {
        const std::string name = benchFileName(i);
        if (renameat2(handle, ("x" + name).c_str(), handle, name.c_str(), RENAME_NOREPLACE) != 0) {
            fail("renameat2");
        }
    }
    close(handle);
}

// The journaled run and its undo against the floor. The same two folders serve
// every round: each ends with the names it started with, the floor's given back
// by a bare loop, the run's by the undo, so both see the same renames. The
// disk is synced before each timed part, so none pays for another's writes.
void benchmarkJournal(int count, const std::string& parent)
{
    constexpr int rounds = 5;
    const std::string floorFolder = makeFolder(parent, "floor");
    const std::string runFolder = makeFolder(parent, "run");
    createFiles(floorFolder, count);
    createFiles(runFolder, count);
    std::vector<double> floors;
    std::vector<double> runs;
    std::vector<double> undos;
    for (int round = 0; round < rounds; ++round) {
        const std::string journals = makeFolder(parent, "journals");
        sync();
        floors.push_back(renameFloorSeconds(floorFolder, count));
        renameBack(floorFolder, count);
        sync();
        runs.push_back(runSeconds(runFolder, journals));
        checkAllRenamed(runFolder, count);
        sync();
        undos.push_back(undoSeconds(journals));
        checkAllRenamed(runFolder, count, "photo_");
        std::filesystem::remove_all(journals);
    }
    std::filesystem::remove_all(floorFolder);
    std::filesystem::remove_all(runFolder);
    const double floor = median(floors);
    const double run = median(runs);
    const double undo = median(undos);
    std::printf("journaled rename of %d files and its undo (median of %d rounds, goals <= 1.3)\n", count, rounds);
    std::printf("  floor (bare renameat2 loop): %10.0f files/s  %.3f s\n", count / floor, floor);
    std::printf("  journaled run (Add to left): %10.0f files/s  %.3f s\n", count / run, run);
    std::printf("  undo (journal read + moves): %10.0f files/s  %.3f s\n", count / undo, undo);
    // Bare lines, for scripts that read them.
    std::printf("ratio journaled run/floor: %.2f\n", run / floor);
    std::printf("ratio undo/floor: %.2f\n", undo / floor);
}

std::vector<std::string> sampleNames(int count)
{
    const char* titles[] = {"Holiday at the sea", "IMG",        "Привет мир",     "straße und weg",
                            "Summer song (live)", "café crème", "ДОКУМЕНТ отчёт", "track"};
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        names.push_back(std::string(titles[i % 8]) + " " + std::to_string(i));
    }
    return names;
}

void benchmarkOperations()
{
    const char* captions[]
        = {"Add to left",     "Add to right",      "Delete symbols",       "Delete from left", "Delete from right",
           "Replace symbols", "Replace from left", "Replace from right",   "Reduce to",        "Expand to",
           "Upper Case",      "Upper Case First",  "Upper Case First All", "Lower Case",       "Random symbols",
           "Counter"};
    constexpr int count = 1'000'000;
    const std::vector<std::string> names = sampleNames(count);
    const quorbit::OperationInputs inputs{"e", "_", 5};
    quorbit::RandomGenerator random;
    std::printf("name operations over %d names (ns per call)\n", count);
    for (int option = 0; option < quorbit::renameOptionCount; ++option) {
        std::size_t checksum = 0;
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < count; ++i) {
            checksum += quorbit::ApplyOperation(static_cast<quorbit::RenameOption>(option),
                                                names[static_cast<std::size_t>(i)], inputs, static_cast<std::size_t>(i),
                                                count, random)
                            .size();
        }
        const double seconds = secondsSince(start);
        std::printf("  %-22s %8.1f  (%zu bytes out)\n", captions[option], seconds * 1e9 / count, checksum);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100'000;
    benchmarkRun(count, parentFolder(argc, argv));
    benchmarkJournal(count, parentFolder(argc, argv));
    benchmarkOperations();
    return 0;
}
