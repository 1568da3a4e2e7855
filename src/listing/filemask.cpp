#include "listing/filemask.h"

#include "platform/localetext.h"
#include "platform/utf8.h"

namespace quorbit {

namespace {

// Stray bytes become values outside Unicode, so they match only themselves.
constexpr char32_t strayByteBase = 0x110000;

char32_t decodeAt(std::string_view text, std::size_t pos, std::size_t length)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    if (!utf8::isWellFormedAt(text, pos)) {
        return strayByteBase + byteAt(0);
    }
    if (length == 1) {
        return byteAt(0);
    }
    char32_t value = byteAt(0) & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        value = (value << 6) | (byteAt(i) & 0x3F);
    }
    return value;
}

std::u32string foldedCharacters(std::string_view text)
{
    const std::string folded = text::caseFold(text);
    std::u32string characters;
    characters.reserve(folded.size());
    for (std::size_t pos = 0; pos < folded.size();) {
        const std::size_t length = utf8::charLength(folded, pos);
        characters.push_back(decodeAt(folded, pos, length));
        pos += length;
    }
    return characters;
}

} // namespace

FileMask::FileMask(std::string_view maskText)
    : m_selectsEverything(maskText == "*.*")
{
    std::size_t start = 0;
    while (start <= maskText.size()) {
        std::size_t end = maskText.find(';', start);
        if (end == std::string_view::npos) {
            end = maskText.size();
        }
        const std::string_view mask = maskText.substr(start, end - start);
        start = end + 1;
        if (mask.empty()) {
            continue;
        }
        Pattern pattern;
        for (const char32_t character : foldedCharacters(mask)) {
            if (character == U'*') {
                pattern.push_back({Kind::AnyRun, 0});
            } else if (character == U'?') {
                pattern.push_back({pattern.empty() ? Kind::ExactlyOne : Kind::OneOrNone, 0});
            } else {
                pattern.push_back({Kind::Literal, character});
            }
        }
        m_patterns.push_back(std::move(pattern));
    }
}

bool FileMask::matches(std::string_view fileName) const
{
    if (m_selectsEverything) {
        return true;
    }
    const std::u32string name = foldedCharacters(fileName);
    for (const Pattern& pattern : m_patterns) {
        if (matchesPattern(pattern, name)) {
            return true;
        }
    }
    return false;
}

// Runs the pattern as a small automaton: `reached[i]` says whether the first i
// tokens can have consumed the characters read so far.
bool FileMask::matchesPattern(const Pattern& pattern, const std::u32string& name)
{
    const std::size_t count = pattern.size();
    std::vector<char> reached(count + 1, 0);
    std::vector<char> next(count + 1, 0);
    const auto closeOverEmpty = [&](std::vector<char>& states) {
        for (std::size_t i = 0; i < count; ++i) {
            const Kind kind = pattern[i].kind;
            if (states[i] && (kind == Kind::AnyRun || kind == Kind::OneOrNone)) {
                states[i + 1] = 1;
            }
        }
    };
    reached[0] = 1;
    closeOverEmpty(reached);
    for (const char32_t character : name) {
        std::fill(next.begin(), next.end(), 0);
        for (std::size_t i = 0; i < count; ++i) {
            if (!reached[i]) {
                continue;
            }
            const Token& token = pattern[i];
            if (token.kind == Kind::AnyRun) {
                next[i] = 1;
            } else if (token.kind != Kind::Literal || token.character == character) {
                next[i + 1] = 1;
            }
        }
        closeOverEmpty(next);
        reached.swap(next);
    }
    return reached[count] != 0;
}

} // namespace quorbit
