#include "settings/settingsfile.h"

#include "rename/operations.h"
#include "settings/inifile.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quorbit::settings {
namespace {

// The settings keep whichever operation the window shows, the last one included.
static_assert(kRenameOptionEntries == renameOptionCount);

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

// Whether `check` holds for a user whom file permissions bind. The superuser
// is not bound by them, so it runs as "nobody" in a child process then.
bool holdsForPlainUser(const std::function<bool()>& check)
{
    if (geteuid() != 0) {
        return check();
    }
    const pid_t child = fork();
    if (child == 0) {
        _exit(setgid(65534) == 0 && setuid(65534) == 0 && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(Settings, MissingFileGivesTheDefaults)
{
    TempFolder folder;
    const Settings settings = readSettings(folder / "quorbit.ini");
    EXPECT_EQ(settings, Settings{});
    EXPECT_EQ(settings.language, "English");
    EXPECT_EQ(settings.lastFolder, "");
    EXPECT_EQ(settings.applyTo, 0);
    EXPECT_FALSE(settings.subfolders);
    EXPECT_EQ(settings.titleFields,
              (std::array<std::string, 5>{"%Artist%", "%Title%", "%Album%", "%Year%", "%Track%"}));
}

TEST(Settings, SavedFileListsEveryKeyInOrderAndReadsBack)
{
    TempFolder folder;
    const std::string path = folder / "quorbit.ini";
    Settings settings;
    settings.lastFolder = "/home/user/Music";
    settings.applyTo = 1;
    settings.rename = 2;
    settings.subfolders = true;
    settings.renameOption = 16;
    settings.renamePhotos = true;
    settings.photoTemplate = "%Camera% %Date%";
    settings.titleFields = {"%Year%", "%Artist%", "%Title%", "%Album%", "%Track%"};
    ASSERT_TRUE(saveSettings(path, settings));
    EXPECT_EQ(readFile(path),
              "[Options]\n"
              "Language=English\n"
              "Last Folder=/home/user/Music\n"
              "Apply To=1\n"
              "Rename=2\n"
              "Subfolders=1\n"
              "Rename Option=16\n"
              "Rename From ID3=0\n"
              "Rename Photos=1\n"
              "Photo Template=%Camera% %Date%\n"
              "ID3 Fields 0=%Year%\n"
              "ID3 Fields 1=%Artist%\n"
              "ID3 Fields 2=%Title%\n"
              "ID3 Fields 3=%Album%\n"
              "ID3 Fields 4=%Track%\n");
    EXPECT_EQ(readSettings(path), settings);

    // A folder whose name ends in a blank comes back as it was.
    settings.lastFolder = "/home/user/Old Music ";
    ASSERT_TRUE(saveSettings(path, settings));
    EXPECT_EQ(readSettings(path).lastFolder, "/home/user/Old Music ");
}

TEST(Settings, WindowSectionRoundTripsAndOlderFilesReadTheDefaults)
{
    TempFolder folder;
    const std::string path = folder / "quorbit.ini";
    // A file of an older version has no Window section.
    writeFile(path, "[Options]\nLanguage=Russian\n");
    EXPECT_EQ(readSettings(path).window, std::nullopt);
    EXPECT_EQ(readSettings(path).language, "Russian");

    Settings settings;
    settings.window = WindowGeometry{-8, 40, 1100, 700, true, {265, 520, 480, 160}};
    ASSERT_TRUE(saveSettings(path, settings));
    EXPECT_NE(readFile(path).find("[Window]\n"
                                  "Left=-8\n"
                                  "Top=40\n"
                                  "Width=1100\n"
                                  "Height=700\n"
                                  "Maximized=1\n"
                                  "Splitters=265,520,480,160\n"),
              std::string::npos);
    EXPECT_EQ(readSettings(path), settings);

    const auto read = [&](const std::string& lines) {
        writeFile(path, "[Window]\n" + lines);
        return readSettings(path).window;
    };
    // No usable size: the window keeps its own place.
    EXPECT_EQ(read("Left=10\nTop=10\n"), std::nullopt);
    EXPECT_EQ(read("Width=0\nHeight=600\n"), std::nullopt);
    EXPECT_EQ(read("Width=800\nHeight=-1\n"), std::nullopt);
    // Pane sizes that are not a list of numbers are left out, the rest kept.
    const std::optional<WindowGeometry> odd = read("Width=800\nHeight=600\nSplitters=1,x,3\n");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->width, 800);
    EXPECT_EQ(odd->left, 0);
    EXPECT_FALSE(odd->maximized);
    EXPECT_TRUE(odd->splitters.empty());
    EXPECT_EQ(read("Width=800\nHeight=600\nSplitters=\n")->splitters, std::vector<int>{});
}

TEST(Settings, StoredValuesFollowTheReadingRules)
{
    TempFolder folder;
    const std::string path = folder / "quorbit.ini";
    const auto read = [&](const std::string& lines) {
        writeFile(path, "[options]\n" + lines);
        return readSettings(path);
    };
    EXPECT_TRUE(read("Subfolders=2\n").subfolders);
    EXPECT_TRUE(read("Subfolders=-1\n").subfolders);
    EXPECT_FALSE(read("Subfolders=yes\n").subfolders);
    EXPECT_TRUE(read("Rename From ID3=0x1\n").renameFromId3);
    EXPECT_EQ(read("Apply To=0x2\n").applyTo, 2);
    EXPECT_EQ(read("Apply To=5\n").applyTo, 2);
    EXPECT_EQ(read("Apply To=-7\n").applyTo, -1);
    EXPECT_EQ(read("Apply To=-1\n").applyTo, -1);
    EXPECT_EQ(read("Apply To=\n").applyTo, 0);
    EXPECT_EQ(read("Rename=two\n").rename, 0);
    EXPECT_EQ(read("Rename Option=99\n").renameOption, 16);
    EXPECT_EQ(read("Last Folder=\"/home/user/My Music\"\n").lastFolder, "/home/user/My Music");
    EXPECT_EQ(read("Last Folder=/home/user/Music   \n").lastFolder, "/home/user/Music");
    EXPECT_EQ(read("Language=\n").language, "");
    EXPECT_EQ(read("ID3 Fields 0=%Год%\nID3 Fields 1=%ARTIST%\nID3 Fields 5=ignored\n").titleFields,
              (std::array<std::string, 5>{"%Год%", "%ARTIST%", "%Album%", "%Year%", "%Track%"}));

    // Saved back: 2 becomes 1, and the missing title-field keys are all there.
    const Settings settings = read("Subfolders=2\n");
    ASSERT_TRUE(saveSettings(path, settings));
    const std::string saved = readFile(path);
    EXPECT_NE(saved.find("\nSubfolders=1\n"), std::string::npos);
    for (int position = 0; position < 5; ++position) {
        EXPECT_NE(saved.find("ID3 Fields " + std::to_string(position) + "="), std::string::npos);
    }
}

TEST(Settings, SaveKeepsForeignLinesAndFailsWithoutTouchingTheFile)
{
    TempFolder folder;
    const std::string path = folder / "quorbit.ini";
    writeFile(path, "; my notes\r\n[Options]\r\nLanguage=Russian\r\nWindow=maximised\r\n[Plugins]\r\nA=1\r\n");
    Settings settings;
    ASSERT_TRUE(saveSettings(path, settings));
    const std::string saved = readFile(path);
    EXPECT_TRUE(
        saved.starts_with("; my notes\r\n[Options]\r\nLanguage=English\r\nWindow=maximised\r\nLast Folder=\r\n"));
    EXPECT_TRUE(saved.ends_with("ID3 Fields 4=%Track%\r\n[Plugins]\r\nA=1\r\n"));

    const std::string unwritable = folder / "quorbit.ini/inside.ini"; // a file stands where a folder should be
    const Result<void, std::string> refused = saveSettings(unwritable, settings);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.fault(), "Unable to write to " + unwritable);
    EXPECT_EQ(readFile(path), saved);
}

TEST(Settings, FileThatCannotBeReadWholeIsNeverWrittenOver)
{
    struct Case {
        const char* what;
        mode_t mode;
        std::size_t size; // 0 for the lines as they are
    };
    const Case cases[] = {{"no read permission", 0222, 0}, {"larger than 16 MiB", 0666, kMaxFileBytes + 1}};
    const std::string lines = "; my notes\n[Options]\nLanguage=Russian\n[Plugins]\nA=1\n";
    for (const Case& c : cases) {
        TempFolder folder;
        // Anyone may write in the folder and to the file; only the read stands in the way.
        chmod(folder.path().c_str(), 0777);
        const std::string path = folder / "quorbit.ini";
        writeFile(path, lines);
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(c.size ? c.size : lines.size())), 0);
        chmod(path.c_str(), c.mode);
        EXPECT_TRUE(holdsForPlainUser([&] {
            if (readSettings(path) != Settings{}) {
                return false;
            }
            const Result<void, std::string> refused = saveSettings(path, Settings{});
            return !refused && refused.fault() == "Unable to write to " + path;
        })) << c.what;
        const std::string kept = readFile(path);
        EXPECT_TRUE(kept.starts_with(lines) && kept.size() == (c.size ? c.size : lines.size())) << c.what;
        EXPECT_EQ(folder.list(), (std::set<std::string>{"quorbit.ini"})) << c.what;
    }
}

TEST(Settings, SaveGoesThroughALinkThatStaysALink)
{
    // As dotfile managers keep them: the settings path links into another folder.
    for (const bool targetExists : {true, false}) {
        TempFolder folder;
        folder.create({"dotfiles/"});
        const std::string path = folder / "quorbit.ini";
        const std::string target = folder / "dotfiles/quorbit.ini";
        if (targetExists) {
            writeFile(target, "; my notes\n");
        }
        std::filesystem::create_symlink("dotfiles/quorbit.ini", path);
        Settings settings;
        settings.language = "Russian";
        EXPECT_TRUE(saveSettings(path, settings)) << targetExists;
        EXPECT_TRUE(std::filesystem::is_symlink(path)) << targetExists;
        EXPECT_EQ(readSettings(target), settings) << targetExists;
        EXPECT_EQ(readFile(target).starts_with("; my notes\n"), targetExists);
    }
}

TEST(Settings, StrayBytesInTheLastFolderLeaveTheOtherValuesAlone)
{
    // A Linux folder name in windows-1251, saved beside plain ASCII and beside Russian words.
    Settings english;
    english.lastFolder = "/music/\xC0\xEB\xFC\xE1\xEE\xEC";
    Settings russian = english;
    russian.language = "Russian";
    std::copy(RussianPlaceholders.begin(), RussianPlaceholders.end(), russian.titleFields.begin());
    for (const Settings& settings : {english, russian}) {
        TempFolder folder;
        const std::string path = folder / "quorbit.ini";
        ASSERT_TRUE(saveSettings(path, settings));
        const std::string saved = readFile(path);
        const Settings reread = readSettings(path);
        EXPECT_EQ(reread, settings) << settings.language;
        ASSERT_TRUE(saveSettings(path, reread));
        EXPECT_EQ(readFile(path), saved) << settings.language;
        EXPECT_EQ(readSettings(path), settings) << settings.language;
    }
}

TEST(Settings, PortableProgramsKeepTheFileBesideThemInstalledOnesInTheUsersFolder)
{
    TempFolder folder;
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string previousValue = previous ? previous : "";
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    const std::string user = "config/quorbit/quorbit.ini";
    struct Case {
        std::vector<std::string> layout; // added to the layout of the cases before
        std::string executable;
        std::string readFrom;
        std::string writeTo;
    };
    const Case cases[] = {
        {{"build/language/"}, "build/quorbit", "build/quorbit.ini", "build/quorbit.ini"},
        {{"build/q.app/"}, "build/q.app/quorbit.bin", "build/q.app/quorbit.ini", "build/q.app/quorbit.ini"},
        {{}, "missing/bin/quorbit", user, user}, // a folder nothing may be written to
        {{"usr/bin/", "usr/share/quorbit/language/"}, "usr/bin/quorbit", user, user},
        // A file an older version left beside the program is read until the user's own exists.
        {{"usr/bin/quorbit.ini"}, "usr/bin/quorbit", "usr/bin/quorbit.ini", user},
        {{user}, "usr/bin/quorbit", user, user},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.executable);
        for (const std::string& entry : row.layout) {
            folder.create({entry});
        }
        const SettingsPaths paths = settingsPaths(folder / row.executable);
        EXPECT_EQ(paths.readFrom, folder / row.readFrom);
        EXPECT_EQ(paths.writeTo, folder / row.writeTo);
    }
    // The user's folder is made on the first save.
    std::filesystem::remove_all(folder / "config");
    EXPECT_TRUE(saveSettings(settingsPaths(folder / "usr/bin/quorbit").writeTo, Settings{}));
    EXPECT_EQ(readSettings(folder / user), Settings{});
    previous ? setenv("XDG_CONFIG_HOME", previousValue.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace quorbit::settings
