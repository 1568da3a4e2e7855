#include "rename/tagname.h"

#include "tags/audiotags.h"
#include "tags/id3v1.h"
#include "tags/id3v2.h"
#include "tags/mp3tags.h"

#include <algorithm>
#include <memory>

namespace quorbit {

namespace {

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return lowerAscii(c); });
    return lower;
}

// Every occurrence of `from` replaced, left to right, without looking again at what was put in.
void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty()) {
        return;
    }
    for (std::size_t position = text.find(from); position != std::string::npos;
         position = text.find(from, position + to.size())) {
        text.replace(position, from.size(), to);
    }
}

// The ID3v2 value where the ID3v1 value lies within it, else the ID3v1 value.
// An empty ID3v1 value lies within any, so a file tagged with ID3v2 alone
// keeps its ID3v2 values.
const std::string& longerWhereItAgrees(const std::string& id3v1, const std::string& id3v2)
{
    return id3v2.find(id3v1) != std::string::npos ? id3v2 : id3v1;
}

// The template as one line: a name never holds a line break.
std::string oneLine(std::string text)
{
    replaceAll(text, "\r\n", " ");
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

} // namespace

TagValues chooseTagValues(const TID3v1& id3v1, const TID3v2& id3v2)
{
    TagValues values;
    values.artist = longerWhereItAgrees(id3v1.Artist(), id3v2.Artist());
    values.title = longerWhereItAgrees(id3v1.Title(), id3v2.Title());
    values.album = id3v2.Album().empty() ? id3v1.Album() : id3v2.Album();
    values.year = id3v2.Year().empty() ? id3v1.Year() : id3v2.Year();
    values.track = std::to_string(id3v2.Track());
    return values;
}

std::string BuildTitleTemplate(const std::vector<std::string>& checkedFields, std::string_view separator)
{
    std::string joined;
    for (std::size_t position = 0; position < checkedFields.size(); ++position) {
        if (position > 0) {
            joined.append(" ").append(separator).append(" ");
        }
        joined += checkedFields[position];
    }
    return joined;
}

std::optional<std::string> TagDerivedName(const TitleTemplate& titleTemplate, const TagValues& values,
                                          std::string_view extension)
{
    if (values.artist.empty() || values.title.empty()) {
        return std::nullopt;
    }
    const std::array<const std::string*, 5> valueOf
        = {&values.artist, &values.title, &values.album, &values.year, &values.track};
    std::string name = oneLine(titleTemplate.text);
    for (const std::string& field : titleTemplate.fields) {
        for (std::size_t key = 0; key < valueOf.size(); ++key) {
            if (field == titleTemplate.placeholders[key]) {
                replaceAll(name, field, *valueOf[key]);
            }
        }
    }
    // Of blanks alone the name would be hidden (".mp3") or blank.
    if (name.find_first_not_of(" \t") == std::string::npos) {
        return std::nullopt;
    }
    return name.append(".").append(extension);
}

bool hasMp3Extension(std::string_view name)
{
    return lowerAscii(splitName(name).extension) == "mp3";
}

TagNameSource tagNameSource(TitleTemplate titleTemplate)
{
    // One pair of tag objects serves every file of a run.
    auto tags = std::make_shared<std::pair<TID3v1, TID3v2>>();
    return [titleTemplate = std::move(titleTemplate), tags](const files::Folder& folder,
                                                            const std::string& name) -> std::optional<std::string> {
        if (hasMp3Extension(name)) {
            ReadTagsFromFile(folder, name, tags->first, tags->second);
            return TagDerivedName(titleTemplate, chooseTagValues(tags->first, tags->second));
        }
        if (!hasAudioTagExtension(name)) {
            return std::nullopt;
        }
        std::optional<CommonTags> read = readAudioTags(folder, name);
        if (!read) {
            return std::nullopt;
        }
        // As for MP3, a file without a track number counts as track 0.
        const TagValues values{std::move(read->artist), std::move(read->title), std::move(read->album),
                               std::move(read->year), read->track.empty() ? "0" : std::move(read->track)};
        return TagDerivedName(titleTemplate, values, lowerAscii(splitName(name).extension));
    };
}

} // namespace quorbit
