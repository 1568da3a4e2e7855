#pragma once

#include "tags/id3v2.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The ID3v2 byte format: the header, the frame list of versions 2.2, 2.3 and
// 2.4, text frames and the seven fields TID3v2 edits. Pure functions over bytes.
namespace quorbit::id3v2 {

constexpr std::size_t headerSize = 10;

struct Frame {
    std::string id;
    std::uint16_t flags = 0;
    std::string data; // unsynchronisation already undone
};

// Where a file's tag lies, from the file's first bytes and its size.
struct Layout {
    bool exists = false; // the file starts with "ID3"
    std::uint8_t version = 0;
    std::uint8_t flags = 0;
    std::int64_t size = 0; // with the header; 0 when it runs past the end of the file
    std::int64_t end = 0; // where the audio starts: after the tag and its footer; 0 without a usable tag
    std::int64_t bytesToRead = 0; // of the file's start, to read the tag and find its footer
};
// `head` holds at least the 10-byte header; a footer is only recognised when
// `head` reaches over it.
Layout readLayout(std::string_view head, std::int64_t fileSize);

// Whether TID3v2 reads and keeps the frames of a tag of this major version.
bool isReadableVersion(std::uint8_t version);

// The frames of a whole version 2.2, 2.3 or 2.4 tag, header included, in file
// order; 2.2 frames keep their three-letter IDs. The list ends at padding, at
// a frame ID that is not one, or at a frame that runs past the tag; frames of
// size zero are dropped. A compressed 2.2 tag has none.
std::vector<Frame> parseFrames(std::string_view tag);

// The seven fields as TID3v2 shows them, from a tag's frames or from a whole
// tag (header included; any version but 2.2, 2.3 and 2.4 has none).
TID3v2::Fields readFields(std::uint8_t version, const std::vector<Frame>& frames);
TID3v2::Fields readTagFields(std::string_view tag);

// Sets the frames of the seven fields of a 2.3 or 2.4 tag to `fields`: a field
// whose value the frames already hold keeps its frame; a changed one gets a new
// frame in place of the old (appended when there was none); an empty one loses
// its frame.
void applyFields(std::uint8_t version, const TID3v2::Fields& fields, std::vector<Frame>& frames);

// What a save starts from: the version it writes and the frames it keeps.
struct SaveBase {
    std::uint8_t version = 3;
    std::vector<Frame> frames;
};
// The save base for a file whose tag lies as `layout` says, with `head`
// holding at least that tag. A file without a usable tag gives an empty 2.3
// base, a 2.2 tag its frames converted to 2.3. Nothing when the tag cannot be
// kept whole, so the save must be refused: a tag of an unknown version, a
// compressed 2.2 tag, or one holding a frame that 2.3 has no equivalent for
// (or a picture or link too short to convert).
std::optional<SaveBase> saveBaseOf(const Layout& layout, std::string_view head);

// A whole tag of the given major version (3 or 4) holding `frames`, with no
// padding. Nothing for another version, or when it would be too large for the
// format.
std::optional<std::string> buildTag(std::uint8_t version, const std::vector<Frame>& frames);

// The first string of a text frame's data, as UTF-8, blanks at both ends removed.
std::string decodeTextFrame(std::string_view data);
// Text frame data: encoding 0 for plain ASCII, else UTF-16 with a byte-order mark.
std::string encodeTextFrame(std::string_view text);

} // namespace quorbit::id3v2
