#include "tags/id3v1.h"

#include "platform/codepage.h"
#include "platform/filecontent.h"
#include "platform/utf8.h"
#include "tags/tagtext.h"

#include <algorithm>
#include <optional>

namespace quorbit {

// clang-format off
const std::array<std::string_view, 148> MusicGenre = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer",
    "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic",
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progessive Rock", "Psychedelic Rock", "Symphonic Rock",
    "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam",
    "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet",
    "Punk Rock", "Drum Solo", "A capella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House",
    "Hardcore", "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap",
    "Heavy Metal", "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue",
    "Salsa", "Trash Metal", "Anime", "JPop", "Synthpop",
};
// clang-format on

namespace {

constexpr std::size_t textWidth = 30;
constexpr std::size_t yearWidth = 4;
constexpr std::size_t titleOffset = 3;
constexpr std::size_t artistOffset = 33;
constexpr std::size_t albumOffset = 63;
constexpr std::size_t yearOffset = 93;
constexpr std::size_t commentOffset = 97;
constexpr std::size_t commentWidthWithTrack = 28;
constexpr std::size_t trackMarkerOffset = 125;
constexpr std::size_t trackOffset = 126;
constexpr std::size_t genreOffset = 127;

bool startsWithMagic(const TID3v1::Trailer& trailer)
{
    return trailer[0] == 'T' && trailer[1] == 'A' && trailer[2] == 'G';
}

std::string fieldText(const TID3v1::Trailer& trailer, std::size_t offset, std::size_t width)
{
    return text::fromCodePage(trimmedRight(std::string_view(trailer.data() + offset, width)), text::legacyCodePage());
}

// The value as the field will hold it: at most `width` characters (each is
// one byte in the code page), then trailing blanks and controls dropped.
std::string fieldValue(std::string_view value, std::size_t width)
{
    return std::string(trimmedRight(value.substr(0, utf8::offsetOfChar(value, width))));
}

void putField(TID3v1::Trailer& trailer, std::size_t offset, std::size_t width, const std::string& value)
{
    const std::string bytes = text::toCodePage(value, text::legacyCodePage());
    std::copy_n(bytes.begin(), std::min(bytes.size(), width), trailer.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Whether the file's last 128 bytes could be read into `trailer`.
bool readTrailer(const files::ReadOnlyFile& file, TID3v1::Trailer& trailer)
{
    const std::int64_t offset = file.size() - static_cast<std::int64_t>(TID3v1::trailerSize);
    return file.isOpen() && offset >= 0 && file.readExactly(offset, trailer.data(), trailer.size());
}

struct TrailerPlace {
    std::int64_t offset; // of the trailer, or the end of a file without one
    bool exists;
};

// Nothing when the file's last 128 bytes cannot be read.
std::optional<TrailerPlace> trailerPlace(const files::ReadOnlyFile& file)
{
    TID3v1::Trailer trailer;
    if (!readTrailer(file, trailer)) {
        return std::nullopt;
    }
    const bool exists = startsWithMagic(trailer);
    return TrailerPlace{file.size() - (exists ? static_cast<std::int64_t>(TID3v1::trailerSize) : 0), exists};
}

} // namespace

TID3v1::TID3v1()
{
    ResetData();
}

void TID3v1::ResetData()
{
    m_exists = false;
    m_version = 1;
    m_title.clear();
    m_artist.clear();
    m_album.clear();
    m_year.clear();
    m_comment.clear();
    m_track = 0;
    m_genreId = 255;
}

void TID3v1::ReadFromTrailer(const Trailer& trailer)
{
    ResetData();
    if (!startsWithMagic(trailer)) {
        return;
    }
    m_exists = true;
    const char marker = trailer[trackMarkerOffset];
    const char track = trailer[trackOffset];
    // ID3v1.1 puts a zero before the track number; a blank there counts too,
    // as some programs pad the comment with blanks.
    const bool hasTrack = (marker == 0 && track != 0) || (marker == ' ' && track != ' ');
    m_version = hasTrack ? 2 : 1;
    m_title = fieldText(trailer, titleOffset, textWidth);
    m_artist = fieldText(trailer, artistOffset, textWidth);
    m_album = fieldText(trailer, albumOffset, textWidth);
    m_year = fieldText(trailer, yearOffset, yearWidth);
    m_comment = fieldText(trailer, commentOffset, hasTrack ? commentWidthWithTrack : textWidth);
    m_track = hasTrack ? static_cast<std::uint8_t>(track) : 0;
    m_genreId = static_cast<std::uint8_t>(trailer[genreOffset]);
}

bool TID3v1::ReadFromFile(const std::string& fileName)
{
    return ReadFromOpenFile(files::ReadOnlyFile(fileName));
}

bool TID3v1::ReadFromOpenFile(const files::ReadOnlyFile& file)
{
    ResetData();
    Trailer trailer;
    if (!readTrailer(file, trailer)) {
        return false;
    }
    ReadFromTrailer(trailer);
    return true;
}

TID3v1::Trailer TID3v1::BuildTrailer() const
{
    Trailer trailer{};
    trailer[0] = 'T';
    trailer[1] = 'A';
    trailer[2] = 'G';
    putField(trailer, titleOffset, textWidth, m_title);
    putField(trailer, artistOffset, textWidth, m_artist);
    putField(trailer, albumOffset, textWidth, m_album);
    putField(trailer, yearOffset, yearWidth, m_year);
    putField(trailer, commentOffset, textWidth, m_comment);
    if (m_track > 0) {
        trailer[trackMarkerOffset] = 0;
        trailer[trackOffset] = static_cast<char>(m_track);
    }
    trailer[genreOffset] = static_cast<char>(m_genreId);
    return trailer;
}

bool TID3v1::SaveToFile(const std::string& fileName) const
{
    files::InPlaceFile file(fileName);
    const std::optional<TrailerPlace> place = trailerPlace(file);
    if (!place) {
        return false;
    }
    const Trailer trailer = BuildTrailer();
    // Written over the old trailer rather than cutting it off first, so a
    // failed write never leaves the file without a tag.
    return file.writeAt(place->offset, std::string_view(trailer.data(), trailer.size())) && file.close();
}

std::optional<std::int64_t> TID3v1::TrailerOffset(const files::ReadOnlyFile& file)
{
    const std::optional<TrailerPlace> place = trailerPlace(file);
    return place ? std::optional(place->offset) : std::nullopt;
}

bool TID3v1::RemoveFromFile(const std::string& fileName) const
{
    files::InPlaceFile file(fileName);
    const std::optional<TrailerPlace> place = trailerPlace(file);
    if (!place || !place->exists) {
        return place.has_value();
    }
    return file.truncate(place->offset) && file.close();
}

void TID3v1::FSetTitle(std::string_view value)
{
    m_title = fieldValue(value, textWidth);
}

void TID3v1::FSetArtist(std::string_view value)
{
    m_artist = fieldValue(value, textWidth);
}

void TID3v1::FSetAlbum(std::string_view value)
{
    m_album = fieldValue(value, textWidth);
}

void TID3v1::FSetYear(std::string_view value)
{
    m_year = fieldValue(value, yearWidth);
}

void TID3v1::FSetComment(std::string_view value)
{
    m_comment = fieldValue(value, textWidth);
}

std::string TID3v1::FGetGenre() const
{
    return m_genreId < MusicGenre.size() ? std::string(MusicGenre[m_genreId]) : std::string();
}

} // namespace quorbit
