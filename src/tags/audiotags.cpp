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
#include <climits>

namespace quorbit {

namespace {

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

    TagLib::ByteVector readBlock(unsigned long length) override
    {
        TagLib::ByteVector block(static_cast<unsigned int>(std::min<unsigned long>(length, UINT_MAX)));
        block.resize(
            static_cast<unsigned int>(m_window.read(reinterpret_cast<unsigned char*>(block.data()), block.size())));
        return block;
    }

    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }

    // As with a file, a position before the start is refused and one past the end is kept.
    void seek(long offset, Position from) override
    {
        const std::int64_t base = from == Beginning ? 0 : from == Current ? m_window.position() : m_window.size();
        if (base + offset >= 0) {
            m_window.seek(base + offset);
        }
    }

    long tell() const override { return static_cast<long>(m_window.position()); }
    long length() override { return static_cast<long>(m_window.size()); }
    void truncate(long) override {}

private:
    FileWindow m_window;
    const std::string& m_name;
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
    ReadOnlyStream stream(file, name);
    const TagLib::FileRef tagFile(&stream, false);
    if (tagFile.isNull()) {
        return std::nullopt;
    }
    const TagLib::PropertyMap properties = tagFile.file()->properties();
    return CommonTags{firstValue(properties, "ARTIST"), firstValue(properties, "TITLE"),
                      firstValue(properties, "ALBUM"), yearOf(firstValue(properties, "DATE")),
                      trackOf(firstValue(properties, "TRACKNUMBER"))};
}

} // namespace quorbit
