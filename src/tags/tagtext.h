#pragma once

#include <string_view>

namespace quorbit {

// Tag text loses the characters of code 0x20 or below at its ends: blanks,
// zero padding and control characters. Bytes above 0x7F are never blanks.
inline bool isTagBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

inline std::string_view trimmedRight(std::string_view text)
{
    while (!text.empty() && isTagBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

inline std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isTagBlank(text.front())) {
        text.remove_prefix(1);
    }
    return trimmedRight(text);
}

} // namespace quorbit
