#pragma once

#include "rename/renamerun.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit {

class TID3v1;
class TID3v2;

// The tag values a name can be made of.
struct TagValues {
    std::string artist;
    std::string title;
    std::string album;
    std::string year;
    std::string track;
};

// Chooses the values from a file's two tags. Artist and title come from
// ID3v2 where the ID3v1 value is empty or occurs within it (the ID3v1 field
// holds 30 characters at most), else from ID3v1: a file with one tag gets that
// tag's values, and where both disagree ID3v1 wins. Album and year come from
// ID3v2, else ID3v1; the track from ID3v2, "0" when it has none.
TagValues chooseTagValues(const TID3v1& id3v1, const TID3v2& id3v2);

// A title template and how to read it.
struct TitleTemplate {
    std::string text; // the template, such as "%Artist% - %Title%"
    std::vector<std::string> fields; // the texts of the field list, in its order, checked or not
    // The language's placeholders of artist, title, album, year and track.
    std::array<std::string, 5> placeholders;
};

// The fields joined with " " + separator + " " between neighbours; empty for none.
std::string BuildTitleTemplate(const std::vector<std::string>& checkedFields, std::string_view separator);

// The name a file with these tag values gets: the template with each line
// break ("\r\n", "\n" or "\r") made one space and every occurrence of each
// field's placeholder replaced by its value (a field whose text is no
// placeholder stays as it is), and "." + `extension`. Nothing when the artist
// or the title is empty, or when the name before the extension would be empty
// or spaces and tabs alone, as from an empty template.
std::optional<std::string> TagDerivedName(const TitleTemplate& titleTemplate, const TagValues& values,
                                          std::string_view extension = "mp3");

// Whether the name ends in ".mp3", in any letter case.
bool hasMp3Extension(std::string_view name);

// The run's source of names from tags, after `titleTemplate`: an MP3 file is
// named from its two ID3 tags, and a FLAC, Ogg Vorbis, Opus, MP4, WMA, WAV or
// AIFF file from its tags' common fields, keeping its own extension in lower
// case. Each file is read through the folder it lies in; other files get nothing.
TagNameSource tagNameSource(TitleTemplate titleTemplate);

} // namespace quorbit
