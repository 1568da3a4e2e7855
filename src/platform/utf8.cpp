#include "platform/utf8.h"

namespace quorbit::utf8 {

namespace {

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed sequence at `pos`, or 0 when the bytes there are not one.
std::size_t sequenceLength(std::string_view text, std::size_t pos)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            secondMin = 0xA0; // no overlong forms
        } else if (lead == 0xED) {
            secondMax = 0x9F; // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            secondMin = 0x90;
        } else if (lead == 0xF4) {
            secondMax = 0x8F; // nothing above U+10FFFF
        }
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    const unsigned char second = byteAt(pos + 1);
    if (second < secondMin || second > secondMax) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(byteAt(pos + i))) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::size_t charLength(std::string_view text, std::size_t pos)
{
    const std::size_t length = sequenceLength(text, pos);
    return length == 0 ? 1 : length;
}

bool isWellFormedAt(std::string_view text, std::size_t pos)
{
    return sequenceLength(text, pos) != 0;
}

std::size_t countChars(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += charLength(text, pos)) {
        ++count;
    }
    return count;
}

std::size_t offsetOfChar(std::string_view text, std::size_t index)
{
    std::size_t pos = 0;
    for (; index > 0 && pos < text.size(); --index) {
        pos += charLength(text, pos);
    }
    return pos;
}

bool isCharBoundary(std::string_view text, std::size_t pos)
{
    if (pos == 0 || pos >= text.size() || !isContinuation(static_cast<unsigned char>(text[pos]))) {
        return true;
    }
    // A lead byte always starts a character; the nearest one before `pos`
    // decides whether its sequence reaches over `pos`.
    for (std::size_t back = 1; back <= 3 && back <= pos; ++back) {
        if (!isContinuation(static_cast<unsigned char>(text[pos - back]))) {
            return charLength(text, pos - back) <= back;
        }
    }
    return true;
}

std::size_t find(std::string_view haystack, std::string_view needle, std::size_t from)
{
    if (needle.empty()) {
        return std::string_view::npos;
    }
    for (std::size_t pos = haystack.find(needle, from); pos != std::string_view::npos;
         pos = haystack.find(needle, pos + 1)) {
        if (isCharBoundary(haystack, pos) && isCharBoundary(haystack, pos + needle.size())) {
            return pos;
        }
    }
    return std::string_view::npos;
}

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool isValid(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) { // the common case, kept quick
            ++pos;
        } else if (isWellFormedAt(text, pos)) {
            pos += charLength(text, pos);
        } else {
            return false;
        }
    }
    return true;
}

} // namespace quorbit::utf8
