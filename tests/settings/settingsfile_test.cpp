#include "settings/settingsfile.h"

#include "tempfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quorbit::settings {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

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
    settings.renameOption = 15;
    settings.titleFields = {"%Year%", "%Artist%", "%Title%", "%Album%", "%Track%"};
    ASSERT_FALSE(saveSettings(path, settings));
    EXPECT_EQ(readFile(path), "[Options]\n"
                              "Language=English\n"
                              "Last Folder=/home/user/Music\n"
                              "Apply To=1\n"
                              "Rename=2\n"
                              "Subfolders=1\n"
                              "Rename Option=15\n"
                              "Rename From ID3=0\n"
                              "ID3 Fields 0=%Year%\n"
                              "ID3 Fields 1=%Artist%\n"
                              "ID3 Fields 2=%Title%\n"
                              "ID3 Fields 3=%Album%\n"
                              "ID3 Fields 4=%Track%\n");
    EXPECT_EQ(readSettings(path), settings);

    // A folder whose name ends in a blank comes back as it was.
    settings.lastFolder = "/home/user/Old Music ";
    ASSERT_FALSE(saveSettings(path, settings));
    EXPECT_EQ(readSettings(path).lastFolder, "/home/user/Old Music ");
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
    EXPECT_EQ(read("Rename Option=99\n").renameOption, 15);
    EXPECT_EQ(read("Last Folder=\"/home/user/My Music\"\n").lastFolder, "/home/user/My Music");
    EXPECT_EQ(read("Last Folder=/home/user/Music   \n").lastFolder, "/home/user/Music");
    EXPECT_EQ(read("Language=\n").language, "");
    EXPECT_EQ(read("ID3 Fields 0=%Год%\nID3 Fields 1=%ARTIST%\nID3 Fields 5=ignored\n").titleFields,
              (std::array<std::string, 5>{"%Год%", "%ARTIST%", "%Album%", "%Year%", "%Track%"}));

    // Saved back: 2 becomes 1, and the missing title-field keys are all there.
    const Settings settings = read("Subfolders=2\n");
    ASSERT_FALSE(saveSettings(path, settings));
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
    ASSERT_FALSE(saveSettings(path, settings));
    const std::string saved = readFile(path);
    EXPECT_TRUE(saved.starts_with("; my notes\r\n[Options]\r\nLanguage=English\r\nWindow=maximised\r\nLast Folder=\r\n"));
    EXPECT_TRUE(saved.ends_with("ID3 Fields 4=%Track%\r\n[Plugins]\r\nA=1\r\n"));

    const std::string unwritable = folder / "quorbit.ini/inside.ini"; // a file stands where a folder should be
    EXPECT_EQ(saveSettings(unwritable, settings), "Unable to write to " + unwritable);
    EXPECT_EQ(readFile(path), saved);
}

TEST(Settings, FileLiesBesideTheExecutableOrInTheConfigurationFolder)
{
    TempFolder folder;
    folder.create({"bin/q.app/"});
    EXPECT_EQ(settingsFilePath(folder / "bin/quorbit"), folder / "bin/quorbit.ini");
    EXPECT_EQ(settingsFilePath(folder / "bin/quorbit.bin"), folder / "bin/quorbit.ini");
    EXPECT_EQ(settingsFilePath(folder / "bin/q.app/quorbit"), folder / "bin/q.app/quorbit.ini");

    // An executable where nothing may be written, as when installed system-wide.
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string previousValue = previous ? previous : "";
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    const std::string path = settingsFilePath(folder / "missing/bin/quorbit");
    EXPECT_EQ(path, folder / "config/quorbit/quorbit.ini");
    EXPECT_FALSE(saveSettings(path, Settings{}));
    EXPECT_EQ(readSettings(path), Settings{});
    previous ? setenv("XDG_CONFIG_HOME", previousValue.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace quorbit::settings
