#pragma once

#include "tags/mp3sample.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// Small real audio files and photos for the TagLib and Exiv2 readers, made
// by ffmpeg, tagged by mutagen and the exiv2 command: tools the readers share
// no code with.
namespace quorbit::testing {

// Runs `args` with its output left out; true when it exits with 0.
inline bool runQuietly(const std::vector<std::string>& args)
{
    return std::system((shellCommand(args) + " >/dev/null 2>&1").c_str()) == 0;
}

// The system Python: mutagen is its package, not that of another python3 on PATH.
inline const std::string systemPython = "/usr/bin/python3";

// What is missing of the tools the audio samples need, or empty.
inline std::string missingAudioTools()
{
    if (!runQuietly({"ffmpeg", "-version"})) {
        return "ffmpeg is not installed";
    }
    return runQuietly({systemPython, "-c", "import mutagen"}) ? "" : "mutagen (python3-mutagen) is not installed";
}

// A tenth of a second of silence encoded with ffmpeg's `codec`, in the format
// the extension of `path` names, with no tags of ffmpeg's own.
inline bool makeSilence(const std::string& path, const std::string& codec)
{
    return runQuietly({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t", "0.1", "-c:a",
                       codec, "-fflags", "+bitexact", "-map_metadata", "-1", path});
}

// The fields of one file to tag, by mutagen's easy names (artist, title,
// album, date, tracknumber).
struct AudioTagging {
    std::string path;
    std::vector<std::pair<std::string, std::string>> fields;
};

// Tags the files in one run of mutagen, each as its format is tagged: Vorbis
// comments (FLAC, Ogg), MP4 atoms, ASF attributes (WMA), an ID3v2 chunk (WAV, AIFF).
inline bool tagAudio(const std::vector<AudioTagging>& files)
{
    static const char* const script = R"(
import sys, mutagen
from mutagen import id3
frames = {'artist': id3.TPE1, 'title': id3.TIT2, 'album': id3.TALB, 'date': id3.TDRC, 'tracknumber': id3.TRCK}
asf = {'artist': 'Author', 'title': 'Title', 'album': 'WM/AlbumTitle', 'date': 'WM/Year',
       'tracknumber': 'WM/TrackNumber'}
for file in sys.argv[1:]:
    path, *fields = file.split('\x1f')
    kind = path.rsplit('.', 1)[1].lower()
    tagged = mutagen.File(path, easy=kind not in ('wav', 'aiff', 'wma'))
    if kind in ('wav', 'aiff'):
        tagged.add_tags()
    for key, value in zip(fields[::2], fields[1::2]):
        if kind in ('wav', 'aiff'):
            tagged.tags.add(frames[key](encoding=3, text=[value]))
        else:
            tagged[asf.get(key, key) if kind == 'wma' else key] = [value]
    tagged.save()
)";
    std::vector<std::string> args = {systemPython, "-c", script};
    for (const AudioTagging& file : files) {
        std::string joined = file.path;
        for (const auto& [key, value] : file.fields) {
            joined += '\x1f' + key + '\x1f' + value;
        }
        args.push_back(joined);
    }
    return runQuietly(args);
}

// What is missing of the tools the photo samples need, or empty.
inline std::string missingPhotoTools()
{
    if (!runQuietly({"ffmpeg", "-version"})) {
        return "ffmpeg is not installed";
    }
    if (!runQuietly({"exiv2", "--version"})) {
        return "the exiv2 command is not installed";
    }
    return runQuietly({"exiftool", "-ver"}) ? "" : "exiftool (libimage-exiftool-perl) is not installed";
}

// A 16 by 16 grey image in the format the extension of `path` names, given
// the Exif values of `commands` ("set Exif.Photo.DateTimeOriginal ...") by exiv2.
inline bool makePhoto(const std::string& path, const std::vector<std::string>& commands)
{
    if (!runQuietly(
            {"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "color=c=gray:s=16x16", "-frames:v", "1", path})) {
        return false;
    }
    std::vector<std::string> args = {"exiv2"};
    for (const std::string& command : commands) {
        args.push_back("-M" + command);
    }
    args.push_back(path);
    return commands.empty() || runQuietly(args);
}

} // namespace quorbit::testing
