#include "listing/shellitems.h"

#include "listing/filemask.h"
#include "platform/localetext.h"

#include <algorithm>
#include <numeric>
#include <sys/stat.h>
#include <tuple>
#include <unordered_map>

namespace quorbit::listing {

namespace {

// Compares without regard to the case of the plain letters A to Z.
int compareIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t position = 0; position < common; ++position) {
        const int difference
            = lower(static_cast<unsigned char>(a[position])) - lower(static_cast<unsigned char>(b[position]));
        if (difference != 0) {
            return difference;
        }
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// Orders by `key` with folders first, entries of equal keys in name order.
// The positions are sorted and the entries moved once, not at every swap.
template <class Key>
void sortFoldersFirst(std::vector<ShellItem>& items, Key key)
{
    std::vector<std::uint32_t> order(items.size());
    std::iota(order.begin(), order.end(), 0U);
    std::sort(order.begin(), order.end(), [&](std::uint32_t left, std::uint32_t right) {
        const ShellItem& a = items[left];
        const ShellItem& b = items[right];
        if (a.isFolder != b.isFolder) {
            return a.isFolder;
        }
        if (const int byKey = key(a, b); byKey != 0) {
            return byKey < 0;
        }
        return a.nameRank < b.nameRank;
    });
    std::vector<ShellItem> sorted;
    sorted.reserve(items.size());
    for (const std::uint32_t position : order) {
        sorted.push_back(std::move(items[position]));
    }
    items = std::move(sorted);
}

bool isHidden(const ShellItem& item)
{
    return !item.name.empty() && item.name.front() == '.';
}

bool isReadOnly(const ShellItem& item)
{
    return (item.mode & S_IWUSR) == 0;
}

// The place of the item's attributes text among "", "H", "HR" and "R".
int attributesRank(const ShellItem& item)
{
    return isHidden(item) ? (isReadOnly(item) ? 2 : 1) : (isReadOnly(item) ? 3 : 0);
}

} // namespace

FolderListing listFolder(const std::string& folder, bool foldersOnly)
{
    FolderListing listing;
    std::vector<files::EntryDetails> entries;
    listing.readable = files::Folder(folder).listDetails(entries, foldersOnly);
    listing.items.reserve(entries.size());
    for (files::EntryDetails& entry : entries) {
        listing.items.push_back(ShellItem{std::move(entry)});
    }
    text::sortByName(listing.items, [](const ShellItem& item) -> const std::string& { return item.name; });
    for (std::size_t position = 0; position < listing.items.size(); ++position) {
        listing.items[position].nameRank = static_cast<std::uint32_t>(position);
    }
    return listing;
}

void sortItems(std::vector<ShellItem>& items, int column, const std::function<std::string(const ShellItem&)>& typeText)
{
    const auto compare = [](auto a, auto b) { return a < b ? -1 : b < a ? 1 : 0; };
    switch (column) {
    case NameColumn: {
        const auto byRank = [](const ShellItem& a, const ShellItem& b) { return a.nameRank < b.nameRank; };
        if (!std::is_sorted(items.begin(), items.end(), byRank)) { // as listed, or sorted by another column
            std::sort(items.begin(), items.end(), byRank);
        }
        break;
    }
    case SizeColumn:
        sortFoldersFirst(items, [&](const ShellItem& a, const ShellItem& b) {
            const int bySize = compare(a.size, b.size);
            return bySize != 0 ? bySize : compareIgnoringAsciiCase(a.name, b.name);
        });
        break;
    case TypeColumn: {
        // Few distinct type texts, each a matter of the extension alone: each
        // extension's text is asked for and collated once, and files compare
        // by the rank of theirs, looked up before the sort.
        std::unordered_map<std::string_view, std::string> typeOfExtension;
        for (const ShellItem& item : items) {
            if (!item.isFolder) {
                auto [type, added] = typeOfExtension.try_emplace(extensionOf(item.name));
                if (added) {
                    type->second = text::caseFold(typeText(item));
                }
            }
        }
        std::vector<std::string> types;
        for (const auto& [extension, type] : typeOfExtension) {
            types.push_back(type);
        }
        text::sortByName(types, [](const std::string& type) -> const std::string& { return type; });
        types.erase(std::unique(types.begin(), types.end()), types.end());
        std::unordered_map<std::string_view, std::uint32_t> rankOfExtension;
        for (const auto& [extension, type] : typeOfExtension) {
            // Equal texts are neighbours, as the names sort does not split them.
            const auto found = std::find(types.begin(), types.end(), type);
            rankOfExtension.emplace(extension, static_cast<std::uint32_t>(found - types.begin()));
        }
        // Indexed by name rank, which a filtered list does not number from 0 to its size.
        std::uint32_t rankLimit = 0;
        for (const ShellItem& item : items) {
            rankLimit = std::max(rankLimit, item.nameRank + 1);
        }
        std::vector<std::uint32_t> typeRank(rankLimit);
        for (const ShellItem& item : items) {
            if (!item.isFolder) {
                typeRank[item.nameRank] = rankOfExtension[extensionOf(item.name)];
            }
        }
        sortFoldersFirst(items, [&](const ShellItem& a, const ShellItem& b) {
            if (a.isFolder) {
                return compareIgnoringAsciiCase(a.name, b.name);
            }
            return compare(typeRank[a.nameRank], typeRank[b.nameRank]);
        });
        break;
    }
    case ModifiedColumn:
        sortFoldersFirst(items,
                         [&](const ShellItem& a, const ShellItem& b) { return compare(b.modified, a.modified); });
        break;
    case AttributesColumn:
        // The four texts in their order, "", "H", "HR", "R", without making any of them.
        sortFoldersFirst(items, [&](const ShellItem& a, const ShellItem& b) {
            return compare(attributesRank(a), attributesRank(b));
        });
        break;
    default:
        break;
    }
}

std::string sizeText(const ShellItem& item)
{
    if (item.isFolder) {
        return {};
    }
    const long long kilobytes = item.size > 0 && item.size < 1024 ? 1 : std::max(item.size, 0LL) / 1024;
    const std::string digits = std::to_string(kilobytes);
    const std::size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3; // digits before the first ","
    std::string grouped;
    for (std::size_t position = 0; position < digits.size(); ++position) {
        if (position >= lead && (position - lead) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[position];
    }
    return grouped + "KB";
}

std::string attributesText(const ShellItem& item)
{
    std::string letters;
    if (isHidden(item)) {
        letters += 'H';
    }
    if (isReadOnly(item)) {
        letters += 'R';
    }
    return letters;
}

std::string_view extensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::size_t findItem(const std::vector<ShellItem>& items, std::string_view text, std::size_t start, bool exact)
{
    for (std::size_t position = start; position < items.size(); ++position) {
        const std::string& name = items[position].name;
        if (exact ? name == text : name.find(text) != std::string::npos) {
            return position;
        }
    }
    return items.size();
}

std::vector<ShellItem> filterItems(const std::vector<ShellItem>& items, std::string_view maskText)
{
    const FileMask mask(maskText);
    std::vector<ShellItem> passed;
    for (const ShellItem& item : items) {
        if (!item.isFileSystemFile() || mask.matches(item.name)) {
            passed.push_back(item);
        }
    }
    return passed;
}

} // namespace quorbit::listing
