// How long the window's start-up and close spend on the settings file and the
// language file, against the plain file work they cannot avoid.
//   settings_bench [language folder] [scratch parent folder]

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "benchsupport.h"
#include "platform/filecontent.h"
#include "settings/inifile.h"
#include "settings/language.h"
#include "settings/settingsfile.h"

using namespace quorbit;
using bench::Clock;

namespace {

std::string readWhole(const std::string& path)
{
    const files::ReadOnlyFile file(path);
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(file.size(), 0)), '\0');
    bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
    return bytes;
}

// Seconds of one call of `work`, over `repeats` calls.
template <class Work>
double timeEach(int repeats, Work work)
{
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        work();
    }
    return bench::secondsSince(start) / repeats;
}

// Times `work` against `floor` over rounds of `repeats` calls each, and reports
// each round's work over that round's floor: for a look, as none has a goal.
template <class Work, class Floor>
void compare(const std::string& what, const std::string& figure, int repeats, Work work, Floor floor)
{
    constexpr int rounds = 5;
    std::vector<double> works;
    std::vector<double> floors;
    for (int round = 0; round < rounds; ++round) {
        works.push_back(timeEach(repeats, work));
        floors.push_back(timeEach(repeats, floor));
    }
    std::printf("%s (%d rounds; median, min-max)\n", what.c_str(), rounds);
    std::printf("  Quorbit: %s us\n  floor:   %s us\n", bench::withSpread(works, 1e6, 1).c_str(),
                bench::withSpread(floors, 1e6, 1).c_str());
    bench::reportFigure(figure, bench::roundRatios(works, floors));
}

// The floor of an atomic, durable save: a new file written, flushed and renamed over the old one.
void writeAndReplace(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + "~";
    const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0 || ::write(descriptor, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())
        || ::fsync(descriptor) != 0 || ::close(descriptor) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        bench::fail("write " + temporary);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string languages = argc > 1 ? std::string(argv[1]) + "/" : "language/";
    const std::string folder = bench::makeFolder(bench::parentFolder(argc, argv), "settings");
    const std::string settingsPath = folder + "/quorbit.ini";
    settings::Settings stored;
    stored.lastFolder = "/home/user/Music/Собрание";
    stored.language = "Russian";
    if (!settings::saveSettings(settingsPath, stored)) {
        bench::fail("save " + settingsPath);
    }
    if (readWhole(languages + "Russian.ini").empty()) {
        bench::fail("read " + languages + "Russian.ini");
    }

    // Start-up: the settings read and the language applied.
    compare(
        "start-up: read settings, apply Russian.ini", "ratio start-up/floor", 2000,
        [&] {
            const settings::Settings settings = settings::readSettings(settingsPath);
            settings::InterfaceTexts texts;
            settings::ApplyLanguage(languages, settings.language, texts);
        },
        [&] {
            const std::string both = readWhole(settingsPath) + readWhole(languages + "Russian.ini");
            if (both.empty()) {
                bench::fail("read");
            }
        });

    // Close: every setting written, atomically and durably.
    const std::string savedBytes = readWhole(settingsPath);
    compare(
        "close: save every setting", "ratio close/floor", 50,
        [&] {
            if (!settings::saveSettings(settingsPath, stored)) {
                bench::fail("save " + settingsPath);
            }
        },
        [&] { writeAndReplace(settingsPath, savedBytes); });

    // A damaged settings file: one line of 10 MB.
    const std::string hugePath = folder + "/huge.ini";
    std::ofstream(hugePath) << "[Options]\nLast Folder=" << std::string(10 << 20, 'x') << "\n";
    compare(
        "start-up with a 10 MB line in the settings file", "ratio start-up, 10 MB line/floor", 5,
        [&] { settings::readSettings(hugePath); },
        [&] {
            if (readWhole(hugePath).empty()) {
                bench::fail("read " + hugePath);
            }
        });

    for (const char* name : {"/quorbit.ini", "/huge.ini"}) {
        ::unlink((folder + name).c_str());
    }
    ::rmdir(folder.c_str());
    return 0;
}
