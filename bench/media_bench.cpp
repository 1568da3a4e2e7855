// Names 10,000 FLAC files from their tags (TagLib) and 10,000 JPEG photos
// from their dates (Exiv2) with the rename run, each against a floor measured
// in the same round: a plain read of each file's first 64 KiB through the same
// folder handle and a bare renameat2 loop. The files are made once and get
// their names back after every round. Then exiftool
// ('-FileName<DateTimeOriginal'), the usual tool for the job, and the rename
// run each name a copy of the first 1,000 photos, round after round.
//
//   media_bench [file count] [parent folder]

#include "benchsupport.h"
#include "rename/renamerun.h"
#include "rename/tagname.h"
#include "tags/mediasamples.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace quorbit::bench;
namespace testing = quorbit::testing;

constexpr int rounds = 7;
// exiftool takes some 4 ms a photo, so it names this many, and the rename run the same ones beside it.
constexpr int exiftoolSample = 1'000;
constexpr int exiftoolRounds = 3;

// Copies `sample` into `folder` `count` times, as "<prefix>_000000.<extension>"
// and on, each copy with `marker` in its bytes replaced by `vary(i)` of the
// same length, so every file tells a name of its own.
std::vector<std::string> copies(const std::string& folder, const std::string& sample, int count, const char* prefix,
                                const char* extension, const std::string& marker,
                                const std::function<std::string(int)>& vary)
{
    std::ifstream in(sample, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        std::string copy = bytes;
        const std::string replacement = vary(i);
        for (std::size_t at = copy.find(marker); at != std::string::npos; at = copy.find(marker, at + 1)) {
            copy.replace(at, marker.size(), replacement);
        }
        char name[64];
        std::snprintf(name, sizeof name, "%s_%06d.%s", prefix, i, extension);
        std::ofstream(folder + "/" + name, std::ios::binary) << copy;
        names.emplace_back(name);
    }
    return names;
}

// The floor: each file opened through the folder's handle, its first 64 KiB
// read and closed; then each renamed with renameat2 (and put back, untimed).
double floorSeconds(const std::string& folder, const std::vector<std::string>& names)
{
    static char head[64 * 1024];
    const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<std::string> renamed;
    for (const std::string& name : names) {
        renamed.push_back("x" + name);
    }
    std::size_t checksum = 0;
    const Clock::time_point start = Clock::now();
    for (const std::string& name : names) {
        const int fd = openat(handle, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            fail(name);
        }
        checksum += static_cast<std::size_t>(pread(fd, head, sizeof head, 0));
        close(fd);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (renameat2(handle, names[i].c_str(), handle, renamed[i].c_str(), RENAME_NOREPLACE) != 0) {
            fail("renameat2");
        }
    }
    const double seconds = secondsSince(start);
    for (std::size_t i = 0; i < names.size(); ++i) {
        renameat2(handle, renamed[i].c_str(), handle, names[i].c_str(), RENAME_NOREPLACE);
    }
    close(handle);
    if (checksum == 0) {
        std::exit(1);
    }
    return seconds;
}

// The rename run over `folder`, which must rename every one of `count` files.
double runSeconds(const quorbit::RunSettings& settings, const quorbit::TagNameSource& tagNames, int count)
{
    quorbit::RenameRun run;
    quorbit::RunProgress progress;
    const Clock::time_point start = Clock::now();
    const quorbit::RunResult result = run.run(settings, progress, tagNames);
    const double seconds = secondsSince(start);
    if (result.renamed != count) {
        std::fprintf(stderr, "renamed %d of %d\n", result.renamed, count);
        std::exit(1);
    }
    return seconds;
}

quorbit::RunSettings renameAll(const std::string& folder)
{
    quorbit::RunSettings settings;
    settings.folder = folder;
    settings.option = quorbit::RenameOption::AddToLeft; // what a file with no name of its own would get
    return settings;
}

std::string sixDigits(int i)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06d", i);
    return digits;
}

struct RoundTimes {
    std::vector<double> floors; // seconds
    std::vector<double> runs;
};

// The floor and run() over the files `names` of `folder`, round after round;
// after each, the files get their names back, untimed.
RoundTimes timeRounds(const std::string& folder, const std::vector<std::string>& names,
                      const std::function<double()>& run)
{
    const NamesByInode before = namesByInode(folder);
    floorSeconds(folder, names); // every measure finds the files in the page cache
    RoundTimes times;
    for (int round = 0; round < rounds; ++round) {
        times.floors.push_back(floorSeconds(folder, names));
        times.runs.push_back(run());
        giveNamesBack(folder, before);
    }
    return times;
}

double fileKiB(const std::string& path)
{
    return static_cast<double>(std::filesystem::file_size(path)) / 1024;
}

void benchmarkAudio(int count, const std::string& parent)
{
    const std::string missing = testing::missingAudioTools();
    if (!missing.empty()) {
        std::printf("audio tag rename: skipped, %s\n", missing.c_str());
        return;
    }
    const std::string folder = makeFolder(parent, "media-audio");
    const std::string sample = parent + "/sample.flac";
    // A second of stereo noise, with ffmpeg's padding block: the tags at the
    // front and audio after them, as a ripper writes a FLAC file.
    if (!testing::runQuietly({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "anoisesrc=d=1:c=pink:r=44100", "-ac",
                              "2", "-c:a", "flac", "-fflags", "+bitexact", "-map_metadata", "-1", sample})
        || !testing::tagAudio({{sample,
                                {{"artist", "Ансамбль песни"},
                                 {"title", "Song 999999"},
                                 {"album", "Greatest Hits"},
                                 {"date", "1999-04-01"},
                                 {"tracknumber", "1/12"}}}})) {
        fail("making the FLAC sample");
    }
    const std::vector<std::string> names
        = copies(folder, sample, count, "track", "flac", "Song 999999", [](int i) { return "Song " + sixDigits(i); });
    std::printf("name %d FLAC files from their tags, %.1f KiB each\n", count, fileKiB(sample));
    std::filesystem::remove(sample);
    const quorbit::TitleTemplate titleTemplate{
        "%Artist% - %Title%", {"%Artist%", "%Title%"}, {"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"}};
    const RoundTimes times = timeRounds(
        folder, names, [&] { return runSeconds(renameAll(folder), quorbit::tagNameSource(titleTemplate), count); });
    const double floor = median(times.floors);
    const double run = median(times.runs);
    std::printf("  floor (first 64 KiB of each, renameat2): %10.0f files/s  %.3f s\n", count / floor, floor);
    std::printf("  Quorbit (rename run, TagLib):            %10.0f files/s  %.3f s\n", count / run, run);
    reportFigure("ratio audio tag rename/floor", roundRatios(times.runs, times.floors));
    std::filesystem::remove_all(folder);
}

void benchmarkPhotos(int count, const std::string& parent)
{
    const std::string missing = testing::missingPhotoTools();
    if (!missing.empty()) {
        std::printf("photo rename: skipped, %s\n", missing.c_str());
        return;
    }
    const std::string folder = makeFolder(parent, "media-photo");
    const std::string exiftoolFolder = makeFolder(parent, "media-photo-exiftool");
    const std::string sample = parent + "/sample.jpg";
    // A 640 by 480 photo of noise with a camera's usual Exif dates and names.
    if (!testing::runQuietly({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                              "nullsrc=s=640x480,geq=random(1)*255:128:128", "-frames:v", "1", sample})
        || !testing::runQuietly({"exiv2", "-Mset Exif.Image.Make Canon", "-Mset Exif.Image.Model Canon EOS 5D",
                                 "-Mset Exif.Image.DateTime 2026:07:15 10:00:00",
                                 "-Mset Exif.Photo.DateTimeOriginal 2026:07:14 09:31:22",
                                 "-Mset Exif.Photo.DateTimeDigitized 2026:07:14 09:31:22", sample})) {
        fail("making the JPEG sample");
    }
    // A photo a second: no two want one name.
    const auto secondOfDay = [](int i) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
        return std::string(time);
    };
    const std::vector<std::string> names = copies(folder, sample, count, "photo", "jpg", "09:31:22", secondOfDay);
    const int sampled = std::min(count, exiftoolSample);
    copies(exiftoolFolder, sample, sampled, "photo", "jpg", "09:31:22", secondOfDay);
    std::printf("name %d JPEG photos after their date, %.1f KiB each\n", count, fileKiB(sample));
    std::filesystem::remove(sample);
    const auto namedByDate = [](const std::string& photos) {
        quorbit::RunSettings settings = renameAll(photos);
        settings.photoTemplate = "%Date% %Time%";
        return settings;
    };
    const RoundTimes times = timeRounds(folder, names, [&] { return runSeconds(namedByDate(folder), {}, count); });
    const double floor = median(times.floors);
    const double run = median(times.runs);
    std::printf("  floor (first 64 KiB of each, renameat2): %10.0f files/s  %.3f s\n", count / floor, floor);
    std::printf("  Quorbit (rename run, Exiv2):             %10.0f files/s  %.3f s\n", count / run, run);
    reportFigure("ratio photo rename/floor", roundRatios(times.runs, times.floors));
    std::printf("photo rename files/s: %.0f\n", count / run);
    std::filesystem::remove_all(folder);

    // The same photos for both, each run starting from the same names.
    const NamesByInode before = namesByInode(exiftoolFolder);
    std::vector<double> exiftoolTimes;
    std::vector<double> runTimes;
    for (int round = 0; round < exiftoolRounds; ++round) {
        runTimes.push_back(runSeconds(namedByDate(exiftoolFolder), {}, sampled));
        giveNamesBack(exiftoolFolder, before);
        const Clock::time_point start = Clock::now();
        if (!testing::runQuietly(
                {"exiftool", "-q", "-d", "%Y-%m-%d %H.%M.%S%%-c.%%e", "-FileName<DateTimeOriginal", exiftoolFolder})) {
            fail("exiftool");
        }
        exiftoolTimes.push_back(secondsSince(start));
        if (std::filesystem::exists(exiftoolFolder + "/" + names[0])) {
            fail("exiftool renamed nothing");
        }
        giveNamesBack(exiftoolFolder, before);
    }
    std::printf("the first %d photos, by both:\n", sampled);
    std::printf("  Quorbit (rename run, Exiv2):             %10.0f files/s  %.3f s\n", sampled / median(runTimes),
                median(runTimes));
    std::printf("  exiftool '-FileName<DateTimeOriginal':   %10.0f files/s  %.3f s\n", sampled / median(exiftoolTimes),
                median(exiftoolTimes));
    // How many times as fast as exiftool, each round's exiftool over that round's run.
    reportFigure("photo rename vs exiftool", roundRatios(exiftoolTimes, runTimes));
    std::filesystem::remove_all(exiftoolFolder);
}

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const std::string parent = parentFolder(argc, argv);
    benchmarkAudio(count, parent);
    benchmarkPhotos(count, parent);
    return 0;
}
