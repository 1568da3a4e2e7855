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

// A file read through a FileWindow at any offset, its numbers in one byte
// order, as the chunks and directories of image formats are.
class OrderedReader {
public:
    OrderedReader(FileWindow& window, bool bigEndian)
        : m_window(window)
        , m_bigEndian(bigEndian)
    {
    }

    std::int64_t size() const { return m_window.size(); }
    // Up to `length` bytes from `offset`, fewer at the end of the file.
    std::string read(std::int64_t offset, std::size_t length) const { return m_window.bytesAt(offset, length); }
    // The unsigned number that `bytes` write in the reader's byte order.
    std::uint64_t number(std::string_view bytes) const;
    // The number of `width` bytes at `offset`; 0 past the end of the file.
    std::uint64_t numberAt(std::int64_t offset, std::size_t width) const;

private:
    FileWindow& m_window;
    bool m_bigEndian;
};

} // namespace quorbit
