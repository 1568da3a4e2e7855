#include "tags/filewindow.h"

#include <algorithm>
#include <cstring>

namespace quorbit {

namespace {

constexpr std::size_t windowSize = 16 * 1024;

} // namespace

std::size_t FileWindow::read(unsigned char* buffer, std::size_t length)
{
    std::size_t done = 0;
    while (done < length && m_position < size()) {
        const auto holdsPosition = [&](const Window& window) {
            return m_position >= window.start
                && m_position < window.start + static_cast<std::int64_t>(window.bytes.size());
        };
        const auto found = std::find_if(m_windows.begin(), m_windows.end(), holdsPosition);
        if (found != m_windows.end()) {
            const std::size_t offset = static_cast<std::size_t>(m_position - found->start);
            const std::size_t count = std::min(length - done, found->bytes.size() - offset);
            std::memcpy(buffer + done, found->bytes.data() + offset, count);
            done += count;
            m_position += static_cast<std::int64_t>(count);
            m_lastUsed = static_cast<std::size_t>(found - m_windows.begin());
        } else if (length - done >= windowSize) {
            // A large block goes straight to the caller, not through a window.
            const std::size_t count = m_file.readAt(m_position, reinterpret_cast<char*>(buffer + done), length - done);
            done += count;
            m_position += static_cast<std::int64_t>(count);
            break;
        } else {
            Window& window = m_windows[1 - m_lastUsed];
            // No more than the file holds: a read past its end would cost a call for nothing.
            window.bytes.resize(static_cast<std::size_t>(std::min<std::int64_t>(windowSize, size() - m_position)));
            window.start = m_position;
            window.bytes.resize(
                m_file.readAt(m_position, reinterpret_cast<char*>(window.bytes.data()), window.bytes.size()));
            if (window.bytes.empty()) {
                break; // a read error, or the file shrank
            }
            m_lastUsed = 1 - m_lastUsed;
        }
    }
    return done;
}

std::string FileWindow::bytesAt(std::int64_t offset, std::size_t length)
{
    std::string bytes(
        static_cast<std::size_t>(std::clamp<std::int64_t>(size() - offset, 0, static_cast<std::int64_t>(length))),
        '\0');
    seek(offset);
    bytes.resize(read(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size()));
    return bytes;
}

std::uint64_t OrderedReader::number(std::string_view bytes) const
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[m_bigEndian ? i : bytes.size() - 1 - i]);
    }
    return value;
}

std::uint64_t OrderedReader::numberAt(std::int64_t offset, std::size_t width) const
{
    const std::string bytes = read(offset, width);
    return bytes.size() == width ? number(bytes) : 0;
}

} // namespace quorbit
