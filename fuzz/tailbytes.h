#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorbit::fuzz {

// The choices of a fuzz run, taken from the input's last bytes read backwards,
// so that its start stays a plain file; once every byte is used they are zero.
class TailBytes {
public:
    explicit TailBytes(std::string_view bytes)
        : m_bytes(bytes)
    {
    }

    std::uint8_t next()
    {
        return m_used < m_bytes.size() ? static_cast<std::uint8_t>(m_bytes[m_bytes.size() - ++m_used]) : 0;
    }

private:
    std::string_view m_bytes;
    std::size_t m_used = 0;
};

} // namespace quorbit::fuzz
