// Renames 100,000 files with the rename run (adding to the left, with and
// without its journal, and swapping the parts of each name with a regular
// expression), undoes the journaled run, and measures each against a bare
// renameat2 loop (the floor) in the same round; then times every name
// operation. One folder of files serves every round, and every timed part runs
// in a child process of its own, so that a run's memory is its own.
//
//   rename_bench [file count] [parent folder]

#include "benchsupport.h"
#include "rename/journal.h"
#include "rename/journalreplay.h"
#include "rename/operations.h"
#include "rename/regexreplace.h"
#include "rename/renamerun.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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
    run.run(settings, progress);
    return secondsSince(start);
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

void printRate(const char* what, int count, const std::vector<double>& seconds)
{
    std::printf("  %-30s %10.0f files/s  %s s\n", what, count / median(seconds), withSpread(seconds).c_str());
}

// Adding to the left, with and without the journal, and the undo of the
// journaled run, against the floor. Each ratio is a round's own time over that
// round's floor. The files get their names back between the timed parts, by a
// bare loop or by the undo, and the disk is synced before each, so none pays
// for another's writes.
void benchmarkAddToLeft(const std::string& folder, int count, const std::string& parent)
{
    constexpr int rounds = 5;
    std::vector<double> floors;
    std::vector<double> runs;
    std::vector<double> peakMiB;
    std::vector<double> journaledRuns;
    std::vector<double> residentPerEntry;
    std::vector<double> undos;
    for (int round = 0; round < rounds; ++round) {
        sync();
        floors.push_back(measureInChild([&] { return renameFloorSeconds(folder, count); }).seconds);
        renameEachSeconds(folder, count, addedName, benchFileName);
        sync();
        const ChildMeasure run = measureInChild([&] { return runSeconds(addToLeft(), folder); });
        runs.push_back(run.seconds);
        peakMiB.push_back(run.residentPeak / (1024 * 1024));
        checkNames(folder, count, "xphoto_");
        renameEachSeconds(folder, count, addedName, benchFileName);

        const std::string journals = makeFolder(parent, "journals");
        sync();
        const ChildMeasure journaled = measureInChild([&] { return runSeconds(addToLeft(), folder, journals); });
        journaledRuns.push_back(journaled.seconds);
        residentPerEntry.push_back((journaled.residentPeak - journaled.residentBefore) / count);
        checkNames(folder, count, "xphoto_");
        sync();
        undos.push_back(measureInChild([&] { return undoSeconds(journals); }).seconds);
        checkNames(folder, count, "photo_");
        std::filesystem::remove_all(journals);
    }
    std::printf("rename %d files with Add to left, and undo the journaled run (%d rounds; median, min-max)\n", count,
                rounds);
    printRate("floor (bare renameat2 loop):", count, floors);
    printRate("rename run:", count, runs);
    printRate("journaled run:", count, journaledRuns);
    printRate("undo (journal read + moves):", count, undos);
    reportFigure("ratio run/floor", roundRatios(runs, floors), Goal::atMost(1.2));
    // The whole process's, taken in a child that did nothing but the run.
    reportFigure("peak resident MiB", peakMiB, Goal::atMost(100));
    reportFigure("ratio journaled run/floor", roundRatios(journaledRuns, floors), Goal::atMost(1.3));
    reportFigure("ratio undo/floor", roundRatios(undos, floors), Goal::atMost(1.3));
    // What the journaled run added to the resident set at its peak.
    reportFigure("rss bytes per entry at " + std::to_string(count), residentPerEntry);
}

// The regex run against the same renames made bare: the file system takes
// longer over these than over a leading "x", so the run is held against its own.
void benchmarkRegex(const std::string& folder, int count)
{
    constexpr int rounds = 5;
    std::vector<double> floors;
    std::vector<double> runs;
    for (int round = 0; round < rounds; ++round) {
        sync();
        floors.push_back(
            measureInChild([&] { return renameEachSeconds(folder, count, benchFileName, swappedName); }).seconds);
        renameEachSeconds(folder, count, swappedName, benchFileName);
        sync();
        runs.push_back(measureInChild([&] { return runSeconds(regexSwap(), folder); }).seconds);
        checkNames(folder, count, "", "-photo.jpg");
        renameEachSeconds(folder, count, swappedName, benchFileName);
    }
    std::printf("rename %d files with ^(\\w+)_(\\d+)$ -> $2-$1 (%d rounds; median, min-max)\n", count, rounds);
    printRate("floor (the same renames bare):", count, floors);
    printRate("rename run (Regex replace):", count, runs);
    reportFigure("ratio regex run/floor", roundRatios(runs, floors), Goal::atMost(1.3));
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
    const auto regex
        = std::make_shared<const quorbit::RegexReplacement>(std::move(*quorbit::RegexReplacement::compile("e", "_")));
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
    const std::string parent = parentFolder(argc, argv);
    // Made once: making the files takes far longer than renaming them.
    const std::string folder = makeFolder(parent, "rename");
    createFiles(folder, count);
    benchmarkAddToLeft(folder, count, parent);
    benchmarkRegex(folder, count);
    std::filesystem::remove_all(folder);
    benchmarkOperations();
    return 0;
}
