#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

namespace files {
class ReadOnlyFile;
}

// The ID3v1 genre names by index: the original list (0 to 79) and its common
// extension (80 to 147), spelled as the program has always shown them.
extern const std::array<std::string_view, 148> MusicGenre;

// The ID3v1 or ID3v1.1 tag: the 128-byte trailer at the very end of an MP3
// file. Its text is stored in the legacy code page of the user's locale and
// held here as UTF-8. No operation throws; each failure is a false result.
class TID3v1 {
public:
    static constexpr std::size_t trailerSize = 128;
    using Trailer = std::array<char, trailerSize>;

    TID3v1();

    void ResetData();

    // Reads the last 128 bytes of the file, after returning to the reset
    // state. True when they could be read, whether or not they hold a tag
    // (Exists() tells that).
    bool ReadFromFile(const std::string& fileName);
    // The same from a file already open, for readers of both tags.
    bool ReadFromOpenFile(const files::ReadOnlyFile& file);
    // Writes the properties as the file's trailer, over the old trailer when
    // there is one, otherwise appended. The properties do not change.
    bool SaveToFile(const std::string& fileName) const;
    // Cuts the trailer off. True when the file could be read and either had
    // no trailer or lost it.
    bool RemoveFromFile(const std::string& fileName) const;

    // Reads a trailer already in memory, as ReadFromFile does.
    void ReadFromTrailer(const Trailer& trailer);
    // The trailer SaveToFile writes.
    Trailer BuildTrailer() const;
    // Where the open file's trailer starts, or its size when it has none;
    // nothing when its end cannot be read.
    static std::optional<std::int64_t> TrailerOffset(const files::ReadOnlyFile& file);

    // The text setters drop trailing characters of code 0x20 or below and
    // keep at most the characters that fit the field (30, the year 4).
    void FSetTitle(std::string_view value);
    void FSetArtist(std::string_view value);
    void FSetAlbum(std::string_view value);
    void FSetYear(std::string_view value);
    void FSetComment(std::string_view value);
    void FSetTrack(std::uint8_t value) { m_track = value; }
    void FSetGenreID(std::uint8_t value) { m_genreId = value; }
    // The genre's name; empty for an index past the table.
    std::string FGetGenre() const;

    bool Exists() const { return m_exists; }
    // 1 for ID3v1.0, 2 for ID3v1.1 (a trailer with a track number).
    std::uint8_t Version() const { return m_version; }
    const std::string& Title() const { return m_title; }
    const std::string& Artist() const { return m_artist; }
    const std::string& Album() const { return m_album; }
    const std::string& Year() const { return m_year; }
    const std::string& Comment() const { return m_comment; }
    std::uint8_t Track() const { return m_track; }
    std::uint8_t GenreID() const { return m_genreId; }
    std::string Genre() const { return FGetGenre(); }

private:
    bool m_exists = false;
    std::uint8_t m_version = 1;
    std::string m_title;
    std::string m_artist;
    std::string m_album;
    std::string m_year;
    std::string m_comment;
    std::uint8_t m_track = 0;
    std::uint8_t m_genreId = 255;
};

} // namespace quorbit
