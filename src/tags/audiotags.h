#pragma once

#include "platform/files.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

// The tag values of an audio file that a name can be made of, as UTF-8; each
// empty where the file has none.
struct CommonTags {
    std::string artist;
    std::string title;
    std::string album;
    std::string year; // of a full date ("1988-05-01") its year alone, as for MP3
    std::string track; // the number before any "/" ("3/12" gives "3", "03" gives "3")
};

// Whether the name ends in an extension whose tags readAudioTags reads: FLAC,
// Ogg Vorbis (.ogg, .oga), Opus, MP4 (.m4a, .mp4), WMA, WAV and AIFF (.aif,
// .aiff), in any letter case. MP3 is not one of them: its ID3 tags have their
// own classes.
bool hasAudioTagExtension(std::string_view name);

// The tags of the audio file `name` of `folder`, opened through the folder and
// read no further than its tag blocks (the audio itself is not looked at), in
// blocks of at most 16 MiB and never more than the file holds, whatever its
// size fields claim. Where a field has several values, the first. Nothing when
// the file has none of those extensions, cannot be opened, TagLib finds it is
// not a file of its format (it takes any file named .wav or .aif(f) for one
// without tags) or fails on it: so for a name with one of those extensions,
// nothing means the tags cannot be read, and empty fields that it has none.
std::optional<CommonTags> readAudioTags(const files::Folder& folder, const std::string& name);

} // namespace quorbit
