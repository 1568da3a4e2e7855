#include "tags/id3v2.h"

#include "platform/filecontent.h"
#include "tags/id3v2format.h"
#include "tags/tagtext.h"

#include <algorithm>

namespace quorbit {

namespace {

// One read usually brings the whole tag: text-only tags are far smaller.
constexpr std::int64_t firstReadSize = 4096;

// The first bytes of the file: the whole tag when it has a readable one,
// else at least the header. False when the file cannot be read or is shorter
// than the header.
bool readHead(const std::string& fileName, std::string& head, std::int64_t& fileSize)
{
    const files::ReadOnlyFile file(fileName);
    if (!file.isOpen()) {
        return false;
    }
    fileSize = file.size();
    head.resize(static_cast<std::size_t>(std::min(firstReadSize, fileSize)));
    head.resize(file.readAt(0, head.data(), head.size()));
    if (head.size() < id3v2::headerSize) {
        return false;
    }
    const auto wanted = static_cast<std::size_t>(id3v2::readLayout(head, fileSize).bytesToRead);
    if (wanted > head.size()) {
        const std::size_t alreadyRead = head.size();
        head.resize(wanted);
        return file.readExactly(static_cast<std::int64_t>(alreadyRead), head.data() + alreadyRead, wanted - alreadyRead);
    }
    return true;
}

} // namespace

TID3v2::TID3v2()
{
    ResetData();
}

void TID3v2::ResetData()
{
    m_exists = false;
    m_version = 0;
    m_size = 0;
    m_fields = Fields();
}

bool TID3v2::ReadFromFile(const std::string& fileName)
{
    ResetData();
    std::string head;
    std::int64_t fileSize = 0;
    return readHead(fileName, head, fileSize) && ReadFromBytes(head, fileSize);
}

bool TID3v2::ReadFromBytes(std::string_view head, std::int64_t fileSize)
{
    ResetData();
    if (head.size() < id3v2::headerSize) {
        return false;
    }
    const id3v2::Layout layout = id3v2::readLayout(head, fileSize);
    if (!layout.exists) {
        return true;
    }
    m_exists = true;
    m_version = layout.version;
    m_size = static_cast<std::int32_t>(layout.size);
    const auto tagSize = static_cast<std::size_t>(layout.size);
    if (id3v2::isReadableVersion(layout.version) && tagSize > 0 && tagSize <= head.size()) {
        m_fields = id3v2::readFields(layout.version, id3v2::parseFrames(head.substr(0, tagSize)));
    }
    return true;
}

bool TID3v2::SaveToFile(const std::string& fileName) const
{
    std::string head;
    std::int64_t fileSize = 0;
    if (!files::addOwnerWrite(fileName) || !readHead(fileName, head, fileSize)) {
        return false;
    }
    // The frames kept are those of the file being written, which need not be
    // the file the properties were read from.
    const id3v2::Layout layout = id3v2::readLayout(head, fileSize);
    std::uint8_t version = 3;
    std::vector<id3v2::Frame> frames;
    if (id3v2::isReadableVersion(layout.version) && layout.size > 0) {
        version = layout.version;
        frames = id3v2::parseFrames(std::string_view(head).substr(0, static_cast<std::size_t>(layout.size)));
    }
    id3v2::applyFields(version, m_fields, frames);
    const std::optional<std::string> tag = id3v2::buildTag(version, frames);
    return tag && files::rebuildFile(fileName, *tag, layout.end);
}

bool TID3v2::RemoveFromFile(const std::string& fileName) const
{
    std::string head;
    std::int64_t fileSize = 0;
    if (!files::addOwnerWrite(fileName) || !readHead(fileName, head, fileSize)) {
        return false;
    }
    const id3v2::Layout layout = id3v2::readLayout(head, fileSize);
    return layout.end > 0 && files::rebuildFile(fileName, {}, layout.end);
}

void TID3v2::FSetTitle(std::string_view value)
{
    m_fields.title = trimmedRight(value);
}

void TID3v2::FSetArtist(std::string_view value)
{
    m_fields.artist = trimmedRight(value);
}

void TID3v2::FSetAlbum(std::string_view value)
{
    m_fields.album = trimmedRight(value);
}

void TID3v2::FSetYear(std::string_view value)
{
    m_fields.year = trimmedRight(value);
}

void TID3v2::FSetGenre(std::string_view value)
{
    m_fields.genre = trimmedRight(value);
}

void TID3v2::FSetComment(std::string_view value)
{
    m_fields.comment = trimmedRight(value);
}

} // namespace quorbit
