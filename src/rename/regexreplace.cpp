#include "rename/regexreplace.h"

#include "platform/utf8.h"

#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace quorbit {

namespace {

// Where a stray byte goes in the text the pattern sees: lone low surrogates,
// which no valid UTF-8 decodes to, so they come back as the bytes they were.
constexpr UChar32 kStrayBase = 0xDC00;

using Clock = std::chrono::steady_clock;

// What the pattern may spend on one name, and on the slow names of a whole
// run: a pattern that backtracks without end would otherwise hold a run of
// ten thousand names for minutes.
constexpr Clock::duration kNameAllowance = std::chrono::milliseconds(10);
constexpr Clock::duration kRunAllowance = std::chrono::seconds(4);

// The time of one name's matching, on the stack of the call that matches it.
struct NameClock {
    Clock::time_point start;
    Clock::time_point lastTold; // when ICU last asked, or the start
    std::atomic<Clock::rep>& spent; // the object's, over all the names
};

// Asked by ICU after every 10,000 backtracking steps: whether the match may go
// on. A name that never takes that many costs no reading of the clock here.
UBool U_CALLCONV mayGoOn(const void* context, int32_t)
{
    // ICU hands the context back as const; it is the matching call's own clock.
    NameClock& clock = *static_cast<NameClock*>(const_cast<void*>(context));
    const Clock::time_point now = Clock::now();
    const Clock::rep added = (now - clock.lastTold).count();
    const Clock::duration spent(clock.spent.fetch_add(added, std::memory_order_relaxed) + added);
    clock.lastTold = now;
    return now - clock.start < kNameAllowance && spent < kRunAllowance;
}

// `text` as UTF-16 for the matcher. With `offsets`, the byte offset in `text`
// of every UTF-16 unit (and of the end) goes there too.
icu::UnicodeString decode(std::string_view text, std::vector<std::size_t>* offsets = nullptr)
{
    icu::UnicodeString out;
    char16_t* buffer = out.getBuffer(static_cast<int32_t>(text.size()));
    int32_t length = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        std::size_t next = pos + 1;
        if (byte < 0x80) {
            buffer[length++] = byte;
        } else if (!utf8::isWellFormedAt(text, pos)) {
            buffer[length++] = static_cast<char16_t>(kStrayBase + byte);
        } else {
            int32_t at = static_cast<int32_t>(pos);
            UChar32 c = 0;
            U8_NEXT_UNSAFE(reinterpret_cast<const uint8_t*>(text.data()), at, c);
            next = static_cast<std::size_t>(at);
            U16_APPEND_UNSAFE(buffer, length, c);
        }
        if (offsets) {
            offsets->resize(static_cast<std::size_t>(length), pos);
        }
        pos = next;
    }
    out.releaseBuffer(length);
    if (offsets) {
        offsets->push_back(text.size());
    }
    return out;
}

// `text` as UTF-8, the stray bytes decode() took in given back.
void appendEncoded(std::string& out, const icu::UnicodeString& text)
{
    for (int32_t i = 0; i < text.length();) {
        UChar32 c = text.char32At(i);
        i += U16_LENGTH(c);
        if (c >= kStrayBase + 0x80 && c <= kStrayBase + 0xFF) {
            out.push_back(static_cast<char>(c - kStrayBase));
            continue;
        }
        if (U_IS_SURROGATE(c)) {
            c = 0xFFFD; // a lone surrogate written as an escape has no bytes of its own
        }
        uint8_t bytes[U8_MAX_LENGTH];
        int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, c);
        out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    }
}

std::string errorText(UErrorCode status, int32_t offset, std::string_view where = {})
{
    return u_errorName(status) + (" at offset " + std::to_string(offset)) + std::string(where);
}

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// One piece of the replacement: text, or a capture group copied from the name.
struct Piece {
    std::string text;
    int32_t group = -1; // -1 for text
};

// The replacement read once, as appendReplacement reads it at every match:
// "\" takes the next character as it is ("\uhhhh" and "\Uhhhhhhhh" its code
// point), "$" takes a group by number (as many digits as keep it a group) or
// by "{name}". The error instead when a "$" names no group the pattern has.
Result<std::vector<Piece>, std::string> readReplacement(const icu::RegexPattern& pattern, int32_t groupCount,
                                                        std::string_view replacementBytes)
{
    const icu::UnicodeString replacement = decode(replacementBytes);
    const int32_t length = replacement.length();
    std::vector<Piece> pieces;
    icu::UnicodeString text;
    const auto endText = [&] {
        if (!text.isEmpty()) {
            appendEncoded(pieces.emplace_back().text, text);
            text.remove();
        }
    };
    for (int32_t i = 0; i < length;) {
        const int32_t at = i;
        const UChar32 c = replacement.char32At(i);
        i += U16_LENGTH(c);
        if (c == u'\\') {
            if (i == length) {
                break;
            }
            const UChar32 escaped = replacement.char32At(i);
            if (escaped == u'u' || escaped == u'U') {
                int32_t end = i;
                if (const UChar32 unescaped = replacement.unescapeAt(end); unescaped != -1) {
                    text.append(unescaped);
                    i = end;
                    continue;
                }
                // Malformed: appendReplacement drops the letter, the hex digits
                // it read and the character that ended them.
                const int32_t most = escaped == u'u' ? 4 : 8;
                int32_t digits = 0;
                for (++i; digits < most && i < length && isHexDigit(replacement.charAt(i)); ++i) {
                    ++digits;
                }
                if (digits < most && i < length) {
                    i += U16_LENGTH(replacement.char32At(i));
                }
                continue;
            }
            text.append(escaped);
            i += U16_LENGTH(escaped);
            continue;
        }
        if (c != u'$') {
            text.append(c);
            continue;
        }
        const auto refuse = [&](UErrorCode error) {
            return Failure{errorText(error, replacement.countChar32(0, at) + 1, " of the replacement")};
        };
        int32_t group = 0;
        if (i < length && replacement.charAt(i) == u'{') {
            const int32_t close = replacement.indexOf(u'}', i + 1);
            if (close < 0) {
                return refuse(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
            }
            const icu::UnicodeString name = replacement.tempSubStringBetween(i + 1, close);
            for (int32_t n = 0; n < name.length(); ++n) {
                // The letters and digits appendReplacement takes in a name (no 0).
                const char16_t letter = name.charAt(n);
                if (!((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z')
                      || (letter >= u'1' && letter <= u'9'))) {
                    return refuse(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
                }
            }
            UErrorCode status = U_ZERO_ERROR;
            group = pattern.groupNumberFromName(name, status);
            if (U_FAILURE(status) || group <= 0) {
                return refuse(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
            }
            i = close + 1;
        } else if (i < length && u_isdigit(replacement.char32At(i))) {
            int32_t digits = 0;
            for (; i < length && u_isdigit(replacement.char32At(i)); ++digits) {
                const UChar32 digit = replacement.char32At(i);
                if (group * 10 + u_charDigitValue(digit) > groupCount) {
                    break;
                }
                group = group * 10 + u_charDigitValue(digit);
                i += U16_LENGTH(digit);
            }
            if (digits == 0) {
                return refuse(U_INDEX_OUTOFBOUNDS_ERROR);
            }
        } else {
            return refuse(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
        }
        endText();
        pieces.push_back({{}, group});
    }
    endText();
    return pieces;
}

} // namespace

struct RegexReplacement::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
    std::vector<Piece> pieces;
    // The time the names ICU asked about took, added by every thread that applies.
    std::atomic<Clock::rep> spent{0};
};

RegexReplacement::RegexReplacement(std::unique_ptr<Compiled> compiled)
    : m_compiled(std::move(compiled))
{
}

RegexReplacement::RegexReplacement(RegexReplacement&&) noexcept = default;
RegexReplacement& RegexReplacement::operator=(RegexReplacement&&) noexcept = default;
RegexReplacement::~RegexReplacement() = default;

Result<RegexReplacement, std::string> RegexReplacement::compile(std::string_view pattern, std::string_view replacement)
{
    if (pattern.empty()) {
        return RegexReplacement(nullptr);
    }
    auto compiled = std::make_unique<Compiled>();
    UParseError where{};
    UErrorCode status = U_ZERO_ERROR;
    compiled->pattern.reset(icu::RegexPattern::compile(decode(pattern), 0, where, status));
    if (U_FAILURE(status)) {
        return Failure{errorText(status, where.offset)};
    }
    const std::unique_ptr<icu::RegexMatcher> matcher(compiled->pattern->matcher(status));
    if (U_FAILURE(status)) {
        return Failure{errorText(status, 0)};
    }
    Result<std::vector<Piece>, std::string> pieces
        = readReplacement(*compiled->pattern, matcher->groupCount(), replacement);
    if (!pieces) {
        return Failure{pieces.fault()};
    }
    compiled->pieces = std::move(*pieces);
    return RegexReplacement(std::move(compiled));
}

std::optional<std::string> RegexReplacement::apply(std::string_view part) const
{
    if (!m_compiled) {
        return std::string(part);
    }
    if (Clock::duration(m_compiled->spent.load(std::memory_order_relaxed)) >= kRunAllowance) {
        return std::nullopt;
    }
    const Clock::time_point now = Clock::now();
    NameClock clock{now, now, m_compiled->spent};
    // Offsets of an ASCII name are its UTF-16 indices; others need the table.
    std::vector<std::size_t> offsets;
    const bool ascii = utf8::isAscii(part);
    const icu::UnicodeString text = decode(part, ascii ? nullptr : &offsets);
    const auto byteAt = [&](int32_t index) {
        return ascii ? static_cast<std::size_t>(index) : offsets[static_cast<std::size_t>(index)];
    };

    UErrorCode status = U_ZERO_ERROR;
    // A matcher of its own for every name keeps the threads apart.
    const std::unique_ptr<icu::RegexMatcher> matcher(m_compiled->pattern->matcher(text, status));
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    matcher->setMatchCallback(mayGoOn, &clock, status);
    std::string out;
    std::size_t copied = 0; // the bytes of `part` before this are in `out`
    while (matcher->find(status)) {
        out.append(part.substr(copied, byteAt(matcher->start(status)) - copied));
        for (const Piece& piece : m_compiled->pieces) {
            if (piece.group < 0) {
                out.append(piece.text);
            } else if (const int32_t start = matcher->start(piece.group, status); start >= 0) {
                const std::size_t from = byteAt(start);
                out.append(part.substr(from, byteAt(matcher->end(piece.group, status)) - from));
            }
        }
        copied = byteAt(matcher->end(status));
    }
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    out.append(part.substr(copied));
    return out;
}

} // namespace quorbit
