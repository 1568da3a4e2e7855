#include "tags/id3v2format.h"

#include "platform/codepage.h"
#include "platform/integertext.h"
#include "platform/utf8.h"
#include "tags/tagtext.h"

#include <algorithm>
#include <array>
#include <deque>

namespace quorbit::id3v2 {

namespace {

constexpr std::uint8_t unsynchronisationFlag = 0x80;
constexpr std::uint8_t extendedHeaderFlag = 0x40;
constexpr std::uint8_t footerFlag = 0x10;
constexpr std::uint32_t largestSyncsafe = (1u << 28) - 1;
// 2.2 defined the flag but no compression scheme, so such a tag cannot be read.
constexpr std::uint8_t v2CompressedFlag = 0x40;

// Frame format flags that change how the data must be read.
constexpr std::uint16_t v3Compressed = 0x0080;
constexpr std::uint16_t v3Encrypted = 0x0040;
constexpr std::uint16_t v3Grouped = 0x0020;
constexpr std::uint16_t v4Grouped = 0x0040;
constexpr std::uint16_t v4Compressed = 0x0008;
constexpr std::uint16_t v4Encrypted = 0x0004;
constexpr std::uint16_t v4Unsynchronised = 0x0002;
constexpr std::uint16_t v4DataLength = 0x0001;

enum Encoding : std::uint8_t { Legacy = 0, Utf16 = 1, Utf16BigEndian = 2, Utf8 = 3 };

std::uint32_t byteAt(std::string_view bytes, std::size_t index)
{
    return static_cast<unsigned char>(bytes[index]);
}

std::uint32_t bigEndian24(std::string_view bytes)
{
    return byteAt(bytes, 0) << 16 | byteAt(bytes, 1) << 8 | byteAt(bytes, 2);
}

std::uint32_t bigEndian32(std::string_view bytes)
{
    return byteAt(bytes, 0) << 24 | byteAt(bytes, 1) << 16 | byteAt(bytes, 2) << 8 | byteAt(bytes, 3);
}

std::uint32_t syncsafe32(std::string_view bytes)
{
    return byteAt(bytes, 0) << 21 | byteAt(bytes, 1) << 14 | byteAt(bytes, 2) << 7 | byteAt(bytes, 3);
}

void appendBigEndian32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>(value >> shift & 0xFF));
    }
}

void appendSyncsafe32(std::string& out, std::uint32_t value)
{
    for (int shift = 21; shift >= 0; shift -= 7) {
        out.push_back(static_cast<char>(value >> shift & 0x7F));
    }
}

// "FF 00" is stored for every "FF" so that no false MPEG sync appears in the tag.
std::string undoUnsynchronisation(std::string_view data)
{
    std::string out;
    out.reserve(data.size());
    for (std::size_t index = 0; index < data.size(); ++index) {
        out.push_back(data[index]);
        if (byteAt(data, index) == 0xFF && index + 1 < data.size() && data[index + 1] == 0) {
            ++index;
        }
    }
    return out;
}

bool isFrameId(std::string_view id)
{
    const auto isUpper = [](char c) { return c >= 'A' && c <= 'Z'; };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    return !id.empty() && isUpper(id[0])
        && std::all_of(id.begin() + 1, id.end(), [&](char c) { return isUpper(c) || isDigit(c); });
}

// A frame header: 2.2 has three-letter IDs, 3-byte sizes and no flags.
struct FrameHeader {
    std::size_t idSize;
    std::size_t size;
};

FrameHeader frameHeaderOf(std::uint8_t version)
{
    return version == 2 ? FrameHeader{3, 6} : FrameHeader{4, headerSize};
}

struct FramePlace {
    std::size_t offset = 0; // of the frame header in the body
    std::size_t size = 0;
};

struct Walk {
    std::vector<FramePlace> frames;
    bool endedCleanly = false; // at the end of the body, or where only zero padding is left
};

Walk walkFrames(std::string_view body, std::uint8_t version, bool syncsafeSizes)
{
    const FrameHeader format = frameHeaderOf(version);
    Walk walk;
    std::size_t offset = 0;
    while (true) {
        const std::size_t left = body.size() - offset;
        const std::string_view header = body.substr(offset, format.size);
        if (left < format.size || !isFrameId(header.substr(0, format.idSize))) {
            walk.endedCleanly = body.substr(offset).find_first_not_of('\0') == std::string_view::npos;
            return walk;
        }
        const std::uint32_t stored
            = version == 2 ? bigEndian24(header.substr(format.idSize)) : bigEndian32(header.substr(format.idSize));
        if (syncsafeSizes && (stored & 0x80808080u) != 0) {
            return walk;
        }
        const std::size_t size = syncsafeSizes ? syncsafe32(header.substr(format.idSize)) : stored;
        if (size > left - format.size) {
            return walk;
        }
        if (size > 0) {
            walk.frames.push_back({offset, size});
        }
        offset += format.size + size;
    }
}

// A frame seen in place: views into the tag, or into the storage of the
// FrameRefs that holds data whose unsynchronisation was undone.
struct FrameRef {
    std::string_view id;
    std::uint16_t flags = 0;
    std::string_view data;
};

struct FrameRefs {
    std::vector<FrameRef> frames;
    std::deque<std::string> storage; // a deque, so views into it stay valid as it grows
};

void addFrames(std::string_view body, const Walk& walk, std::uint8_t version, bool allUnsynchronised, FrameRefs& refs)
{
    const FrameHeader format = frameHeaderOf(version);
    refs.frames.reserve(walk.frames.size());
    for (const FramePlace& place : walk.frames) {
        FrameRef frame;
        frame.id = body.substr(place.offset, format.idSize);
        if (version != 2) {
            frame.flags
                = static_cast<std::uint16_t>(byteAt(body, place.offset + 8) << 8 | byteAt(body, place.offset + 9));
        }
        frame.data = body.substr(place.offset + format.size, place.size);
        if (version == 4 && (allUnsynchronised || (frame.flags & v4Unsynchronised) != 0)) {
            frame.data = refs.storage.emplace_back(undoUnsynchronisation(frame.data));
            frame.flags &= static_cast<std::uint16_t>(~v4Unsynchronised);
        }
        refs.frames.push_back(frame);
    }
}

void parseVersion2(std::string_view body, std::uint8_t flags, FrameRefs& refs)
{
    if ((flags & v2CompressedFlag) != 0) {
        return;
    }
    if ((flags & unsynchronisationFlag) != 0) {
        body = refs.storage.emplace_back(undoUnsynchronisation(body));
    }
    addFrames(body, walkFrames(body, 2, false), 2, false, refs);
}

void parseVersion3(std::string_view body, std::uint8_t flags, FrameRefs& refs)
{
    if ((flags & unsynchronisationFlag) != 0) {
        body = refs.storage.emplace_back(undoUnsynchronisation(body));
    }
    if ((flags & extendedHeaderFlag) != 0) {
        // In 2.3 the extended header's size leaves out its own four bytes.
        if (body.size() < 4 || bigEndian32(body) > body.size() - 4) {
            return;
        }
        body.remove_prefix(4 + bigEndian32(body));
    }
    addFrames(body, walkFrames(body, 3, false), 3, false, refs);
}

void parseVersion4(std::string_view body, std::uint8_t flags, FrameRefs& refs)
{
    if ((flags & extendedHeaderFlag) != 0) {
        // In 2.4 the extended header's size counts its own bytes.
        if (body.size() < 4 || syncsafe32(body) < 6 || syncsafe32(body) > body.size()) {
            return;
        }
        body.remove_prefix(syncsafe32(body));
    }
    // Some writers (older iTunes among them) stored plain frame sizes in 2.4
    // tags. Syncsafe sizes that walk the tag cleanly to its end or its padding
    // are right; otherwise plain sizes are tried, and the reading that ends
    // cleanly, or else finds more frames, is taken.
    const bool allUnsynchronised = (flags & unsynchronisationFlag) != 0;
    const Walk syncsafe = walkFrames(body, 4, true);
    if (syncsafe.endedCleanly) {
        return addFrames(body, syncsafe, 4, allUnsynchronised, refs);
    }
    const Walk plain = walkFrames(body, 4, false);
    const bool plainIsBetter = plain.frames.size() > syncsafe.frames.size()
        || (plain.endedCleanly && plain.frames.size() == syncsafe.frames.size());
    addFrames(body, plainIsBetter ? plain : syncsafe, 4, allUnsynchronised, refs);
}

// The frames of a whole tag, header included, seen in place.
FrameRefs parseFrameRefs(std::string_view tag)
{
    FrameRefs refs;
    if (tag.size() < headerSize) {
        return refs;
    }
    const auto version = static_cast<std::uint8_t>(tag[3]);
    const auto flags = static_cast<std::uint8_t>(tag[5]);
    if (version == 2) {
        parseVersion2(tag.substr(headerSize), flags, refs);
    } else if (version == 3) {
        parseVersion3(tag.substr(headerSize), flags, refs);
    } else if (version == 4) {
        parseVersion4(tag.substr(headerSize), flags, refs);
    }
    return refs;
}

std::vector<FrameRef> refsTo(const std::vector<Frame>& frames)
{
    std::vector<FrameRef> refs;
    refs.reserve(frames.size());
    for (const Frame& frame : frames) {
        refs.push_back({frame.id, frame.flags, frame.data});
    }
    return refs;
}

// The data of a frame as its content starts, or nothing when it is
// compressed or encrypted.
std::optional<std::string_view> contentOf(std::uint8_t version, const FrameRef& frame)
{
    std::string_view data = frame.data;
    std::size_t prefix = 0;
    if (version == 2) {
        return data; // 2.2 frames have no flags
    }
    if (version == 3) {
        if ((frame.flags & (v3Compressed | v3Encrypted)) != 0) {
            return std::nullopt;
        }
        prefix = (frame.flags & v3Grouped) != 0 ? 1 : 0;
    } else {
        if ((frame.flags & (v4Compressed | v4Encrypted)) != 0) {
            return std::nullopt;
        }
        prefix = ((frame.flags & v4Grouped) != 0 ? 1 : 0) + ((frame.flags & v4DataLength) != 0 ? 4 : 0);
    }
    if (prefix > data.size()) {
        return std::nullopt;
    }
    return data.substr(prefix);
}

bool isWide(std::uint8_t encoding)
{
    return encoding == Utf16 || encoding == Utf16BigEndian;
}

// Where the string at the start of `text` ends, and where the next one begins.
struct StringEnd {
    std::size_t length;
    std::size_t next;
};

StringEnd stringEnd(std::string_view text, std::uint8_t encoding)
{
    if (isWide(encoding)) {
        for (std::size_t index = 0; index + 1 < text.size(); index += 2) {
            if (text[index] == 0 && text[index + 1] == 0) {
                return {index, index + 2};
            }
        }
        return {text.size(), text.size()};
    }
    const std::size_t zero = text.find('\0');
    return zero == std::string_view::npos ? StringEnd{text.size(), text.size()} : StringEnd{zero, zero + 1};
}

std::string decodeString(std::uint8_t encoding, std::string_view bytes)
{
    const auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    switch (encoding) {
    case Utf16:
    case Utf16BigEndian:
        // A byte-order mark decides; without one, 2.3's UTF-16 is read as
        // little-endian, the order nearly every writer uses.
        if (startsWith("\xFF\xFE")) {
            return text::fromUtf16(bytes.substr(2), false);
        }
        if (startsWith("\xFE\xFF")) {
            return text::fromUtf16(bytes.substr(2), true);
        }
        return text::fromUtf16(bytes, encoding == Utf16BigEndian);
    case Utf8:
        return std::string(startsWith("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
    default:
        return text::fromCodePage(bytes, text::legacyCodePage());
    }
}

std::string decodeFirstString(std::uint8_t encoding, std::string_view text)
{
    return std::string(trimmed(decodeString(encoding, text.substr(0, stringEnd(text, encoding).length))));
}

// The text of a comment frame's content, when its description is empty.
std::optional<std::string> plainCommentText(std::string_view content)
{
    if (content.size() < 4) {
        return std::nullopt;
    }
    const auto encoding = static_cast<std::uint8_t>(content[0]);
    const std::string_view afterLanguage = content.substr(4);
    const StringEnd description = stringEnd(afterLanguage, encoding);
    if (!decodeString(encoding, afterLanguage.substr(0, description.length)).empty()) {
        return std::nullopt;
    }
    return decodeFirstString(encoding, afterLanguage.substr(description.next));
}

enum class Field { Title, Artist, Album, Track, Year, Genre, Comment };
constexpr std::array<Field, 7> allFields
    = {Field::Title, Field::Artist, Field::Album, Field::Track, Field::Year, Field::Genre, Field::Comment};

std::string_view yearFrameId(std::uint8_t version)
{
    return version == 4 ? "TDRC" : "TYER";
}

// The ID a new frame of the field gets.
std::string_view frameIdOf(Field field, std::uint8_t version)
{
    switch (field) {
    case Field::Title:
        return "TIT2";
    case Field::Artist:
        return "TPE1";
    case Field::Album:
        return "TALB";
    case Field::Track:
        return "TRCK";
    case Field::Year:
        return yearFrameId(version);
    case Field::Genre:
        return "TCON";
    case Field::Comment:
        return "COMM";
    }
    return {};
}

// The 2.2 frames and the IDs 2.3 gave them; 2.2's encrypted meta frame (CRM)
// has no successor. The last row holds the frames iTunes writes into 2.2 tags
// (compilation, sort orders, grouping, movement), with the IDs it uses in 2.3,
// so that the tags of its files can be saved too.
constexpr std::pair<std::string_view, std::string_view> version3Ids[] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"EQU", "EQUA"}, {"ETC", "ETCO"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"LNK", "LINK"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"PIC", "APIC"},
    {"POP", "POPM"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"},
    {"TBP", "TBPM"}, {"TCM", "TCOM"}, {"TCO", "TCON"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"},
    {"TEN", "TENC"}, {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"},
    {"TMT", "TMED"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"},
    {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"},
    {"TRC", "TSRC"}, {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TSI", "TSIZ"}, {"TSS", "TSSE"}, {"TT1", "TIT1"},
    {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"},
    {"ULT", "USLT"}, {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"},
    {"WPB", "WPUB"}, {"WXX", "WXXX"}, {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSA", "TSOA"}, {"TSP", "TSOP"},
    {"TS2", "TSO2"}, {"TSC", "TSOC"}, {"GP1", "GRP1"}, {"MVN", "MVNM"}, {"MVI", "MVIN"},
};

std::optional<std::string_view> version3Id(std::string_view id)
{
    for (const auto& [old, current] : version3Ids) {
        if (id == old) {
            return current;
        }
    }
    return std::nullopt;
}

// PIC names the image format with three letters where APIC has a MIME type;
// "-->" (the data is a URL) means the same in both.
std::optional<std::string> pictureData(std::string_view pic)
{
    if (pic.size() < 5) {
        return std::nullopt;
    }
    std::string_view format = pic.substr(1, 3);
    format = format.substr(0, format.find('\0'));
    std::string mime(format);
    if (format != "-->") {
        std::transform(mime.begin(), mime.end(), mime.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        mime = mime == "jpg" ? "image/jpeg" : "image/" + mime;
    }
    return std::string(pic.substr(0, 1)) + mime + '\0' + std::string(pic.substr(4));
}

// LNK names the frame it links to by its 2.2 ID, LINK by its 2.3 one.
std::optional<std::string> linkData(std::string_view link)
{
    const std::optional<std::string_view> linked = link.size() < 3 ? std::nullopt : version3Id(link.substr(0, 3));
    if (!linked) {
        return std::nullopt;
    }
    return std::string(*linked) + std::string(link.substr(3));
}

// The 2.3 frame a 2.2 frame becomes; nothing when 2.3 has none to take its data.
std::optional<Frame> version3Frame(const FrameRef& frame)
{
    const std::optional<std::string_view> id = version3Id(frame.id);
    if (!id) {
        return std::nullopt;
    }
    std::optional<std::string> data = std::string(frame.data);
    if (frame.id == "PIC") {
        data = pictureData(frame.data);
    } else if (frame.id == "LNK") {
        data = linkData(frame.data);
    }
    if (!data) {
        return std::nullopt;
    }
    return Frame{std::string(*id), 0, std::move(*data)};
}

struct FieldOfFrame {
    Field field;
    bool ownId; // false for the other version's year frame
};

// The field a frame would hold, by its ID.
std::optional<FieldOfFrame> fieldOfId(std::string_view id, std::uint8_t version)
{
    static constexpr std::pair<std::string_view, Field> ids[] = {
        {"TIT2", Field::Title}, {"TPE1", Field::Artist},  {"TALB", Field::Album}, {"TRCK", Field::Track},
        {"TCON", Field::Genre}, {"COMM", Field::Comment}, {"TYER", Field::Year},  {"TDRC", Field::Year},
    };
    for (const auto& [frameId, field] : ids) {
        if (id == frameId) {
            return FieldOfFrame{field, field != Field::Year || frameId == yearFrameId(version)};
        }
    }
    return std::nullopt;
}

// The field and its text, when the frame holds one of the fields.
struct Holding {
    FieldOfFrame of;
    std::string text;
};

std::optional<Holding> holdingOf(std::uint8_t version, const FrameRef& frame)
{
    // A 2.2 frame holds the field of the 2.3 frame it becomes, whose data it shares.
    const std::string_view id = version == 2 ? version3Id(frame.id).value_or("") : frame.id;
    const std::optional<FieldOfFrame> of = fieldOfId(id, version);
    const std::optional<std::string_view> content = of ? contentOf(version, frame) : std::nullopt;
    if (!content) {
        return std::nullopt;
    }
    std::optional<std::string> text
        = of->field == Field::Comment ? plainCommentText(*content) : std::optional(decodeTextFrame(*content));
    if (!text) {
        return std::nullopt;
    }
    return Holding{*of, std::move(*text)};
}

struct Located {
    std::size_t index = 0; // of the frame in the list
    std::string text;
};

// For each field, the frame whose value shows: a later frame overrides an
// earlier one, and the field's own ID overrides the other version's year ID.
std::array<std::optional<Located>, allFields.size()> shownFrames(std::uint8_t version,
                                                                 const std::vector<FrameRef>& frames)
{
    std::array<std::optional<Located>, allFields.size()> shown;
    std::array<bool, allFields.size()> shownByOwnId{};
    for (std::size_t index = 0; index < frames.size(); ++index) {
        std::optional<Holding> holding = holdingOf(version, frames[index]);
        if (!holding) {
            continue;
        }
        const auto slot = static_cast<std::size_t>(holding->of.field);
        if (!shown[slot] || holding->of.ownId || !shownByOwnId[slot]) {
            shown[slot] = Located{index, std::move(holding->text)};
            shownByOwnId[slot] = holding->of.ownId;
        }
    }
    return shown;
}

std::uint8_t trackNumber(std::string_view text)
{
    const std::optional<int> number = parseInteger(text.substr(0, text.find('/')));
    return number ? static_cast<std::uint8_t>(static_cast<unsigned>(*number) & 0xFF) : 0;
}

// "(17)Rock" shows as "Rock": a leading genre reference is dropped, up to the last ")".
std::string genreWithoutReference(std::string_view text)
{
    const std::size_t close = text.rfind(')');
    return std::string(close == std::string_view::npos ? text : text.substr(close + 1));
}

// A recording time ("2004-05-06T12:00") shows its year.
std::string yearOf(std::string_view text)
{
    const bool startsWithYear = text.size() > 4 && text.find_first_not_of("0123456789") == 4;
    return std::string(startsWithYear ? text.substr(0, 4) : text);
}

void setField(TID3v2::Fields& fields, Field field, const FrameRef& frame, std::string text)
{
    switch (field) {
    case Field::Title:
        fields.title = std::move(text);
        break;
    case Field::Artist:
        fields.artist = std::move(text);
        break;
    case Field::Album:
        fields.album = std::move(text);
        break;
    case Field::Track:
        fields.track = trackNumber(text);
        break;
    case Field::Year:
        fields.year = frame.id == "TDRC" ? yearOf(text) : std::move(text);
        break;
    case Field::Genre:
        fields.genre = genreWithoutReference(text);
        break;
    case Field::Comment:
        fields.comment = std::move(text);
        break;
    }
}

// The field's value as text, empty when the field is not set.
std::string valueText(Field field, const TID3v2::Fields& fields)
{
    switch (field) {
    case Field::Title:
        return fields.title;
    case Field::Artist:
        return fields.artist;
    case Field::Album:
        return fields.album;
    case Field::Track:
        return fields.track > 0 ? std::to_string(fields.track) : std::string();
    case Field::Year:
        return fields.year;
    case Field::Genre:
        return fields.genre;
    case Field::Comment:
        return fields.comment;
    }
    return {};
}

// Comment frame data with an empty description, in `language`.
std::string encodeComment(std::string_view language, std::string_view text)
{
    const std::string encodedText = encodeTextFrame(text);
    std::string data(1, encodedText[0]);
    data += language;
    data.append(encodedText[0] == Legacy ? 1 : 2, '\0');
    data.append(encodedText, 1);
    return data;
}

} // namespace

Layout readLayout(std::string_view head, std::int64_t fileSize)
{
    Layout layout;
    if (head.size() < headerSize || head.substr(0, 3) != "ID3") {
        return layout;
    }
    layout.exists = true;
    layout.version = static_cast<std::uint8_t>(head[3]);
    layout.flags = static_cast<std::uint8_t>(head[5]);
    // The size bytes are taken whole, as they always have been; only a size
    // within the file is usable.
    const std::int64_t size = static_cast<std::int64_t>(byteAt(head, 6)) * (1 << 21) + byteAt(head, 7) * (1 << 14)
        + byteAt(head, 8) * (1 << 7) + byteAt(head, 9) + static_cast<std::int64_t>(headerSize);
    if (size > fileSize) {
        return layout;
    }
    layout.size = size;
    layout.end = size;
    layout.bytesToRead = isReadableVersion(layout.version) ? size : 0;
    const auto footerSize = static_cast<std::int64_t>(headerSize);
    if (layout.version == 4 && (layout.flags & footerFlag) != 0 && size + footerSize <= fileSize) {
        layout.bytesToRead = size + footerSize;
        if (static_cast<std::int64_t>(head.size()) >= size + footerSize
            && head.substr(static_cast<std::size_t>(size), 3) == "3DI") {
            layout.end += footerSize;
        }
    }
    return layout;
}

bool isReadableVersion(std::uint8_t version)
{
    return version >= 2 && version <= 4;
}

std::vector<Frame> parseFrames(std::string_view tag)
{
    const FrameRefs refs = parseFrameRefs(tag);
    std::vector<Frame> frames;
    frames.reserve(refs.frames.size());
    for (const FrameRef& ref : refs.frames) {
        frames.push_back({std::string(ref.id), ref.flags, std::string(ref.data)});
    }
    return frames;
}

namespace {

TID3v2::Fields fieldsOf(std::uint8_t version, const std::vector<FrameRef>& frames)
{
    TID3v2::Fields fields;
    auto shown = shownFrames(version, frames);
    for (const Field field : allFields) {
        if (std::optional<Located>& found = shown[static_cast<std::size_t>(field)]) {
            setField(fields, field, frames[found->index], std::move(found->text));
        }
    }
    return fields;
}

} // namespace

TID3v2::Fields readFields(std::uint8_t version, const std::vector<Frame>& frames)
{
    return fieldsOf(version, refsTo(frames));
}

TID3v2::Fields readTagFields(std::string_view tag)
{
    return tag.size() < headerSize ? TID3v2::Fields()
                                   : fieldsOf(static_cast<std::uint8_t>(tag[3]), parseFrameRefs(tag).frames);
}

void applyFields(std::uint8_t version, const TID3v2::Fields& fields, std::vector<Frame>& frames)
{
    // Everything is looked up before any frame changes, as the views see the frames' data.
    const std::vector<FrameRef> refs = refsTo(frames);
    const TID3v2::Fields current = fieldsOf(version, refs);
    const auto shown = shownFrames(version, refs);
    std::array<std::vector<std::size_t>, allFields.size()> holders;
    for (std::size_t index = 0; index < refs.size(); ++index) {
        if (const std::optional<Holding> holding = holdingOf(version, refs[index])) {
            holders[static_cast<std::size_t>(holding->of.field)].push_back(index);
        }
    }
    std::vector<bool> dropped(frames.size(), false);
    std::vector<Frame> added;
    for (const Field field : allFields) {
        const std::string wanted = valueText(field, fields);
        if (wanted == valueText(field, current)) {
            continue;
        }
        if (wanted.empty()) {
            // Every frame holding the field goes, or an earlier one would show instead.
            for (const std::size_t index : holders[static_cast<std::size_t>(field)]) {
                dropped[index] = true;
            }
            continue;
        }
        const std::optional<Located>& found = shown[static_cast<std::size_t>(field)];
        std::string data = encodeTextFrame(wanted);
        if (field == Field::Comment) {
            // A replaced comment keeps the language it was written in.
            const std::optional<std::string_view> old = found ? contentOf(version, refs[found->index]) : std::nullopt;
            data = encodeComment(old ? old->substr(1, 3) : std::string_view("eng"), wanted);
        }
        if (found) {
            Frame& frame = frames[found->index];
            frame.flags = 0;
            frame.data = std::move(data);
        } else {
            added.push_back({std::string(frameIdOf(field, version)), 0, std::move(data)});
        }
    }
    std::vector<Frame> kept;
    kept.reserve(frames.size() + added.size());
    for (std::size_t index = 0; index < frames.size(); ++index) {
        if (!dropped[index]) {
            kept.push_back(std::move(frames[index]));
        }
    }
    for (Frame& frame : added) {
        kept.push_back(std::move(frame));
    }
    frames = std::move(kept);
}

std::optional<SaveBase> saveBaseOf(const Layout& layout, std::string_view head)
{
    SaveBase base;
    if (layout.size == 0) {
        return base;
    }
    const std::string_view tag = head.substr(0, static_cast<std::size_t>(layout.size));
    if (layout.version == 3 || layout.version == 4) {
        base.version = layout.version;
        base.frames = parseFrames(tag);
        return base;
    }
    // Any other tag is written anew as 2.3, which only a 2.2 tag's frames can
    // all become; else the old tag would be lost.
    if (layout.version != 2 || (layout.flags & v2CompressedFlag) != 0) {
        return std::nullopt;
    }
    for (const FrameRef& frame : parseFrameRefs(tag).frames) {
        std::optional<Frame> converted = version3Frame(frame);
        if (!converted) {
            return std::nullopt;
        }
        base.frames.push_back(std::move(*converted));
    }
    return base;
}

std::optional<std::string> buildTag(std::uint8_t version, const std::vector<Frame>& frames)
{
    if (version != 3 && version != 4) {
        return std::nullopt;
    }
    std::size_t total = 0;
    for (const Frame& frame : frames) {
        total += headerSize + frame.data.size();
        if (frame.data.size() > largestSyncsafe || total > largestSyncsafe) {
            return std::nullopt;
        }
    }
    std::string tag;
    tag.reserve(headerSize + total);
    tag += "ID3";
    tag.push_back(static_cast<char>(version));
    tag.append(2, '\0');
    appendSyncsafe32(tag, static_cast<std::uint32_t>(total));
    for (const Frame& frame : frames) {
        tag += frame.id;
        const auto size = static_cast<std::uint32_t>(frame.data.size());
        version == 4 ? appendSyncsafe32(tag, size) : appendBigEndian32(tag, size);
        tag.push_back(static_cast<char>(frame.flags >> 8));
        tag.push_back(static_cast<char>(frame.flags & 0xFF));
        tag += frame.data;
    }
    return tag;
}

std::string decodeTextFrame(std::string_view data)
{
    if (data.empty()) {
        return {};
    }
    return decodeFirstString(static_cast<std::uint8_t>(data[0]), data.substr(1));
}

std::string encodeTextFrame(std::string_view text)
{
    if (utf8::isAscii(text)) {
        return '\0' + std::string(text);
    }
    return "\x01\xFF\xFE" + text::toUtf16LittleEndian(text);
}

} // namespace quorbit::id3v2
