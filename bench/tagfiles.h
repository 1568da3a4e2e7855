#pragma once

#include "benchsupport.h"
#include "tags/id3v1.h"
#include "tags/mp3sample.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Folders of MP3 files tagged as a ripper tags them, for the benchmarks.
namespace quorbit::bench {

using namespace quorbit::testing;
using namespace std::string_literals;

inline std::string latin1Text(std::string_view text)
{
    return '\0' + std::string(text);
}

// Text outside Latin-1 is stored as UTF-16 with a byte-order mark, as most writers do.
inline std::string utf16Text(std::u16string_view text)
{
    std::string data = "\x01\xFF\xFE";
    for (const char16_t unit : text) {
        data.push_back(static_cast<char>(unit & 0xFF));
        data.push_back(static_cast<char>(unit >> 8));
    }
    return data;
}

inline std::string title(int i)
{
    return "Song number " + std::to_string(i);
}

// An ID3v2.3 tag as a ripper writes it: the usual text frames, a comment,
// a replay-gain TXXX and 512 bytes of padding, about 800 bytes in all.
inline std::string realisticTag(int i, std::string_view titleText)
{
    std::string body = id3v2Frame("TIT2", latin1Text(titleText));
    body += id3v2Frame("TPE1", i % 4 == 0 ? utf16Text(u"Ансамбль песни") : latin1Text("The Example Band"));
    body += id3v2Frame("TALB", latin1Text("Greatest Hits Volume " + std::to_string(i % 20)));
    body += id3v2Frame("TRCK", latin1Text(std::to_string(i % 12 + 1) + "/12"));
    body += id3v2Frame("TYER", latin1Text("1999"));
    body += id3v2Frame("TCON", latin1Text("(17)Rock"));
    body += id3v2Frame("COMM", "\0eng\0Ripped from the original CD"s);
    body += id3v2Frame("TXXX", "\0replaygain_track_gain\0-6.54 dB"s);
    body.append(512, '\0');
    return id3v2Tag(3, body);
}

inline std::string trailer(int i)
{
    quorbit::TID3v1 tag;
    tag.FSetTitle(title(i));
    tag.FSetArtist("The Example Band");
    tag.FSetAlbum("Greatest Hits");
    tag.FSetYear("1999");
    tag.FSetTrack(static_cast<std::uint8_t>(i % 12 + 1));
    tag.FSetGenreID(17);
    const quorbit::TID3v1::Trailer bytes = tag.BuildTrailer();
    return std::string(bytes.data(), bytes.size());
}

inline std::vector<std::string> createTaggedFiles(const std::string& folder, int count)
{
    const std::string audio = mpegAudio(4);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/track_%05d.mp3", i);
        paths.push_back(folder + name);
        writeFile(paths.back(), realisticTag(i, title(i)) + audio + trailer(i));
    }
    return paths;
}

} // namespace quorbit::bench
