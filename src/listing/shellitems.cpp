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
template <class Key>
void sortFoldersFirst(std::vector<ShellItem>& items, Key key)
{
    std::sort(items.begin(), items.end(), [&](const ShellItem& a, const ShellItem& b) {
        if (a.isFolder != b.isFolder) {
            return a.isFolder;
        }
        if (const int byKey = key(a, b); byKey != 0) {
            return byKey < 0;
        }
        return a.nameRank < b.nameRank;
    });
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
    case NameColumn:
        std::sort(items.begin(), items.end(),
                  [](const ShellItem& a, const ShellItem& b) { return a.nameRank < b.nameRank; });
        break;
    case SizeColumn:
        sortFoldersFirst(items, [&](const ShellItem& a, const ShellItem& b) {
            const int bySize = compare(a.size, b.size);
            return bySize != 0 ? bySize : compareIgnoringAsciiCase(a.name, b.name);
        });
        break;
    case TypeColumn: {
        // Few distinct type texts: each is collated once, and files compare by its rank.
        std::unordered_map<std::string, std::uint32_t> typeRanks;
        // Indexed by name rank, which a filtered list does not number from 0 to its size.
        std::uint32_t rankLimit = 0;
        for (const ShellItem& item : items) {
            rankLimit = std::max(rankLimit, item.nameRank + 1);
        }
        std::vector<std::string> typeOf(rankLimit);
        for (std::size_t position = 0; position < items.size(); ++position) {
            if (!items[position].isFolder) {
                typeOf[items[position].nameRank] = text::caseFold(typeText(items[position]));
                typeRanks.emplace(typeOf[items[position].nameRank], 0);
            }
        }
        std::vector<std::string> types;
        for (const auto& [type, rank] : typeRanks) {
            types.push_back(type);
        }
        text::sortByName(types, [](const std::string& type) -> const std::string& { return type; });
        for (std::size_t rank = 0; rank < types.size(); ++rank) {
            typeRanks[types[rank]] = static_cast<std::uint32_t>(rank);
        }
        sortFoldersFirst(items, [&](const ShellItem& a, const ShellItem& b) {
            if (a.isFolder) {
                return compareIgnoringAsciiCase(a.name, b.name);
            }
            return compare(typeRanks[typeOf[a.nameRank]], typeRanks[typeOf[b.nameRank]]);
        });
        break;
    }
    case ModifiedColumn:
        sortFoldersFirst(items,
                         [&](const ShellItem& a, const ShellItem& b) { return compare(b.modified, a.modified); });
        break;
    case AttributesColumn:
        sortFoldersFirst(items, [](const ShellItem& a, const ShellItem& b) {
            return compareIgnoringAsciiCase(attributesText(a), attributesText(b));
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
    if (!item.name.empty() && item.name.front() == '.') {
        letters += 'H';
    }
    if ((item.mode & S_IWUSR) == 0) {
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
