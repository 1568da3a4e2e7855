#include "tags/audiotags.h"

#include "platform/filecontent.h"
#include "tags/extensionmatch.h"
#include "tags/filewindow.h"

#include <taglib/fileref.h>
#include <taglib/tfile.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>

#include <algorithm>
#include <array>
#include <exception>

namespace quorbit {

namespace {

// The largest block TagLib gets in one read. FLAC's largest metadata block (a
// picture) is just under 16 MiB; the fields a name is made of are far
// smaller, and a larger request comes from a damaged size field.
constexpr unsigned long maxBlockBytes = 16 * 1024 * 1024;

// The most reads TagLib may make of one file; a tag takes a few hundred. For
// each metadata object of a WMA file, TagLib keeps as many attributes as the
// object claims (up to 65,535, some 60 MB), however few bytes are left, object
// after object. Past this many reads the file reads as if it ended, so TagLib
// stops after the object it is in.
constexpr int maxReads = 65536;

// The file as TagLib reads it: through the handle opened in the folder, never
// by a path; every write is refused.
class ReadOnlyStream : public TagLib::IOStream {
public:
    ReadOnlyStream(const files::ReadOnlyFile& file, const std::string& name)
        : m_window(file)
        , m_name(name)
    {
    }

    // TagLib picks the file's format by the extension of this name.
    TagLib::FileName name() const override { return m_name.c_str(); }

    // A block is never larger than what the file still holds from the position,
    // nor than maxBlockBytes: a damaged size field (a few bytes of a broken MP4
    // can ask for 4 GB) gets a short block, as at the end of a file.
    TagLib::ByteVector readBlock(unsigned long length) override
    {
        if (++m_reads > maxReads) {
            m_window.seek(m_window.size());
            return {};
        }
        const auto left = static_cast<unsigned long>(std::max<std::int64_t>(0, m_window.size() - m_window.position()));
        TagLib::ByteVector block(static_cast<unsigned int>(std::min({length, left, maxBlockBytes})));
        block.resize(
            static_cast<unsigned int>(m_window.read(reinterpret_cast<unsigned char*>(block.data()), block.size())));
        return block;
    }

    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }

    // As with a file, a position before the start is refused and one past the
    // end is kept; once the reads are used up, the position stays at the end.
    void seek(long offset, Position from) override
    {
        const std::int64_t base = from == Beginning ? 0 : from == Current ? m_window.position() : m_window.size();
        if (base + offset >= 0 && m_reads <= maxReads) {
            m_window.seek(base + offset);
        }
    }

    long tell() const override { return static_cast<long>(m_window.position()); }
    long length() override { return static_cast<long>(m_window.size()); }
    void truncate(long) override {}

private:
    FileWindow m_window;
    const std::string& m_name;
    int m_reads = 0;
};

std::string firstValue(const TagLib::PropertyMap& properties, const char* key)
{
    const auto found = properties.find(key);
    return found == properties.end() || found->second.isEmpty() ? std::string() : found->second.front().to8Bit(true);
}

// A full date ("2004-05-06T12:00") gives its year, as TDRC does for MP3.
std::string yearOf(std::string date)
{
    const bool startsWithYear = date.size() > 4 && date.find_first_not_of("0123456789") == 4;
    return startsWithYear ? date.substr(0, 4) : date;
}

// The number before any "/", without leading zeros; other text as it is.
std::string trackOf(std::string track)
{
    track = track.substr(0, track.find('/'));
    const std::size_t digits = track.find_first_not_of('0');
    const bool isNumber = !track.empty() && track.find_first_not_of("0123456789") == std::string::npos;
    return !isNumber ? track : digits == std::string::npos ? "0" : track.substr(digits);
}

} // namespace

bool hasAudioTagExtension(std::string_view name)
{
    static const std::array<std::string_view, 10> extensions
        = {".flac", ".ogg", ".oga", ".opus", ".m4a", ".mp4", ".wma", ".wav", ".aif", ".aiff"};
    return hasExtension(name, extensions);
}

std::optional<CommonTags> readAudioTags(const files::Folder& folder, const std::string& name)
{
    if (!hasAudioTagExtension(name)) {
        return std::nullopt;
    }
    const files::ReadOnlyFile file(folder, name);
    if (!file.isOpen()) {
        return std::nullopt;
    }
    try {
        ReadOnlyStream stream(file, name);
        const TagLib::FileRef tagFile(&stream, false);
        if (tagFile.isNull()) {
            return std::nullopt;
        }
        const TagLib::PropertyMap properties = tagFile.file()->properties();
        return CommonTags{firstValue(properties, "ARTIST"), firstValue(properties, "TITLE"),
                          firstValue(properties, "ALBUM"), yearOf(firstValue(properties, "DATE")),
                          trackOf(firstValue(properties, "TRACKNUMBER"))};
    } catch (const std::exception&) {
        // TagLib does not throw by itself, but the standard library may under it
        // (std::bad_alloc on a damaged file that asks for much memory).
        return std::nullopt;
    }
}

} // namespace quorbit
