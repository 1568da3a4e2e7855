// Reads the tags of 10,000 MP3 files, renames them from their tags, and saves
// a tag into a 20 MB file, each against a floor measured in the same round:
// the bare reads the tag readers need (and, for the rename, a bare renameat2
// loop), and a plain copy of the file. The MP3 files are made once and serve
// every round.
//
//   tags_bench [file count] [parent folder]

#include "benchsupport.h"
#include "rename/renamerun.h"
#include "rename/tagname.h"
#include "tagfiles.h"
#include "tags/mp3sample.h"
#include "tags/mp3tags.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

using namespace quorbit::bench;
using namespace quorbit::testing;
using namespace std::string_literals;

// The floor: the bytes the two readers need, in one open per file.
double floorSeconds(const std::vector<std::string>& paths)
{
    char head[4096];
    char tail[128];
    std::size_t checksum = 0;
    const Clock::time_point start = Clock::now();
    for (const std::string& path : paths) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat status;
        if (fd < 0 || fstat(fd, &status) != 0) {
            fail(path);
        }
        checksum += static_cast<std::size_t>(pread(fd, head, sizeof head, 0));
        checksum += static_cast<std::size_t>(pread(fd, tail, sizeof tail, status.st_size - 128));
        close(fd);
    }
    const double seconds = secondsSince(start);
    if (checksum == 0) {
        std::exit(1);
    }
    return seconds;
}

// Quorbit: both tags of every file, one reader object of each kind reused,
// through one open file (as the program reads them) or each on its own.
double readSeconds(const std::vector<std::string>& paths, bool oneOpen)
{
    quorbit::TID3v1 v1;
    quorbit::TID3v2 v2;
    std::size_t checksum = 0;
    const Clock::time_point start = Clock::now();
    for (const std::string& path : paths) {
        if (oneOpen) {
            const quorbit::TagsRead read = quorbit::ReadTagsFromFile(path, v1, v2);
            if (!read.id3v1 || !read.id3v2) {
                fail(path);
            }
        } else if (!v1.ReadFromFile(path) || !v2.ReadFromFile(path)) {
            fail(path);
        }
        checksum += v1.Title().size() + v2.Title().size();
    }
    const double seconds = secondsSince(start);
    if (checksum == 0) {
        std::exit(1);
    }
    return seconds;
}

// The first file's tags, as createTaggedFiles wrote them.
void checkFirstFile(const std::string& path)
{
    quorbit::TID3v1 v1;
    quorbit::TID3v2 v2;
    quorbit::ReadTagsFromFile(path, v1, v2);
    std::printf("  values read from %s:\n", path.c_str());
    std::printf("    ID3v2.%d: \"%s\" / \"%s\" / \"%s\" / track %d / %s / %s / \"%s\"\n", v2.Version(),
                v2.Title().c_str(), v2.Artist().c_str(), v2.Album().c_str(), v2.Track(), v2.Year().c_str(),
                v2.Genre().c_str(), v2.Comment().c_str());
    std::printf("    ID3v1.%d: \"%s\" / \"%s\" / \"%s\" / track %d / %s / %s\n", v1.Version() - 1, v1.Title().c_str(),
                v1.Artist().c_str(), v1.Album().c_str(), v1.Track(), v1.Year().c_str(), v1.Genre().c_str());
    const bool right = v2.Exists() && v2.Version() == 3 && v2.Title() == title(0) && v2.Artist() == "Ансамбль песни"
        && v2.Album() == "Greatest Hits Volume 0" && v2.Track() == 1 && v2.Year() == "1999" && v2.Genre() == "Rock"
        && v2.Comment() == "Ripped from the original CD" && v1.Exists() && v1.Title() == title(0)
        && v1.Artist() == "The Example Band" && v1.Track() == 1 && v1.Year() == "1999" && v1.Genre() == "Rock";
    std::printf("    %s\n", right ? "right" : "WRONG");
    if (!right) {
        std::exit(1);
    }
}

// Each ratio is a round's own time over that round's floor.
void benchmarkRead(const std::vector<std::string>& paths)
{
    constexpr int rounds = 11;
    const int count = static_cast<int>(paths.size());
    floorSeconds(paths); // both measure files in the page cache
    std::vector<double> floors;
    std::vector<double> reads;
    std::vector<double> separateReads;
    for (int round = 0; round < rounds; ++round) {
        floors.push_back(floorSeconds(paths));
        reads.push_back(readSeconds(paths, true));
        separateReads.push_back(readSeconds(paths, false));
    }
    std::printf("read ID3v1 and ID3v2 tags of %d files, %.1f KiB each (%d rounds; median, min-max)\n", count,
                static_cast<double>(std::filesystem::file_size(paths[0])) / 1024, rounds);
    std::printf("  floor (open, first 4 KiB, last 128 bytes, close): %10.0f files/s  %s s\n", count / median(floors),
                withSpread(floors).c_str());
    std::printf("  Quorbit (ReadTagsFromFile, one open):             %10.0f files/s  %s s\n", count / median(reads),
                withSpread(reads).c_str());
    std::printf("  Quorbit (ReadFromFile of each tag, two opens):    %10.0f files/s  %s s\n",
                count / median(separateReads), withSpread(separateReads).c_str());
    reportFigure("ratio tag read/floor", roundRatios(reads, floors), Goal::atMost(1.5));
    reportFigure("ratio tag read, two opens/floor", roundRatios(separateReads, floors));
    checkFirstFile(paths[0]);
}

// The floor's renames: every file to another name and, untimed, back.
double renameFloorSeconds(const std::string& folder, const std::vector<std::string>& paths)
{
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        names.push_back(path.substr(path.rfind('/') + 1));
    }
    const Clock::time_point start = Clock::now();
    for (const std::string& name : names) {
        if (renameat2(handle, name.c_str(), handle, ("x" + name).c_str(), RENAME_NOREPLACE) != 0) {
            fail("renameat2");
        }
    }
    const double seconds = secondsSince(start);
    for (const std::string& name : names) {
        renameat2(handle, ("x" + name).c_str(), handle, name.c_str(), RENAME_NOREPLACE);
    }
    close(handle);
    return seconds;
}

// The files of the read above serve every round: the run's names are put back
// by inode, untimed, and the disk is synced before each timed part. Each ratio
// is a round's own time over that round's floor.
void benchmarkTagRename(const std::string& folder, const std::vector<std::string>& paths)
{
    constexpr int rounds = 7;
    const int count = static_cast<int>(paths.size());
    const std::array<std::string, 5> placeholders = {"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"};
    const NamesByInode original = namesByInode(folder);
    std::vector<double> floors;
    std::vector<double> runs;
    for (int round = 0; round < rounds; ++round) {
        sync();
        floorSeconds(paths); // every measure finds the files in the page cache
        floors.push_back(floorSeconds(paths) + renameFloorSeconds(folder, paths));
        sync();
        quorbit::RenameRun run;
        quorbit::RunSettings settings;
        settings.folder = folder;
        quorbit::RunProgress progress;
        const Clock::time_point start = Clock::now();
        run.run(
            settings, progress,
            quorbit::tagNameSource({"%Artist% - %Title%", {placeholders.begin(), placeholders.end()}, placeholders}));
        runs.push_back(secondsSince(start));
        if (!std::filesystem::exists(folder + "/The Example Band - " + title(1) + ".mp3")) {
            std::fprintf(stderr, "the files were not named from their tags\n");
            std::exit(1);
        }
        giveNamesBack(folder, original);
    }
    std::printf("rename %d MP3 files from their tags, \"%%Artist%% - %%Title%%\" (%d rounds; median, min-max)\n", count,
                rounds);
    std::printf("  floor (the tag reads above, then a bare renameat2 loop): %s s\n", withSpread(floors).c_str());
    std::printf("  Quorbit (rename run with names from tags):              %s s\n", withSpread(runs).c_str());
    reportFigure("ratio tag rename/floor", roundRatios(runs, floors), Goal::atMost(1.3));
}

enum class CopyKind {
    Plain,
    Flushed, // then fsync
    Replacing, // then fsync and rename over an older copy on disk, which the file system frees
};

// The floor: a copy of the file beside it.
double copySeconds(const std::string& from, const std::string& to, CopyKind kind)
{
    const std::string older = to + ".older";
    if (kind == CopyKind::Replacing) {
        std::filesystem::copy_file(from, older);
        const int olderFile = open(older.c_str(), O_WRONLY | O_CLOEXEC);
        if (olderFile < 0 || fsync(olderFile) != 0) {
            fail(older);
        }
        close(olderFile);
    }
    const Clock::time_point start = Clock::now();
    const int source = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int target = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    struct stat status;
    if (source < 0 || target < 0 || fstat(source, &status) != 0) {
        fail(to);
    }
    for (off_t left = status.st_size; left > 0;) {
        const ssize_t copied = copy_file_range(source, nullptr, target, nullptr, static_cast<std::size_t>(left), 0);
        if (copied <= 0) {
            fail("copy_file_range");
        }
        left -= copied;
    }
    if (kind != CopyKind::Plain && fsync(target) != 0) {
        fail("fsync");
    }
    close(source);
    close(target);
    if (kind == CopyKind::Replacing && rename(to.c_str(), older.c_str()) != 0) {
        fail("rename");
    }
    const double seconds = secondsSince(start);
    std::filesystem::remove(kind == CopyKind::Replacing ? older : to);
    return seconds;
}

void benchmarkSave(const std::string& parent)
{
    constexpr int rounds = 11;
    const std::string folder = makeFolder(parent, "tags");
    const std::string path = folder + "/long_mix.mp3";
    const std::string audio = mpegAudio(20 * 1024 * 1024 / 417);
    writeFile(path, realisticTag(0, title(0)) + audio + trailer(0));
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / (1024 * 1024);
    copySeconds(path, path + ".copy", CopyKind::Plain); // the file is read from the page cache by all
    std::vector<double> copies;
    std::vector<double> flushedCopies;
    std::vector<double> replacingCopies;
    std::vector<double> saves;
    for (int round = 0; round < rounds; ++round) {
        copies.push_back(copySeconds(path, path + ".copy", CopyKind::Plain));
        flushedCopies.push_back(copySeconds(path, path + ".copy", CopyKind::Flushed));
        replacingCopies.push_back(copySeconds(path, path + ".copy", CopyKind::Replacing));
        quorbit::TID3v2 tag;
        tag.ReadFromFile(path);
        tag.FSetTitle("Saved in round " + std::to_string(round));
        const Clock::time_point start = Clock::now();
        if (!tag.SaveToFile(path)) {
            fail("SaveToFile");
        }
        saves.push_back(secondsSince(start));
        tag.ReadFromFile(path);
        const std::string saved = readFile(path);
        if (tag.Title() != "Saved in round " + std::to_string(round)
            || saved.compare(static_cast<std::size_t>(tag.Size()), audio.size(), audio) != 0) {
            std::fprintf(stderr, "the save lost the title or the audio\n");
            std::exit(1);
        }
    }
    std::printf("save an ID3v2 tag into a %.1f MB file (%d rounds; median, min-max)\n", megabytes, rounds);
    std::printf("  floor (copy_file_range beside it):             %s ms\n", withSpread(copies, 1e3, 1).c_str());
    std::printf("  floor (copy_file_range beside it, then fsync): %s ms\n", withSpread(flushedCopies, 1e3, 1).c_str());
    std::printf("  floor (the same, then renamed over a copy):    %s ms\n",
                withSpread(replacingCopies, 1e3, 1).c_str());
    std::printf("  Quorbit (TID3v2 SaveToFile, new title):        %s ms\n", withSpread(saves, 1e3, 1).c_str());
    // Each ratio is a round's save over that round's copy.
    reportFigure("ratio tag save/copy", roundRatios(saves, copies));
    reportFigure("ratio tag save/copy with fsync", roundRatios(saves, flushedCopies), Goal::atMost(1.3));
    reportFigure("ratio tag save/replacing copy", roundRatios(saves, replacingCopies));
    std::filesystem::remove_all(folder);
}

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const std::string parent = parentFolder(argc, argv);
    // Made once: making the files takes longer than reading or renaming them.
    const std::string folder = makeFolder(parent, "tags");
    const std::vector<std::string> paths = createTaggedFiles(folder, count);
    benchmarkRead(paths);
    benchmarkTagRename(folder, paths);
    std::filesystem::remove_all(folder);
    benchmarkSave(parent);
    return 0;
}
