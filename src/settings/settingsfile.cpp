#include "settings/settingsfile.h"

#include <algorithm>
#include <charconv>

#include "platform/files.h"
#include "platform/locations.h"
#include "settings/inifile.h"

namespace quorbit::settings {

namespace {

constexpr std::string_view kSection = "Options";
constexpr std::string_view kWindowSection = "Window";
constexpr std::string_view kSplittersKey = "Splitters";

// Pane sizes as "265,374,520,160"; anything that is not a number ends the list.
std::vector<int> parseSizes(std::string_view text)
{
    std::vector<int> sizes;
    while (!text.empty()) {
        int size = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
        if (error != std::errc() || size < 0) {
            return {};
        }
        sizes.push_back(size);
        text.remove_prefix(static_cast<std::size_t>(end - text.data()));
        if (!text.empty() && text.front() != ',') {
            return {};
        }
        if (!text.empty()) {
            text.remove_prefix(1);
        }
    }
    return sizes;
}

std::string joinSizes(const std::vector<int>& sizes)
{
    std::string text;
    for (const int size : sizes) {
        text += (text.empty() ? "" : ",") + std::to_string(size);
    }
    return text;
}

std::optional<WindowGeometry> readWindow(const IniFile& file)
{
    WindowGeometry window;
    window.width = file.readInteger(kWindowSection, "Width", 0);
    window.height = file.readInteger(kWindowSection, "Height", 0);
    if (window.width <= 0 || window.height <= 0) {
        return std::nullopt;
    }
    window.left = file.readInteger(kWindowSection, "Left", 0);
    window.top = file.readInteger(kWindowSection, "Top", 0);
    window.maximized = file.readInteger(kWindowSection, "Maximized", 0) != 0;
    window.splitters = parseSizes(file.readString(kWindowSection, kSplittersKey, ""));
    return window;
}

void writeWindow(IniFile& file, const WindowGeometry& window)
{
    file.writeInteger(kWindowSection, "Left", window.left);
    file.writeInteger(kWindowSection, "Top", window.top);
    file.writeInteger(kWindowSection, "Width", window.width);
    file.writeInteger(kWindowSection, "Height", window.height);
    file.writeInteger(kWindowSection, "Maximized", window.maximized ? 1 : 0);
    file.writeString(kWindowSection, kSplittersKey, joinSizes(window.splitters));
}

std::string titleFieldKey(std::size_t position)
{
    return "ID3 Fields " + std::to_string(position);
}

std::string folderOf(const std::string& path)
{
    return path.substr(0, path.size() - files::fileNameOf(path).size());
}

} // namespace

SettingsPaths settingsPaths(const std::string& executablePath)
{
    const std::string folder = folderOf(executablePath);
    const std::string_view name = files::fileNameOf(executablePath);
    const std::string besideExecutable = folder + std::string(name.substr(0, name.rfind('.'))) + ".ini";
    const std::string configFolder = files::userConfigFolder();
    if (configFolder.empty()) {
        return {besideExecutable, besideExecutable};
    }
    const std::string userFile = configFolder + "/quorbit/quorbit.ini";
    // Installed: of its two folders, languageFolder chose the one under
    // ../share/quorbit/, and it is there.
    const std::string languages = languageFolder(folder);
    if (languages != folder + "language/" && files::isExistingDirectory(languages)) {
        const bool onlyAnOldFile = !files::isExistingFile(userFile) && files::isExistingFile(besideExecutable);
        return {onlyAnOldFile ? besideExecutable : userFile, userFile};
    }
    if (files::isExistingFile(besideExecutable) || files::isWritableFolder(folder.empty() ? "." : folder)) {
        return {besideExecutable, besideExecutable};
    }
    return {userFile, userFile};
}

Settings readSettings(const std::string& path)
{
    const IniFile file = IniFile::load(path);
    const Settings defaults;
    Settings settings;
    settings.language = file.readString(kSection, "Language", defaults.language);
    settings.lastFolder = file.readString(kSection, "Last Folder", defaults.lastFolder);
    settings.applyTo = radioGroupIndex(file.readInteger(kSection, "Apply To", defaults.applyTo), kApplyToEntries);
    settings.rename = radioGroupIndex(file.readInteger(kSection, "Rename", defaults.rename), kRenameEntries);
    settings.subfolders = file.readInteger(kSection, "Subfolders", 0) != 0;
    settings.renameOption
        = radioGroupIndex(file.readInteger(kSection, "Rename Option", defaults.renameOption), kRenameOptionEntries);
    settings.renameFromId3 = file.readInteger(kSection, "Rename From ID3", 0) != 0;
    settings.renamePhotos = file.readInteger(kSection, "Rename Photos", 0) != 0;
    settings.photoTemplate = file.readString(kSection, "Photo Template", defaults.photoTemplate);
    for (std::size_t position = 0; position < settings.titleFields.size(); ++position) {
        settings.titleFields[position]
            = file.readString(kSection, titleFieldKey(position), defaults.titleFields[position]);
    }
    settings.window = readWindow(file);
    return settings;
}

Result<void, std::string> saveSettings(const std::string& path, const Settings& settings)
{
    // Read again, so lines the user added while the program ran are kept. A
    // file that cannot be read whole is left alone: written over, it would
    // hold only these keys, and the user's own lines would be gone.
    LoadedIniFile loaded = loadIniFile(path);
    if (loaded.status == files::ReadStatus::Unreadable) {
        return Failure{unableToWriteMessage(path)};
    }
    IniFile& file = loaded.file;
    file.writeString(kSection, "Language", settings.language);
    file.writeString(kSection, "Last Folder", settings.lastFolder);
    file.writeInteger(kSection, "Apply To", settings.applyTo);
    file.writeInteger(kSection, "Rename", settings.rename);
    file.writeInteger(kSection, "Subfolders", settings.subfolders ? 1 : 0);
    file.writeInteger(kSection, "Rename Option", settings.renameOption);
    file.writeInteger(kSection, "Rename From ID3", settings.renameFromId3 ? 1 : 0);
    file.writeInteger(kSection, "Rename Photos", settings.renamePhotos ? 1 : 0);
    file.writeString(kSection, "Photo Template", settings.photoTemplate);
    for (std::size_t position = 0; position < settings.titleFields.size(); ++position) {
        file.writeString(kSection, titleFieldKey(position), settings.titleFields[position]);
    }
    if (settings.window) {
        writeWindow(file, *settings.window);
    }
    // The configuration folder may not exist yet on a first run.
    const std::string folder = folderOf(path);
    if (!folder.empty() && !files::isExistingDirectory(folder)) {
        files::createPrivateFolder(folder);
    }
    if (std::optional<std::string> failure = file.save(path)) {
        return Failure{std::move(*failure)};
    }
    return {};
}

int radioGroupIndex(int stored, int entryCount)
{
    return std::clamp(stored, -1, entryCount - 1);
}

} // namespace quorbit::settings
