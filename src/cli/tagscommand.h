#pragma once

#include "cli/report.h"
#include "platform/result.h"

#include <string>
#include <vector>

namespace quorbit::cli {

enum class TagField { Title, Artist, Album, Year, Track, Genre, Comment };

struct TagEdit {
    TagField field = TagField::Title;
    std::string value;
};

// The edits "field=value" ask for (title, artist, album, year, track, genre,
// comment); or the usage error of the first that names no field.
Result<std::vector<TagEdit>, std::string> tagEditsFor(const std::vector<std::string>& assignments);

// Prints both tags of the file at `path`. With `edits`, first sets them in
// both tags and saves both, ID3v1 first, as the window's Save Tags does (an
// ID3v1 field keeps what fits it); only an MP3 file (".mp3") is saved.
ExitCode tagsCommand(const std::string& path, const std::vector<TagEdit>& edits, const OutputStyle& style);

} // namespace quorbit::cli
