// PNG: an 8-byte signature, then chunks of a 32-bit big-endian data length,
// a 4-letter type, the data and a 4-byte checksum, up to IEND.
// WebP: "RIFF", the 32-bit little-endian length of what follows, "WEBP", then
// chunks of a 4-letter type, a 32-bit little-endian length and the data,
// padded to an even length.
// ISO base media (HEIF): boxes of a 32-bit big-endian length (header
// included; 1: a 64-bit length follows the type, 0: up to the end of the
// file) and a 4-letter type. A meta box (4 bytes of version and flags before
// its boxes) lists its items in iinf (an infe box per item) and places them
// in the file in iloc.

#include "tags/photochunks.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit {

namespace {

constexpr int maxChunks = 65536;
// Deeper meta boxes than this are taken for damage, not walked.
constexpr int maxDepth = 8;

class ChunkReader : public OrderedReader {
public:
    using OrderedReader::OrderedReader;

    // False once more chunk headers were looked at than a file may have.
    bool count() { return ++m_chunks <= maxChunks; }

private:
    int m_chunks = 0;
};

struct Box {
    std::string type;
    std::int64_t offset = 0;
    std::int64_t start = 0; // of its content, after the header
    std::int64_t end = 0; // as its header states it, maybe past the end of the file
};

// The box at `offset`, or nothing when its header does not fit before `end`.
std::optional<Box> boxAt(ChunkReader& reader, std::int64_t offset, std::int64_t end)
{
    const std::string header = reader.read(offset, 16);
    if (offset + 8 > end || header.size() < 8) {
        return std::nullopt;
    }
    const std::uint64_t length = reader.number(std::string_view(header).substr(0, 4));
    if (length == 1 && header.size() < 16) {
        return std::nullopt;
    }
    const std::uint64_t wide = length == 1 ? reader.number(std::string_view(header).substr(8, 8)) : length;
    const std::int64_t headerLength = length == 1 ? 16 : 8;
    // A length shorter than the header makes Exiv2 refuse the file.
    const std::int64_t boxEnd = length == 0
        ? reader.size()
        : offset + static_cast<std::int64_t>(std::clamp<std::uint64_t>(wide, headerLength, std::uint64_t(1) << 62));
    return Box{header.substr(4, 4), offset, offset + headerLength, boxEnd};
}

// What a walk of the boxes finds of the items Exiv2 reads.
struct Items {
    std::set<std::uint32_t> read; // by Exiv2, of the types below
    std::vector<Box> locations; // the iloc boxes
};

// Exiv2 reads every item whose type and name hold "Exif" (for Exif) or
// "mime" (for XMP). A name longer than is looked at counts as one of them.
void addReadItems(ChunkReader& reader, const Box& iinf, Items& items)
{
    for (std::int64_t offset = iinf.start + 6; offset < iinf.end && reader.count();) {
        const std::optional<Box> infe = boxAt(reader, offset, iinf.end);
        if (!infe) {
            return;
        }
        const std::string content = reader.read(infe->start, 256);
        const std::string_view typeAndName = std::string_view(content).substr(std::min<std::size_t>(8, content.size()));
        const std::size_t nameEnd = typeAndName.find('\0');
        const std::string_view text = typeAndName.substr(0, nameEnd);
        if (content.size() >= 6
            && (nameEnd == text.npos || text.find("Exif") != text.npos || text.find("mime") != text.npos)) {
            items.read.insert(static_cast<std::uint32_t>(reader.number(std::string_view(content).substr(4, 2))));
        }
        offset = infe->end;
    }
}

// Whether the items of an iloc box that Exiv2 reads hold at most `maxBytes`.
// Exiv2 reads an iloc box only with 32-bit offsets and lengths and as many
// bytes for each item, and takes the last 4 of these for its length.
bool readItemsFit(ChunkReader& reader, const Box& iloc, const std::set<std::uint32_t>& read, std::int64_t maxBytes)
{
    const std::string head = reader.read(iloc.start, 10);
    if (head.size() < 10) {
        return true;
    }
    const auto version = static_cast<unsigned char>(head[0]);
    const bool fourByteSizes = static_cast<unsigned char>(head[4]) == 0x44;
    const std::uint64_t itemCount = reader.number(std::string_view(head).substr(6, version < 2 ? 2 : 4));
    const auto boxLength = static_cast<std::uint64_t>(iloc.end - iloc.offset);
    if (itemCount == 0 || itemCount >= boxLength / 14 || !fourByteSizes || (boxLength - 16) % itemCount != 0) {
        return true;
    }
    const auto step = static_cast<std::int64_t>((boxLength - 16) / itemCount);
    const std::int64_t first = iloc.start + (version < 2 ? 8 : 10);
    for (std::uint64_t i = 0; i < itemCount; ++i) {
        const std::int64_t item = first + static_cast<std::int64_t>(i) * step;
        const auto id = static_cast<std::uint32_t>(reader.numberAt(item, version > 2 ? 4 : 2));
        if (!reader.count()
            || (read.count(id) != 0 && reader.numberAt(item + step - 4, 4) > static_cast<std::uint64_t>(maxBytes))) {
            return false;
        }
    }
    return true;
}

// Walks the boxes from `start` to `end` and those of the boxes Exiv2 reads
// the boxes of; false at a box Exiv2 would read whole that is too large.
bool boxesFit(ChunkReader& reader, std::int64_t start, std::int64_t end, std::int64_t maxBytes, int depth, Items& items)
{
    for (std::int64_t offset = start; offset < end;) {
        const std::optional<Box> box = boxAt(reader, offset, end);
        if (!box) {
            break;
        }
        if (!reader.count() || (box->type != "mdat" && box->end - box->start > maxBytes)) {
            return false;
        }
        if (box->type == "meta" || box->type == "moov" || box->type == "iprp" || box->type == "ipco") {
            const std::int64_t childStart = box->start + (box->type == "meta" ? 4 : 0);
            if (depth == maxDepth
                || !boxesFit(reader, childStart, std::min(box->end, end), maxBytes, depth + 1, items)) {
                return false;
            }
        } else if (box->type == "iinf") {
            addReadItems(reader, *box, items);
        } else if (box->type == "iloc") {
            items.locations.push_back(*box);
        }
        offset = box->end;
    }
    return true;
}

} // namespace

bool pngChunksFit(FileWindow& window, std::int64_t maxBytes)
{
    static constexpr std::array<std::string_view, 7> readWhole
        = {"IHDR", "tEXt", "zTXt", "iTXt", "iCCP", "eXIf", "IEND"};
    ChunkReader reader(window, true);
    for (std::int64_t offset = 8; reader.count();) {
        const std::string header = reader.read(offset, 8);
        if (header.size() < 8) {
            return true;
        }
        const std::int64_t length = static_cast<std::int64_t>(reader.number(std::string_view(header).substr(0, 4)));
        const std::string_view type = std::string_view(header).substr(4);
        if (length > maxBytes && std::find(readWhole.begin(), readWhole.end(), type) != readWhole.end()) {
            return false;
        }
        if (type == "IEND") {
            return true;
        }
        offset += 12 + length;
    }
    return false;
}

bool webpChunksFit(FileWindow& window, std::int64_t maxBytes)
{
    ChunkReader reader(window, false);
    const std::int64_t end
        = std::min<std::int64_t>(reader.size(), 8 + static_cast<std::int64_t>(reader.numberAt(4, 4)));
    for (std::int64_t offset = 12; offset < end; offset += offset % 2) {
        const std::int64_t length = static_cast<std::int64_t>(reader.numberAt(offset + 4, 4));
        if (!reader.count() || length > maxBytes) {
            return false;
        }
        offset += 8 + length;
    }
    return true;
}

bool bmffBoxesFit(FileWindow& window, std::int64_t maxBytes)
{
    ChunkReader reader(window, true);
    Items items;
    return boxesFit(reader, 0, reader.size(), maxBytes, 0, items)
        && std::all_of(items.locations.begin(), items.locations.end(),
                       [&](const Box& iloc) { return readItemsFit(reader, iloc, items.read, maxBytes); });
}

} // namespace quorbit
