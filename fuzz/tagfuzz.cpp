#include "tagfuzz.h"

#include "tailbytes.h"

#include "platform/utf8.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/id3v2format.h"
#include "tags/tagtext.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace quorbit::fuzz {

namespace {

using id3v2::Frame;
using Fields = TID3v2::Fields;

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "tag fuzz: %s\n", what);
        std::abort();
    }
}

bool sameFrames(const std::vector<Frame>& a, const std::vector<Frame>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Frame& x, const Frame& y) {
        return x.id == y.id && x.flags == y.flags && x.data == y.data;
    });
}

auto tied(const Fields& f)
{
    return std::tie(f.title, f.artist, f.album, f.track, f.year, f.genre, f.comment);
}

bool isValidUtf8WithoutZero(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size(); pos += utf8::charLength(text, pos)) {
        if (text[pos] == 0 || (static_cast<unsigned char>(text[pos]) > 0x7F && !utf8::isWellFormedAt(text, pos))) {
            return false;
        }
    }
    return true;
}

class Edits : public TailBytes {
public:
    using TailBytes::TailBytes;

    // Text a user could type: printable ASCII mixed with blanks at any place,
    // brackets (genre references) and characters outside ASCII and the BMP.
    std::string text()
    {
        static constexpr std::array<std::string_view, 10> pieces
            = {"\t", " ", "(", ")", "é", "Ж", "中", "😀", "\u00A0", "ß"};
        std::string text;
        for (int length = next() % 24; length > 0; --length) {
            const std::uint8_t code = next();
            if (code < 0x5F) {
                text.push_back(static_cast<char>(0x20 + code));
            } else {
                text += pieces[code % pieces.size()];
            }
        }
        return text;
    }

    // Keeps, clears or replaces `current`, or writes it again behind blanks
    // that the reader drops (a changed value that shows as the old one).
    std::string edit(const std::string& current)
    {
        switch (next() % 4) {
        case 0:
            return current;
        case 1:
            return {};
        case 2:
            return text();
        default:
            return "  " + current;
        }
    }
};

// The fields set through TID3v2's setters, as the editor does before a save.
Fields editedFields(const Fields& current, Edits& edits)
{
    TID3v2 tag;
    tag.FSetTitle(edits.edit(current.title));
    tag.FSetArtist(edits.edit(current.artist));
    tag.FSetAlbum(edits.edit(current.album));
    const std::uint8_t trackChoice = edits.next();
    tag.FSetTrack(trackChoice % 3 == 0 ? current.track : trackChoice % 3 == 1 ? 0 : edits.next());
    tag.FSetYear(edits.edit(current.year));
    tag.FSetGenre(edits.edit(current.genre));
    tag.FSetComment(edits.edit(current.comment));
    return {tag.Title(), tag.Artist(), tag.Album(), tag.Track(), tag.Year(), tag.Genre(), tag.Comment()};
}

// What a field changed to `wanted` shows once written: the text frame's
// reading, which for valid UTF-8 without U+0000 is the text with the blanks
// (code 0x20 or below) at both ends dropped.
std::string shownText(const std::string& wanted)
{
    std::string shown = id3v2::decodeTextFrame(id3v2::encodeTextFrame(wanted));
    check(!isValidUtf8WithoutZero(wanted) || shown == trimmed(wanted),
          "a text frame does not read back its trimmed text");
    return shown;
}

// A written year shows as is, or as its first four digits when it is written
// as a recording time (TDRC) and reads as one ("2004-05").
bool isShownYear(const std::string& shown, const std::string& written)
{
    const bool looksLikeTime = written.size() > 4 && written.find_first_not_of("0123456789") == 4;
    return shown == written || (looksLikeTime && shown == written.substr(0, 4));
}

// After applyFields: a field left as it was shows as before; a changed one
// shows its written text, a genre without what precedes its last ")"; a
// cleared one shows empty, even when earlier frames held the field too; a
// track number shows exactly.
void checkShown(const Fields& shown, const Fields& wanted, const Fields& before)
{
    const auto textShows = [](const std::string& s, const std::string& w, const std::string& b) {
        return w == b ? s == b : s == shownText(w);
    };
    check(textShows(shown.title, wanted.title, before.title), "title does not read back as written");
    check(textShows(shown.artist, wanted.artist, before.artist), "artist does not read back as written");
    check(textShows(shown.album, wanted.album, before.album), "album does not read back as written");
    check(shown.track == wanted.track, "track does not read back as written");
    check(wanted.year == before.year ? shown.year == before.year : isShownYear(shown.year, shownText(wanted.year)),
          "year does not read back as written");
    const std::string genre = shownText(wanted.genre);
    check(wanted.genre == before.genre ? shown.genre == before.genre
                                       : shown.genre == genre.substr(genre.rfind(')') + 1),
          "genre does not read back as written");
    check(textShows(shown.comment, wanted.comment, before.comment), "comment does not read back as written");
}

// A built tag parses to the frames it was built from, and TID3v2 reads it
// with the fields those frames hold.
Fields checkBuilt(std::uint8_t version, const std::vector<Frame>& frames)
{
    const std::optional<std::string> built = id3v2::buildTag(version, frames);
    check(built.has_value(), "buildTag refuses frames no larger than its input");
    check(sameFrames(id3v2::parseFrames(*built), frames), "a built tag does not parse to its frames");
    const Fields fields = id3v2::readFields(version, frames);
    TID3v2 tag;
    check(tag.ReadFromBytes(*built, static_cast<std::int64_t>(built->size())), "a built tag is not read");
    check(tag.Exists() && tag.Version() == version && tag.Size() == static_cast<std::int32_t>(built->size()),
          "a built tag is read with another header");
    check(tied(Fields{tag.Title(), tag.Artist(), tag.Album(), tag.Track(), tag.Year(), tag.Genre(), tag.Comment()})
              == tied(fields),
          "a built tag is read with other fields");
    return fields;
}

void checkLayout(std::string_view head, std::int64_t fileSize)
{
    const id3v2::Layout layout = id3v2::readLayout(head, fileSize);
    check(layout.size == 0 || (layout.size >= 10 && layout.size <= fileSize), "tag size outside the file");
    check(layout.size == 0 ? layout.end == 0 : layout.end >= layout.size && layout.end <= fileSize,
          "audio start outside the file");
    TID3v2 tag;
    check(tag.ReadFromBytes(head, fileSize) == (head.size() >= id3v2::headerSize), "ReadFromBytes result");
    check(tag.Exists() == layout.exists && tag.Size() == layout.size, "ReadFromBytes disagrees with the layout");
}

void fuzzId3v2(std::string_view head, Edits& edits)
{
    const auto fileSize = static_cast<std::int64_t>(head.size());
    checkLayout(head, fileSize);
    checkLayout(head, std::max<std::int64_t>(0, fileSize - edits.next()));
    checkLayout(head, fileSize + edits.next() * 64);
    if (head.size() < id3v2::headerSize || !id3v2::isReadableVersion(static_cast<std::uint8_t>(head[3]))) {
        return;
    }
    // The frames of the tag as the header sizes it, or of all the bytes when
    // that size runs past them.
    auto version = static_cast<std::uint8_t>(head[3]);
    const id3v2::Layout layout = id3v2::readLayout(head, fileSize);
    std::vector<Frame> frames
        = id3v2::parseFrames(layout.size > 0 ? head.substr(0, static_cast<std::size_t>(layout.size)) : head);
    if (version == 2) {
        // A 2.2 tag is saved as 2.3: the round trip starts from the 2.3 frames
        // it becomes, which show what it shows. A refused save ends it here.
        id3v2::Layout whole = layout;
        whole.size = layout.size > 0 ? layout.size : fileSize;
        const std::optional<id3v2::SaveBase> base = id3v2::saveBaseOf(whole, head);
        if (!base) {
            return;
        }
        check(base->version == 3 && tied(id3v2::readFields(3, base->frames)) == tied(id3v2::readFields(2, frames)),
              "a 2.2 tag becomes 2.3 frames that show other fields");
        version = base->version;
        frames = base->frames;
    }
    const Fields before = checkBuilt(version, frames);

    std::vector<Frame> unchanged = frames;
    id3v2::applyFields(version, before, unchanged);
    check(sameFrames(unchanged, frames), "applying the fields read changes the frames");

    const Fields wanted = editedFields(before, edits);
    id3v2::applyFields(version, wanted, frames);
    checkShown(checkBuilt(version, frames), wanted, before);
}

std::string withUnmappedAsQuestionMarks(std::string_view text)
{
    constexpr std::string_view unmapped = "\uFFFD";
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        const bool isUnmapped = text.substr(pos, unmapped.size()) == unmapped;
        out += isUnmapped ? '?' : text[pos];
        pos += isUnmapped ? unmapped.size() : 1;
    }
    return out;
}

// One round trip through BuildTrailer keeps the track and the genre, writes
// a byte the code page does not define as "?", and drops the ID3v1.1 mark of
// a trailer with track 0; a second round trip changes nothing.
void fuzzId3v1(std::string_view bytes)
{
    if (bytes.size() < TID3v1::trailerSize) {
        return;
    }
    TID3v1::Trailer trailer;
    std::copy_n(bytes.end() - TID3v1::trailerSize, TID3v1::trailerSize, trailer.begin());
    TID3v1 read;
    read.ReadFromTrailer(trailer);
    if (!read.Exists()) {
        check(read.BuildTrailer() == TID3v1().BuildTrailer(), "a trailer without a tag leaves properties set");
        return;
    }
    const TID3v1::Trailer built = read.BuildTrailer();
    TID3v1 again;
    again.ReadFromTrailer(built);
    check(again.Exists() && again.Track() == read.Track() && again.GenreID() == read.GenreID()
              && again.Version() == (read.Track() > 0 ? 2 : 1),
          "a built trailer reads with another track, genre or version");
    check(again.Title() == withUnmappedAsQuestionMarks(read.Title())
              && again.Artist() == withUnmappedAsQuestionMarks(read.Artist())
              && again.Album() == withUnmappedAsQuestionMarks(read.Album())
              && again.Year() == withUnmappedAsQuestionMarks(read.Year())
              && again.Comment() == withUnmappedAsQuestionMarks(read.Comment()),
          "a built trailer reads with other texts");
    check(again.BuildTrailer() == built, "a second round trip changes the trailer");

    // The setters keep a value read from a trailer as it is.
    TID3v1 set;
    set.FSetTitle(read.Title());
    set.FSetArtist(read.Artist());
    set.FSetAlbum(read.Album());
    set.FSetYear(read.Year());
    set.FSetComment(read.Comment());
    set.FSetTrack(read.Track());
    set.FSetGenreID(read.GenreID());
    check(set.BuildTrailer() == built, "the setters change values read from a trailer");
}

} // namespace

void fuzzTagBytes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Edits edits(bytes);
    fuzzId3v2(bytes, edits);
    fuzzId3v1(bytes);
}

} // namespace quorbit::fuzz
