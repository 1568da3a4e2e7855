#pragma once

#include <string>
#include <string_view>

// Conversions between the program's UTF-8 text and the encodings found in
// files written by other programs: the single-byte Windows code pages and UTF-16.
namespace quorbit::text {

// The code page Windows uses for 8-bit text in the user's locale language
// ("windows-1251" for Russian, "windows-1252" where no other one applies).
const char* legacyCodePage();

// Single-byte code page to UTF-8 and back. `codePage` is one of the
// "windows-125x" names; a byte the code page does not define becomes U+FFFD,
// and a character it cannot hold is written as "?", so every character takes
// exactly one byte.
std::string fromCodePage(std::string_view bytes, const char* codePage);
std::string toCodePage(std::string_view utf8, const char* codePage);

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD; an odd last byte is dropped.
std::string fromUtf16(std::string_view bytes, bool bigEndian);
// UTF-8 to little-endian UTF-16 with no byte-order mark; stray bytes become U+FFFD.
std::string toUtf16LittleEndian(std::string_view utf8);

} // namespace quorbit::text
