#pragma once

#include <cstddef>
#include <string_view>

// Character arithmetic on UTF-8 byte strings. A character is one valid UTF-8
// sequence, or a single byte that is not part of one, so names in an old 8-bit
// encoding keep every byte and are never rejected.
namespace quorbit::utf8 {

// Bytes taken by the character that starts at `pos` (1 for a stray byte).
std::size_t charLength(std::string_view text, std::size_t pos);

std::size_t countChars(std::string_view text);

// Byte offset of the character with 0-based `index`; text.size() when the text is shorter.
std::size_t offsetOfChar(std::string_view text, std::size_t index);

// Whether a character starts (or the text ends) at byte offset `pos`.
bool isCharBoundary(std::string_view text, std::size_t pos);

// Leftmost occurrence of `needle` at or after `from` that starts and ends on
// character boundaries; npos when there is none or `needle` is empty.
std::size_t find(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Whether the character at `pos` is a well-formed sequence (a stray byte is not).
bool isWellFormedAt(std::string_view text, std::size_t pos);

bool isAscii(std::string_view text);

// Whether every character is a well-formed sequence (no stray bytes).
bool isValid(std::string_view text);

} // namespace quorbit::utf8
