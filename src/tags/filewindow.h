#pragma once

#include "platform/filecontent.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit {

// Reads an open file at a moving position through two windows of up to 16 KiB,
// for the tag libraries' stream classes: they ask for a few bytes at a time
// (Exiv2 reads JPEG markers byte by byte) and go back and forth between a
// file's head and its tail (TagLib looks for an ID3v1 tag at the end between
// reads of the blocks at the start), which costs one read of the file per
// window rather than one per request.
class FileWindow {
public:
    explicit FileWindow(const files::ReadOnlyFile& file)
        : m_file(file)
    {
    }

    std::int64_t size() const { return m_file.size(); }
    std::int64_t position() const { return m_position; }
    // Any position from 0 on; past the end, reads find nothing.
    void seek(std::int64_t position) { m_position = position; }
    // Copies up to `length` bytes from the position into `buffer` and moves
    // past them; returns how many there were.
    std::size_t read(unsigned char* buffer, std::size_t length);
    // Up to `length` bytes from `offset`, fewer at the end of the file; the
    // position moves past them.
    std::string bytesAt(std::int64_t offset, std::size_t length);

private:
    struct Window {
        std::int64_t start = 0;
        std::vector<unsigned char> bytes;
    };

    const files::ReadOnlyFile& m_file;
    std::int64_t m_position = 0;
    std::array<Window, 2> m_windows;
    std::size_t m_lastUsed = 0; // the other window is the one read anew
};

// The unsigned number that `bytes` write, big-endian or little-endian.
std::uint64_t numberOf(std::string_view bytes, bool bigEndian);

} // namespace quorbit
