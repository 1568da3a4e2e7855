#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

namespace files {
class ReadOnlyFile;
}

// The ID3v2 tag at the start of an MP3 file. Seven fields are read and
// edited: title (TIT2), artist (TPE1), album (TALB), track (TRCK), year (TYER,
// or TDRC in ID3v2.4), genre (TCON) and comment (the COMM frame with no
// description). Tags of versions 2.2, 2.3 and 2.4 are read; saving keeps
// every other frame of the file's tag unchanged and in order, keeps a 2.4 tag
// at 2.4 and writes 2.3 otherwise, a 2.2 tag's frames turned into their 2.3
// equivalents. A tag that cannot be kept whole (of an unknown version, or a
// 2.2 tag that is compressed or holds a frame 2.3 lacks) makes a save fail and
// stays as it was. Texts are held as UTF-8. No operation throws; each failure
// is a false result.
class TID3v2 {
public:
    TID3v2();

    void ResetData();

    // Reads the file's tag after returning to the reset state. True when the
    // file could be opened and its first 10 bytes read, whether or not a tag
    // is there (Exists() tells that).
    bool ReadFromFile(const std::string& fileName);
    // The same from a file already open, for readers of both tags.
    bool ReadFromOpenFile(const files::ReadOnlyFile& file);
    // Reads a tag from the first bytes of a file of `fileSize` bytes; `head`
    // holds at least the whole tag, or all of the file when it is shorter.
    // False when `head` is shorter than the 10-byte header.
    bool ReadFromBytes(std::string_view head, std::int64_t fileSize);
    // Replaces the file's tag with one holding the properties (or adds one).
    // A field whose value the file already holds keeps its frame as it is.
    // The file is rewritten through a temporary copy, so on failure it is
    // untouched. The properties do not change.
    bool SaveToFile(const std::string& fileName) const;
    // The tag SaveToFile writes in place of the open file's tag, and where
    // the audio after that tag starts; nothing when the file cannot be read
    // or its tag cannot be kept.
    struct Replacement {
        std::string tag;
        std::int64_t audioStart = 0;
    };
    std::optional<Replacement> ReplacementFor(const files::ReadOnlyFile& file) const;
    // Removes the file's tag. False when it has none, when the tag's end is
    // unknown (its size runs past the end of the file), or on failure.
    bool RemoveFromFile(const std::string& fileName) const;

    // The text setters drop trailing characters of code 0x20 or below.
    void FSetTitle(std::string_view value);
    void FSetArtist(std::string_view value);
    void FSetAlbum(std::string_view value);
    void FSetYear(std::string_view value);
    void FSetGenre(std::string_view value);
    void FSetComment(std::string_view value);
    void FSetTrack(std::uint8_t value) { m_fields.track = value; }

    bool Exists() const { return m_exists; }
    // The header's major version: 2, 3 or 4 for ID3v2.2, 2.3 or 2.4 (any other is not read).
    std::uint8_t Version() const { return m_version; }
    // The tag's size with its 10-byte header; 0 when it runs past the end of the file.
    std::int32_t Size() const { return m_size; }
    const std::string& Title() const { return m_fields.title; }
    const std::string& Artist() const { return m_fields.artist; }
    const std::string& Album() const { return m_fields.album; }
    std::uint8_t Track() const { return m_fields.track; }
    const std::string& Year() const { return m_fields.year; }
    // The genre text without a leading "(number)" reference.
    const std::string& Genre() const { return m_fields.genre; }
    const std::string& Comment() const { return m_fields.comment; }

    struct Fields {
        std::string title;
        std::string artist;
        std::string album;
        std::uint8_t track = 0;
        std::string year;
        std::string genre;
        std::string comment;
    };

private:
    bool m_exists = false;
    std::uint8_t m_version = 0;
    std::int32_t m_size = 0;
    Fields m_fields;
};

} // namespace quorbit
