#include "rename/folderwalk.h"

#include "platform/localetext.h"

#include <algorithm>

namespace quorbit {

namespace {

// A deep walk keeps a handle for every level it passes, which would run out
// of handles long before a deep tree runs out of levels. So only every
// kAnchorStride-th level and the last kAnchorStride levels stay open; a level
// closed meanwhile is opened again from the anchor above it on the way back.
constexpr std::size_t kAnchorStride = 64;

void sortEntriesByName(std::vector<files::DirEntry>& entries)
{
    text::sortByName(entries, [](const files::DirEntry& entry) -> const std::string& { return entry.name; });
}

struct Level {
    files::Folder folder; // closed while the walk is far below it
    std::string name; // in the folder above
    files::Folder::Identity identity;
    std::vector<std::string> subFolders; // still to visit, the next one last
};

Level levelFor(files::Folder folder, std::string name)
{
    Level level{std::move(folder), std::move(name), {}, {}};
    level.identity = level.folder.identity();
    std::vector<files::DirEntry> entries;
    level.folder.list(entries);
    // Only the plain folders are sorted: a folder of many files costs no collation here.
    std::erase_if(entries, [](const files::DirEntry& entry) { return !entry.isPlainFolder(); });
    sortEntriesByName(entries);
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        level.subFolders.push_back(std::move(entry->name));
    }
    return level;
}

class Walk {
public:
    Walk(std::string root, WalkResult& result)
        : m_root(std::move(root))
        , m_result(result)
    {
    }

    void run(files::Folder root, const FolderVisit& visit)
    {
        m_levels.push_back(levelFor(std::move(root), {}));
        while (!m_levels.empty()) {
            Level& deepest = m_levels.back();
            if (deepest.subFolders.empty()) {
                const std::size_t depth = m_levels.size() - 1;
                if (!visit(deepest.folder, depth == 0 ? m_root : pathOf(depth - 1, deepest.name))) {
                    return;
                }
                leave();
            } else {
                std::string name = std::move(deepest.subFolders.back());
                deepest.subFolders.pop_back();
                enter(std::move(name));
            }
        }
    }

private:
    std::string pathOf(std::size_t depth, const std::string& name) const
    {
        std::string path = files::withTrailingSeparator(m_root);
        for (std::size_t level = 1; level <= depth; ++level) {
            path += m_levels[level].name + "/";
        }
        return path + name;
    }

    void enter(std::string name)
    {
        files::Folder child = m_levels.back().folder.openChild(name);
        if (!child.isOpen()) {
            m_result.unreachedFolders.push_back(pathOf(m_levels.size() - 1, name));
            return;
        }
        ++m_result.folderCount;
        m_levels.push_back(levelFor(std::move(child), std::move(name)));
        const std::size_t depth = m_levels.size() - 1;
        const std::size_t depthToClose = depth - std::min(kAnchorStride, depth);
        if (depthToClose % kAnchorStride != 0) {
            m_levels[depthToClose].folder = {};
        }
    }

    // Back to the folder above, opened again when it was closed on the way
    // down. A level that is no longer the folder it was cannot be reached,
    // nor anything in it.
    void leave()
    {
        m_levels.pop_back();
        if (m_levels.empty()) {
            return;
        }
        std::size_t open = m_levels.size() - 1;
        while (!m_levels[open].folder.isOpen()) {
            --open; // the root always stays open
        }
        for (std::size_t depth = open + 1; depth < m_levels.size(); ++depth) {
            Level& level = m_levels[depth];
            level.folder = m_levels[depth - 1].folder.openChild(level.name);
            if (!level.folder.isOpen() || level.folder.identity() != level.identity) {
                while (m_levels.size() > depth) {
                    m_result.unreachedFolders.push_back(pathOf(m_levels.size() - 2, m_levels.back().name));
                    --m_result.folderCount;
                    m_levels.pop_back();
                }
                return;
            }
        }
    }

    std::string m_root;
    WalkResult& m_result;
    std::vector<Level> m_levels;
};

} // namespace

WalkResult walkFolders(const std::string& root, const FolderVisit& visit)
{
    WalkResult result;
    files::Folder rootFolder(root);
    if (rootFolder.isOpen()) {
        Walk(root, result).run(std::move(rootFolder), visit);
    }
    return result;
}

std::vector<std::uint32_t> nameOrder(const NameBlock& names, const std::vector<std::uint32_t>& entries)
{
    return text::nameOrder(entries.size(), [&](std::size_t index) { return names[entries[index]]; });
}

} // namespace quorbit
