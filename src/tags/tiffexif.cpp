// A TIFF file starts with an 8-byte header: the byte order ("II" little-endian,
// "MM" big-endian), a 16-bit mark (42 for TIFF; ORF and RW2 have their own)
// and the 32-bit offset of IFD0. An IFD is a 16-bit entry count, 12 bytes per
// entry and the offset of the next IFD. An entry holds a tag, a type, a count
// of values and either the values themselves, when they fit in 4 bytes, or the
// offset where they lie. IFD0 names the camera (Make, Model) and the time the
// file was written (DateTime), and points to the Exif IFD (tag 0x8769), which
// holds the times the photo was taken and digitized. Raw files put their image
// data anywhere, before or after these, so they are found by their offsets
// alone and nothing else of the file is read.

#include "tags/tiffexif.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quorbit {

namespace {

// Exiv2 reads no IFD with more entries (it takes it for damaged), and skips an
// entry with a count from 2^28 on.
constexpr std::uint32_t maxEntries = 256;
constexpr std::uint32_t maxCount = 0x10000000;
// Only the start of a longer text is read: a file name holds at most 255
// bytes, and the rest leaves room for blanks, which are trimmed.
constexpr std::uint32_t maxTextBytes = 64 * 1024;
constexpr std::int64_t entrySize = 12;

enum Tag : std::uint16_t {
    panasonicJpeg = 0x002E, // RW2's IFD0 is Panasonic's own, not Exif.Image
    make = 0x010F,
    model = 0x0110,
    dateTime = 0x0132,
    exifIfd = 0x8769,
    dateTimeOriginal = 0x9003,
    dateTimeDigitized = 0x9004,
};

enum Type : std::uint16_t { ascii = 2, unsignedLong = 4, undefined = 7, signedLong = 9, ifd = 13 };

struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::string field; // the 4 bytes that hold the values or their offset
};

class TiffFile : public OrderedReader {
public:
    using OrderedReader::OrderedReader;

    // TIFF's numbers take 4 bytes at the most.
    std::uint32_t number(std::string_view bytes) const
    {
        return static_cast<std::uint32_t>(OrderedReader::number(bytes));
    }

    // The entries of the IFD at `offset` that lie inside the file.
    std::vector<Entry> directory(std::int64_t offset) const
    {
        const std::string count = read(offset, 2);
        if (count.size() < 2 || number(count) > maxEntries) {
            return {};
        }
        const std::string bytes = read(offset + 2, number(count) * entrySize);
        std::vector<Entry> entries;
        for (std::size_t at = 0; at + entrySize <= bytes.size(); at += entrySize) {
            const std::string_view entry = std::string_view(bytes).substr(at, entrySize);
            entries.push_back({static_cast<std::uint16_t>(number(entry.substr(0, 2))),
                               static_cast<std::uint16_t>(number(entry.substr(2, 2))), number(entry.substr(4, 4)),
                               std::string(entry.substr(8, 4))});
        }
        return entries;
    }

    // Whether `length` bytes from `offset` lie wholly inside the file; Exiv2
    // reads values that do not as empty.
    bool holds(std::int64_t offset, std::uint32_t length) const
    {
        return offset > 0 && offset < size() && length <= size() - offset;
    }

    // Up to `limit` bytes of the values of an entry whose values take
    // `valueSize` bytes each; only text (1) and offsets (4) are read here.
    std::string values(const Entry& entry, std::uint32_t valueSize, std::uint32_t limit) const
    {
        const std::uint32_t length = entry.count * valueSize;
        if (length <= 4) {
            return entry.field.substr(0, std::min(length, limit));
        }
        const std::int64_t offset = number(entry.field);
        return holds(offset, length) ? read(offset, std::min(length, limit)) : std::string();
    }

    // An entry's text up to its first NUL, empty when it is not ASCII; nothing
    // for an entry Exiv2 skips.
    std::optional<std::string> text(const Entry& entry) const
    {
        if (entry.count >= maxCount) {
            return std::nullopt;
        }
        const std::string text = entry.type == ascii ? values(entry, 1, maxTextBytes) : std::string();
        return text.substr(0, text.find('\0'));
    }
};

} // namespace

bool isTiffHeader(std::string_view head)
{
    static constexpr std::array<std::string_view, 7> marks
        = {std::string_view("II*\0", 4), std::string_view("MM\0*", 4), "IIRO", "IIRS", "MMOR", "MMSR",
           std::string_view("IIU\0", 4)};
    return std::any_of(marks.begin(), marks.end(), [&](std::string_view mark) { return head.starts_with(mark); });
}

std::optional<TiffExif> readTiffExif(FileWindow& window)
{
    const std::string header = window.bytesAt(0, 8);
    if (header.size() < 8 || !isTiffHeader(header)) {
        return std::nullopt;
    }
    const TiffFile file(window, header[0] == 'M');
    const bool isRw2 = header[2] == 'U';
    const std::int64_t ifd0 = file.number(header.substr(4));
    if (ifd0 >= file.size()) {
        return std::nullopt;
    }
    TiffExif exif;
    ExifFields& fields = exif.fields;
    // The first entry of a tag counts, as for Exiv2.
    const auto keepFirst = [](std::optional<std::string>& field, std::optional<std::string> text) {
        if (!field) {
            field = std::move(text);
        }
    };
    std::vector<std::int64_t> visited = {ifd0}; // Exiv2 reads no IFD twice
    bool jpegSeen = false; // Exiv2 takes the first entry for the JPEG, or none
    for (const Entry& entry : file.directory(ifd0)) {
        if (!isRw2 && entry.tag == make) {
            keepFirst(fields.make, file.text(entry));
        } else if (!isRw2 && entry.tag == model) {
            keepFirst(fields.model, file.text(entry));
        } else if (!isRw2 && entry.tag == dateTime) {
            keepFirst(fields.dateTime, file.text(entry));
        } else if (isRw2 && entry.tag == panasonicJpeg && entry.count < maxCount && !jpegSeen) {
            jpegSeen = true;
            const std::int64_t offset = file.number(entry.field);
            if (entry.type == undefined && entry.count > 4 && file.holds(offset, entry.count)) {
                exif.jpegStart = offset;
                exif.jpegLength = entry.count;
            }
        } else if (entry.tag == exifIfd && (entry.type == unsignedLong || entry.type == signedLong || entry.type == ifd)
                   && entry.count >= 1 && entry.count < maxCount) {
            // Exiv2 reads IFDs of other kinds at the offsets after the first.
            const std::string values = file.values(entry, 4, 4);
            const std::int64_t offset = values.size() == 4 ? file.number(values) : file.size() + 1;
            if (offset > file.size() || std::find(visited.begin(), visited.end(), offset) != visited.end()) {
                continue;
            }
            visited.push_back(offset);
            for (const Entry& exifEntry : file.directory(offset)) {
                if (exifEntry.tag == dateTimeOriginal) {
                    keepFirst(fields.dateTimeOriginal, file.text(exifEntry));
                } else if (exifEntry.tag == dateTimeDigitized) {
                    keepFirst(fields.dateTimeDigitized, file.text(exifEntry));
                }
            }
        }
    }
    return exif;
}

} // namespace quorbit
