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
bool readHead(const files::ReadOnlyFile& file, std::string& head)
{
    if (!file.isOpen()) {
        return false;
    }
    const std::int64_t fileSize = file.size();
    head.resize(static_cast<std::size_t>(std::min(firstReadSize, fileSize)));
    head.resize(file.readAt(0, head.data(), head.size()));
    if (head.size() < id3v2::headerSize) {
        return false;
    }
    const auto wanted = static_cast<std::size_t>(id3v2::readLayout(head, fileSize).bytesToRead);
    if (wanted > head.size()) {
        const std::size_t alreadyRead = head.size();
        head.resize(wanted);
        return file.readExactly(static_cast<std::int64_t>(alreadyRead), head.data() + alreadyRead,
                                wanted - alreadyRead);
    }
    return true;
}

// Where the file's tag lies, with `head` holding it; nothing when the file
// cannot be read.
std::optional<id3v2::Layout> readTagLayout(const files::ReadOnlyFile& file, std::string& head)
{
    if (!readHead(file, head)) {
        return std::nullopt;
    }
    return id3v2::readLayout(head, file.size());
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
    return ReadFromOpenFile(files::ReadOnlyFile(fileName));
}

bool TID3v2::ReadFromOpenFile(const files::ReadOnlyFile& file)
{
    ResetData();
    std::string head;
    return readHead(file, head) && ReadFromBytes(head, file.size());
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
        m_fields = id3v2::readTagFields(head.substr(0, tagSize));
    }
    return true;
}

std::optional<TID3v2::Replacement> TID3v2::ReplacementFor(const files::ReadOnlyFile& file) const
{
    std::string head;
    const std::optional<id3v2::Layout> layout = readTagLayout(file, head);
    if (!layout) {
        return std::nullopt;
    }
    // The frames kept are those of the file being written, which need not be
    // the file the properties were read from.
    std::optional<id3v2::SaveBase> base = id3v2::saveBaseOf(*layout, head);
    if (!base) {
        return std::nullopt;
    }
    id3v2::applyFields(base->version, m_fields, base->frames);
    std::optional<std::string> tag = id3v2::buildTag(base->version, base->frames);
    if (!tag) {
        return std::nullopt;
    }
    return Replacement{std::move(*tag), layout->end};
}

bool TID3v2::SaveToFile(const std::string& fileName) const
{
    // The tag is read and the audio copied through one open file, so the
    // new file never mixes two versions of it.
    const files::ReadOnlyFile file(fileName);
    const std::optional<Replacement> replacement = ReplacementFor(file);
    return replacement && files::rebuildFile(fileName, file, replacement->tag, replacement->audioStart);
}

bool TID3v2::RemoveFromFile(const std::string& fileName) const
{
    const files::ReadOnlyFile file(fileName);
    std::string head;
    const std::optional<id3v2::Layout> layout = readTagLayout(file, head);
    return layout && layout->end > 0 && files::rebuildFile(fileName, file, {}, layout->end);
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
