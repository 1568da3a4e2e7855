#include "rename/renamerun.h"

#include "browser/filemask.h"
#include "platform/files.h"
#include "platform/localetext.h"

namespace quorbit {

namespace {

// Runs `action` when the scope ends, however it ends.
template <class Action>
class AtScopeExit {
public:
    explicit AtScopeExit(Action action)
        : m_action(std::move(action))
    {
    }
    ~AtScopeExit() { m_action(); }
    AtScopeExit(const AtScopeExit&) = delete;
    AtScopeExit& operator=(const AtScopeExit&) = delete;

private:
    Action m_action;
};

bool hasMp3Extension(std::string_view name)
{
    const std::string_view extension = splitName(name).extension;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return extension.size() == 3 && lower(extension[0]) == 'm' && lower(extension[1]) == 'p' && extension[2] == '3';
}

void sortEntriesByName(std::vector<files::DirEntry>& entries)
{
    text::sortByName(entries, [](const files::DirEntry& entry) -> const std::string& { return entry.name; });
}

} // namespace

NameParts splitName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return {name, {}};
    }
    return {name.substr(0, dot), name.substr(dot + 1)};
}

std::optional<std::string> safeFileName(std::string_view name)
{
    // Trailing dots and blanks are dropped, as on the platform the program came from.
    const std::size_t end = name.find_last_not_of(". ");
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    name = name.substr(0, end + 1);
    if (name.find('/') != std::string_view::npos || name.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    return std::string(name);
}

RunResult RenameRun::run(const RunSettings& settings, const StatusTexts& texts, RunProgress& progress,
                         const TagNameSource& tagNames)
{
    if (m_running) {
        return {RunResult::Outcome::AlreadyRunning, {}};
    }
    if (settings.folder.empty()) {
        return {RunResult::Outcome::NoFolder, "No folder is selected."};
    }
    OperationInputs inputs{settings.symbolsText, settings.replaceText, 0};
    if (needsNumber(settings.option)) {
        const std::optional<int> number = parseInteger(settings.numberText);
        if (!number) {
            return {RunResult::Outcome::InvalidNumber, invalidIntegerMessage(settings.numberText)};
        }
        inputs.number = *number;
    }

    m_running = true;
    const AtScopeExit clearRunning([this] { m_running = false; });
    const ActiveRun active{settings, std::move(inputs), progress, tagNames};
    const FileMask mask(settings.mask);
    std::string status = texts.renamed + " ";
    if (settings.subfolders) {
        resetCounts();
        startFolderList(settings.folder);
        WalkFolders(settings.folder);
        // Backwards through the walk every folder comes before its parent, so
        // renaming a folder never hides one still to do.
        for (auto folder = m_folderList.rbegin(); folder != m_folderList.rend(); ++folder) {
            CollectEntries(*folder, settings.applyTo, mask);
            RenameAll(active);
        }
        status += std::to_string(m_fileCount) + " " + texts.files + " / " + std::to_string(m_folderCount) + " "
            + texts.dirs;
    } else {
        CollectEntries(settings.folder, settings.applyTo, mask);
        RenameAll(active);
        status += std::to_string(m_renameList.size()) + " " + texts.files;
    }
    return {RunResult::Outcome::Done, std::move(status)};
}

void RenameRun::resetCounts()
{
    m_folderCount = 0;
    m_fileCount = 0;
}

void RenameRun::startFolderList(const std::string& folder)
{
    m_folderList.assign(1, folder);
}

void RenameRun::WalkFolders(const std::string& path)
{
    // An explicit stack, so no folder depth can exhaust the call stack.
    std::vector<std::string> pending;
    std::vector<files::DirEntry> entries;
    const auto pushSubFolders = [&](const std::string& folder) {
        const std::string prefix = files::withTrailingSeparator(folder);
        files::listFolder(prefix, entries);
        // Only the plain folders are sorted: a folder of many files costs no collation here.
        std::erase_if(entries, [](const files::DirEntry& entry) { return !entry.isPlainFolder(); });
        sortEntriesByName(entries);
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            pending.push_back(prefix + entry->name);
        }
    };
    pushSubFolders(path);
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        ++m_folderCount;
        m_folderList.push_back(folder);
        pushSubFolders(folder);
    }
}

void RenameRun::CollectEntries(const std::string& path, ApplyTo applyTo, const FileMask& mask)
{
    m_renameList.clear();
    const std::string folder = files::withTrailingSeparator(path);
    std::vector<files::DirEntry> entries;
    files::listFolder(folder, entries);
    sortEntriesByName(entries);
    for (const files::DirEntry& entry : entries) {
        std::string fullPath = folder + entry.name;
        // A link counts as a folder when it leads to one; it is still renamed as itself.
        const bool isFolder = entry.isDirectory || (entry.isLink && files::isExistingDirectory(fullPath));
        const bool selected = applyTo == ApplyTo::Folders ? isFolder
            : applyTo == ApplyTo::Files                   ? !isFolder && mask.matches(entry.name)
                                                          : isFolder || mask.matches(entry.name);
        if (selected) {
            m_renameList.push_back(std::move(fullPath));
        }
        if (!entry.isPlainFolder()) {
            ++m_fileCount;
        }
    }
}

void RenameRun::RenameAll(const ActiveRun& active)
{
    const AtScopeExit resetProgress([&progress = active.progress] {
        progress.setProgressPosition(0);
        progress.hideProgress();
    });
    const std::size_t count = m_renameList.size();
    if (count > 100) {
        active.progress.showProgress();
    }
    for (std::size_t i = 0; i < count; ++i) {
        RenameEntry(active, m_renameList[i], i);
        active.progress.setProgressPosition(static_cast<int>(100 * i / count));
        active.progress.processPendingEvents();
    }
}

std::string RenameRun::newNameFor(const ActiveRun& active, const std::string& path, std::size_t index) const
{
    const std::string_view name = files::fileNameOf(path);
    if (active.tagNames && hasMp3Extension(name)) {
        if (std::optional<std::string> tagName = active.tagNames(path)) {
            return std::move(*tagName);
        }
    }
    const NameParts parts = splitName(name);
    const auto apply = [&](std::string_view part) {
        return ApplyOperation(active.settings.option, part, active.inputs, index, m_renameList.size());
    };
    switch (active.settings.renamePart) {
    case RenamePart::Names:
        return apply(parts.base) + "." + std::string(parts.extension);
    case RenamePart::Extensions:
        return std::string(parts.base) + "." + apply(parts.extension);
    case RenamePart::Both:
        return apply(parts.base) + "." + apply(parts.extension);
    }
    return std::string(name);
}

void RenameRun::RenameEntry(const ActiveRun& active, const std::string& path, std::size_t index)
{
    const std::string_view oldName = files::fileNameOf(path);
    const std::string computed = newNameFor(active, path, index);
    // An operation that changes nothing leaves the entry alone, even where the
    // old name has trailing dots or blanks that a new name would lose.
    if (computed == oldName) {
        return;
    }
    const std::optional<std::string> newName = safeFileName(computed);
    if (!newName || *newName == oldName) {
        return;
    }
    // A failed move (name taken, entry gone, no access) leaves the entry as it was.
    files::moveEntry(path, path.substr(0, path.size() - oldName.size()) + *newName);
}

} // namespace quorbit
