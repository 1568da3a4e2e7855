// Renames 100,000 files with the rename run (adding to the left, and swapping
// the parts of each name with a regular expression), with and without its
// journal, undoes the journaled run, and measures each against a bare
// renameat2 loop (the floor) in the same run; then times every name operation.
//
//   rename_bench [file count] [parent folder]

#include "benchsupport.h"
#include "rename/journal.h"
#include "rename/journalreplay.h"
#include "rename/operations.h"
#include "rename/regexreplace.h"
#include "rename/renamerun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quorbit::bench;

quorbit::RunSettings addToLeft()
{
    quorbit::RunSettings settings;
    settings.option = quorbit::RenameOption::AddToLeft;
    settings.symbolsText = "x";
    return settings;
}

// "photo_000123.jpg" becomes "000123-photo.jpg".
std::string swappedName(int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "%06d-photo.jpg", i);
    return name;
}

quorbit::RunSettings regexSwap()
{
    quorbit::RunSettings settings;
    settings.option = quorbit::RenameOption::RegexReplace;
    settings.symbolsText = R"(^(\w+)_(\d+)$)";
    settings.replaceText = "$2-$1";
    return settings;
}

double runSeconds(quorbit::RunSettings settings, const std::string& folder, const std::string& journalFolder = {})
{
    settings.folder = folder;
    settings.journalFolder = journalFolder;
    quorbit::RunProgress progress;
    quorbit::RenameRun run;
    const Clock::time_point start = Clock::now();
    run.run(settings, {"Renamed", "files", "folders"}, progress);
    return secondsSince(start);
}

void checkAllRenamed(const std::string& folder, int count, const char* prefix = "xphoto_", const char* suffix = "")
{
    int renamed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        renamed += name.starts_with(prefix) && name.ends_with(suffix);
    }
    if (renamed != count) {
        std::fprintf(stderr, "only %d of %d files renamed in %s\n", renamed, count, folder.c_str());
        std::exit(1);
    }
}

// The floor of the regex run: the renames it makes, from names prepared in
// advance. The file system takes longer over these than over renameFloorSeconds'
// (a leading "x"), so each run is held against its own renames.
double swapFloorSeconds(const std::string& folder, int count)
{
    std::vector<std::string> from;
    std::vector<std::string> to;
    for (int i = 0; i < count; ++i) {
        from.push_back(benchFileName(i));
        to.push_back(swappedName(i));
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

struct Measured {
    double floor = 0; // seconds, medians of the rounds
    double run = 0;
    double peakMiB = 0;
};

// The run with `settings` and its floor, each on fresh files in every round;
// a renamed file's name starts with `prefix` and ends with `suffix`.
Measured measureRun(const quorbit::RunSettings& settings, double (*floorSeconds)(const std::string&, int), int count,
                    const std::string& parent, int rounds, const char* prefix, const char* suffix)
{
    std::vector<double> floors;
    std::vector<double> runs;
    double peak = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::string floorFolder = makeFolder(parent, "floor");
        const std::string runFolder = makeFolder(parent, "run");
        createFiles(floorFolder, count);
        createFiles(runFolder, count);
        sync();
        floors.push_back(floorSeconds(floorFolder, count));
        resetPeakResident();
        runs.push_back(runSeconds(settings, runFolder));
        peak = std::max(peak, peakResidentMiB());
        checkAllRenamed(runFolder, count, prefix, suffix);
        std::filesystem::remove_all(floorFolder);
        std::filesystem::remove_all(runFolder);
    }
    return {median(floors), median(runs), peak};
}

void benchmarkRun(int count, const std::string& parent)
{
    constexpr int rounds = 3;
    const Measured added = measureRun(addToLeft(), renameFloorSeconds, count, parent, rounds, "xphoto_", "");
    std::printf("rename %d files (median of %d rounds)\n", count, rounds);
    std::printf("  floor (bare renameat2 loop): %10.0f files/s  %.3f s\n", count / added.floor, added.floor);
    std::printf("  rename run (Add to left):    %10.0f files/s  %.3f s\n", count / added.run, added.run);
    std::printf("  ratio run/floor: %.2f (goal <= 1.2)\n", added.run / added.floor);
    std::printf("  peak resident memory during the run: %.1f MiB (goal < 100)\n", added.peakMiB);

    const Measured swapped = measureRun(regexSwap(), swapFloorSeconds, count, parent, rounds, "", "-photo.jpg");
    std::printf("rename %d files with ^(\\w+)_(\\d+)$ -> $2-$1 (median of %d rounds, goal <= 1.3)\n", count, rounds);
    std::printf("  floor (the same renames bare): %8.0f files/s  %.3f s\n", count / swapped.floor, swapped.floor);
    std::printf("  rename run (Regex replace):  %10.0f files/s  %.3f s\n", count / swapped.run, swapped.run);
    std::printf("ratio regex run/floor: %.2f\n", swapped.run / swapped.floor);
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
    std::vector<double> residentPerEntry;
    for (int round = 0; round < rounds; ++round) {
        const std::string journals = makeFolder(parent, "journals");
        sync();
        floors.push_back(renameFloorSeconds(floorFolder, count));
        renameBack(floorFolder, count);
        sync();
        malloc_trim(0);
        resetPeakResident();
        const double residentBefore = residentBytes();
        runs.push_back(runSeconds(addToLeft(), runFolder, journals));
        residentPerEntry.push_back((peakResidentMiB() * 1024 * 1024 - residentBefore) / count);
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
    std::printf("rss bytes per entry at %d: %.0f\n", count, median(residentPerEntry));
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
           "Counter",         "Regex replace"};
    constexpr int count = 1'000'000;
    const std::vector<std::string> names = sampleNames(count);
    // Compiled once, as a run compiles it.
    const auto regex = std::make_shared<const quorbit::RegexReplacement>(
        std::get<quorbit::RegexReplacement>(quorbit::RegexReplacement::compile("e", "_")));
    const quorbit::OperationInputs inputs{"e", "_", 5, regex};
    quorbit::RandomGenerator random;
    std::printf("name operations over %d names (ns per call)\n", count);
    for (int option = 0; option < quorbit::renameOptionCount; ++option) {
        std::size_t checksum = 0;
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < count; ++i) {
            checksum += quorbit::ApplyOperation(static_cast<quorbit::RenameOption>(option),
                                                names[static_cast<std::size_t>(i)], inputs, static_cast<std::size_t>(i),
                                                count, random)
                            ->size();
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
