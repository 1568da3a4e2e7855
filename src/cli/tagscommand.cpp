#include "cli/tagscommand.h"

#include "listing/filemask.h"
#include "platform/integertext.h"
#include "tags/mp3tags.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <type_traits>

namespace quorbit::cli {

namespace {

constexpr std::array<std::pair<std::string_view, TagField>, 7> kFieldNames{{{"title", TagField::Title},
                                                                            {"artist", TagField::Artist},
                                                                            {"album", TagField::Album},
                                                                            {"year", TagField::Year},
                                                                            {"track", TagField::Track},
                                                                            {"genre", TagField::Genre},
                                                                            {"comment", TagField::Comment}}};

// Sets `edit` in `tag`, either one; `track` is the edit's value already read as a number.
template <class Tag>
void setField(Tag& tag, const TagEdit& edit, int track)
{
    switch (edit.field) {
    case TagField::Title:
        tag.FSetTitle(edit.value);
        break;
    case TagField::Artist:
        tag.FSetArtist(edit.value);
        break;
    case TagField::Album:
        tag.FSetAlbum(edit.value);
        break;
    case TagField::Year:
        tag.FSetYear(edit.value);
        break;
    case TagField::Track:
        tag.FSetTrack(static_cast<std::uint8_t>(track & 0xFF));
        break;
    case TagField::Genre:
        if constexpr (std::is_same_v<Tag, TID3v2>) {
            tag.FSetGenre(edit.value);
        } else {
            // ID3v1 keeps a genre by its number in the table, and no other.
            const auto known = std::find(MusicGenre.begin(), MusicGenre.end(), edit.value);
            if (known != MusicGenre.end()) {
                tag.FSetGenreID(static_cast<std::uint8_t>(known - MusicGenre.begin()));
            }
        }
        break;
    case TagField::Comment:
        tag.FSetComment(edit.value);
        break;
    }
}

// The field texts of either tag, in the order of kFieldNames.
template <class Tag>
std::array<std::string, 7> fieldTexts(const Tag& tag)
{
    return {tag.Title(), tag.Artist(), tag.Album(), tag.Year(), std::to_string(tag.Track()),
            tag.Genre(), tag.Comment()};
}

// Adds the tag to `object` as `key` (null when the file has none) for JSON,
// or prints it as lines "key version" and one line a field.
template <class Tag>
void printTag(const OutputStyle& style, nlohmann::ordered_json& object, const std::string& key, const Tag& tag,
              const std::string& version)
{
    const std::array<std::string, 7> texts = fieldTexts(tag);
    if (style.json) {
        nlohmann::ordered_json& fields = object[key];
        if (tag.Exists()) {
            fields["version"] = version;
            for (std::size_t field = 0; field < kFieldNames.size(); ++field) {
                putText(fields, std::string(kFieldNames[field].first), texts[field]);
            }
            fields["track"] = tag.Track(); // a number, not its text
        }
        return;
    }
    std::string lines = key + (tag.Exists() ? " " + version : ": none") + "\n";
    for (std::size_t field = 0; tag.Exists() && field < kFieldNames.size(); ++field) {
        const std::string_view name = kFieldNames[field].first;
        lines.append("  ").append(name).append(8 - name.size(), ' ');
        lines += (style.terminal ? terminalText(texts[field]) : texts[field]) + "\n";
    }
    std::fwrite(lines.data(), 1, lines.size(), stdout);
}

} // namespace

Result<std::vector<TagEdit>, std::string> tagEditsFor(const std::vector<std::string>& assignments)
{
    std::vector<TagEdit> edits;
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        const std::string_view name = std::string_view(assignment).substr(0, equals);
        const auto known = std::find_if(kFieldNames.begin(), kFieldNames.end(),
                                        [name](const auto& field) { return field.first == name; });
        if (equals == std::string::npos || known == kFieldNames.end()) {
            return Failure{"--set " + assignment
                           + ": not field=value with a field of title, artist, album, year, track, genre, comment"};
        }
        edits.push_back({known->second, assignment.substr(equals + 1)});
    }
    return edits;
}

ExitCode tagsCommand(const std::string& path, const std::vector<TagEdit>& edits, const OutputStyle& style)
{
    if (!files::isExistingFile(path)) {
        tell("no such file: " + path);
        return Refused;
    }
    TID3v1 id3v1;
    TID3v2 id3v2;
    const TagsRead read = ReadTagsFromFile(path, id3v1, id3v2);
    if (!read.id3v1 && !read.id3v2) {
        tell("cannot read " + path);
        return Refused;
    }
    ExitCode code = Done;
    if (!edits.empty()) {
        if (!FileMask("*.mp3").matches(files::fileNameOf(path))) {
            tell("only an MP3 file (.mp3) gets its tags saved: " + path);
            return Refused;
        }
        for (const TagEdit& edit : edits) {
            const std::optional<int> track = edit.field == TagField::Track ? parseInteger(edit.value) : 0;
            if (!track) {
                tell(invalidIntegerMessage(edit.value));
                return Refused;
            }
            setField(id3v1, edit, *track);
            setField(id3v2, edit, *track);
        }
        if (!SaveTagsToFile(path, id3v1, id3v2)) {
            tell("the tags could not be saved: " + path);
            code = NotAllDone;
        }
        ReadTagsFromFile(path, id3v1, id3v2);
    }
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    putText(object, "file", path);
    printTag(style, object, "id3v1", id3v1, id3v1.Version() == 2 ? "1.1" : "1.0");
    printTag(style, object, "id3v2", id3v2, "2." + std::to_string(id3v2.Version()));
    if (style.json) {
        printJson(object);
    }
    return code;
}

} // namespace quorbit::cli
