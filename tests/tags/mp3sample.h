#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tempfolder.h"

namespace quorbit::testing {

// A few silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz): valid audio
// that tag tools accept, each frame a different byte pattern after its header
// so that a shifted or damaged copy shows.
inline std::string mpegAudio(std::size_t frameCount = 4)
{
    constexpr std::size_t frameSize = 417;
    std::string audio;
    audio.reserve(frameCount * frameSize);
    for (std::size_t frame = 0; frame < frameCount; ++frame) {
        audio += "\xFF\xFB\x90\xC4";
        audio.append(frameSize - 4, '\0');
        audio[audio.size() - 1] = static_cast<char>(frame + 1);
    }
    return audio;
}

// A hand-made ID3v2 frame: its ID, a big-endian (2.3) or syncsafe (2.4) size, zero flags, the data.
inline std::string id3v2Frame(std::string_view id, std::string_view data, bool syncsafe = false,
                              std::uint16_t flags = 0)
{
    std::string frame(id);
    const auto size = static_cast<std::uint32_t>(data.size());
    for (int shift = syncsafe ? 21 : 24; shift >= 0; shift -= syncsafe ? 7 : 8) {
        frame.push_back(static_cast<char>(size >> shift & (syncsafe ? 0x7F : 0xFF)));
    }
    frame.push_back(static_cast<char>(flags >> 8));
    frame.push_back(static_cast<char>(flags & 0xFF));
    frame += data;
    return frame;
}

// A hand-made ID3v2.2 frame: its three-letter ID, a 3-byte big-endian size, the data (2.2 has no frame flags).
inline std::string id3v22Frame(std::string_view id, std::string_view data)
{
    std::string frame(id);
    const auto size = static_cast<std::uint32_t>(data.size());
    for (int shift = 16; shift >= 0; shift -= 8) {
        frame.push_back(static_cast<char>(size >> shift & 0xFF));
    }
    frame += data;
    return frame;
}

// A hand-made ID3v2 tag of `version` around `body` (frames and padding), its
// size field counting `body` unless `declaredSize` says otherwise.
inline std::string id3v2Tag(std::uint8_t version, std::string_view body, std::uint8_t flags = 0,
                            std::int64_t declaredSize = -1)
{
    const auto size
        = static_cast<std::uint32_t>(declaredSize < 0 ? static_cast<std::int64_t>(body.size()) : declaredSize);
    std::string tag = "ID3";
    tag.push_back(static_cast<char>(version));
    tag.push_back('\0');
    tag.push_back(static_cast<char>(flags));
    for (int shift = 21; shift >= 0; shift -= 7) {
        tag.push_back(static_cast<char>(size >> shift & 0x7F));
    }
    tag += body;
    return tag;
}

// A shell command line that runs `args`, each quoted so that no value (a tag
// text, a file name) is ever read as shell syntax.
inline std::string shellCommand(const std::vector<std::string>& args)
{
    std::string command;
    for (const std::string& arg : args) {
        command += '\'';
        for (const char c : arg) {
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        command += "' ";
    }
    return command;
}

} // namespace quorbit::testing
