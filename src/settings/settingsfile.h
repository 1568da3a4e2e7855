#pragma once

#include "platform/result.h"
#include "tags/photoname.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/language.h"

// The user's choices kept between runs: read once when the window opens and
// written once when it closes.
namespace quorbit::settings {

// Entries of the window's three radio groups.
inline constexpr int kApplyToEntries = 3;
inline constexpr int kRenameEntries = 3;
inline constexpr int kRenameOptionEntries = 17;

// Where the window was when it closed: its frame's top left corner, its
// normal (not maximised) size, and every splitter's pane sizes in order.
struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool maximized = false;
    std::vector<int> splitters;

    bool operator==(const WindowGeometry&) const = default;
};

struct Settings {
    std::string language = "English";
    std::string lastFolder;
    // Selected entries of the radio groups; -1 is no selection.
    int applyTo = 0;
    int rename = 0;
    bool subfolders = false;
    int renameOption = 0;
    bool renameFromId3 = false;
    bool renamePhotos = false;
    std::string photoTemplate{defaultPhotoTemplate};
    // The title-field list's entries in their order, as the list shows them.
    std::array<std::string, kTitleFieldCount> titleFields{
        std::string(EnglishPlaceholders[0]), std::string(EnglishPlaceholders[1]), std::string(EnglishPlaceholders[2]),
        std::string(EnglishPlaceholders[3]), std::string(EnglishPlaceholders[4])};
    // None in files of older versions, or with no usable size: the window's own.
    std::optional<WindowGeometry> window;

    bool operator==(const Settings&) const = default;
};

// Where the program at `executablePath` reads its settings when the window
// opens and writes them when it closes. "Beside" is the file beside the
// executable, named after it with ".ini"; the user's file is
// "quorbit/quorbit.ini" in the user's configuration folder.
// - An installed program (languageFolder finds its language files under
//   ../share/quorbit/) writes the user's file, never one beside it: that one
//   every user would share, and it would outlive the package. It reads the
//   user's file, or while there is none, the file beside it an older version
//   may have left, so that file's choices still load.
// - Otherwise, for portable use, both are beside when that file exists or its
//   folder is writable, else the user's file.
// Both are beside when the user's configuration folder cannot be found out.
struct SettingsPaths {
    std::string readFrom;
    std::string writeTo;
};
SettingsPaths settingsPaths(const std::string& executablePath);

// Every setting from the file; a missing or unreadable file (see loadIniFile),
// key or number gives the default. The window's place is read only from a
// "Window" section with a positive width and height.
Settings readSettings(const std::string& path);

// Writes every setting (the "Window" section only when there is a window
// geometry), keeping whatever else the file holds; a path that is a
// link is written through it and stays a link. Fails with the message for the
// user when the file cannot be written, or exists but cannot be read whole; the
// file is then unchanged.
Result<void, std::string> saveSettings(const std::string& path, const Settings& settings);

// A stored selection applied to a group of `entryCount` entries: below -1 is
// no selection (-1), past the last entry is the last entry.
int radioGroupIndex(int stored, int entryCount);

} // namespace quorbit::settings
