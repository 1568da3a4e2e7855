#include "inifuzz.h"

#include "tailbytes.h"

#include "platform/localetext.h"
#include "platform/utf8.h"
#include "settings/inifile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quorbit::fuzz {

namespace {

using settings::IniFile;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnds = "\r\n";
constexpr std::string_view kMissing = "\n"; // no value read can hold a line break

// Names as the program passes them: no line breaks, "=" or "]", no blanks at
// either end. Some differ only in case, outside ASCII too: "ß" folds to "ss",
// the Kelvin sign to "k".
constexpr std::array<std::string_view, 6> kSections{"Options", "OPTIONS", "Interface", "", "Ж", "ж"};
constexpr std::array<std::string_view, 10> kKeys{"Last Folder", "LAST folder", "ID3 Fields 0", "a", "", "Straße",
                                                 "STRASSE",     "k",           "\u212A",       "Ж"};

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "ini fuzz: %s\n", what);
        std::abort();
    }
}

class Choices : public TailBytes {
public:
    using TailBytes::TailBytes;

    // A value a user could set: printable ASCII (INI punctuation and quotes
    // included) with blanks at any place, letters outside ASCII and the BMP,
    // stray bytes of a folder name in an 8-bit encoding, and now and then a
    // line break.
    std::string value()
    {
        static constexpr std::string_view pieces[] = {"\t", " ", "\"", "Ж", "😀", "\xC0", "\xEB\xFC", "\xE0\x80"};
        std::string value;
        for (int length = next() % 16; length > 0; --length) {
            const std::uint8_t code = next();
            if (code < 0x5F) {
                value.push_back(static_cast<char>(0x20 + code));
            } else {
                value += pieces[code % std::size(pieces)];
            }
        }
        if (const std::uint8_t lineBreak = next(); lineBreak >= 0xF0) {
            value.insert(lineBreak % (value.size() + 1), lineBreak % 2 ? "\n" : "\r");
        }
        return value;
    }
};

bool holdsUtf8Sequence(std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size(); ++pos) {
        if (static_cast<unsigned char>(bytes[pos]) >= 0x80 && utf8::isWellFormedAt(bytes, pos)) {
            return true;
        }
    }
    return false;
}

// A file is windows-1251 only when its bytes outside ASCII are there and not
// one of them forms a UTF-8 sequence, and it has no byte-order mark.
bool readsAsUtf8(std::string_view bytes)
{
    return bytes.starts_with(kByteOrderMark) || utf8::isAscii(bytes) || holdsUtf8Sequence(bytes);
}

std::string_view withoutMark(std::string_view bytes)
{
    return bytes.starts_with(kByteOrderMark) ? bytes.substr(kByteOrderMark.size()) : bytes;
}

// What every pair of names reads, in the order of kSections, then kKeys.
std::vector<std::string> readAll(const IniFile& file)
{
    std::vector<std::string> values;
    for (const std::string_view section : kSections) {
        for (const std::string_view key : kKeys) {
            values.push_back(file.readString(section, key, kMissing));
            check(values.back().size() <= settings::kMaxValueBytes, "a value is read longer than the limit");
        }
    }
    return values;
}

// Whether `after` differs from `before` only inside one line when a value was
// replaced, or only by text inserted when a line was added.
bool changesOneLine(std::string_view before, std::string_view after, bool replaced)
{
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
    const std::string_view inserted = after.substr(prefix, after.size() - prefix - suffix);
    if (!replaced) {
        return removed.empty();
    }
    return removed.find_first_of(kLineEnds) == std::string_view::npos
        && inserted.find_first_of(kLineEnds) == std::string_view::npos;
}

} // namespace

void fuzzIniBytes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile file(bytes);
    // A UTF-8 file is saved back byte for byte, stray bytes and all; a
    // windows-1251 one as UTF-8.
    const std::string loaded = file.bytes();
    check(loaded == bytes || (!readsAsUtf8(bytes) && utf8::isValid(loaded)), "an unchanged file saves otherwise");

    static const auto folded = [] {
        std::array<std::string, kSections.size() * kKeys.size()> names;
        for (std::size_t s = 0; s < kSections.size(); ++s) {
            for (std::size_t k = 0; k < kKeys.size(); ++k) {
                names[s * kKeys.size() + k] = text::caseFold(kSections[s]) + '\0' + text::caseFold(kKeys[k]);
            }
        }
        return names;
    }();

    Choices choices(bytes);
    for (int writes = choices.next() % 4 + 1; writes > 0; --writes) {
        const std::size_t s = choices.next() % kSections.size();
        const std::size_t k = choices.next() % kKeys.size();
        const std::vector<std::string> before = readAll(file);
        const std::string bytesBefore = file.bytes();
        const bool replaced = before[s * kKeys.size() + k] != kMissing;
        std::string expected;
        if (choices.next() % 4 == 0) {
            int number = 0;
            for (int i = 0; i < 4; ++i) {
                number = static_cast<int>(static_cast<unsigned>(number) << 8 | choices.next());
            }
            file.writeInteger(kSections[s], kKeys[k], number);
            check(file.readInteger(kSections[s], kKeys[k], ~number) == number, "a written number reads back otherwise");
            expected = std::to_string(number);
        } else {
            const std::string value = choices.value();
            file.writeString(kSections[s], kKeys[k], value);
            expected = value.find_first_of(kLineEnds) == std::string::npos ? value : "";
        }
        check(file.readString(kSections[s], kKeys[k], kMissing) == expected, "a written value reads back otherwise");
        check(changesOneLine(withoutMark(bytesBefore), withoutMark(file.bytes()), replaced),
              "a write changes other lines");
        const std::vector<std::string> after = readAll(file);
        for (std::size_t i = 0; i < after.size(); ++i) {
            check(folded[i] == folded[s * kKeys.size() + k] || after[i] == before[i],
                  "a write changes the value of another key");
        }
    }

    // Saved and read again, the file reads as it did and saves the same bytes.
    const IniFile reread(file.bytes());
    check(readAll(reread) == readAll(file), "a saved file reads back otherwise");
    check(reread.bytes() == file.bytes(), "a saved file saves back otherwise");
}

} // namespace quorbit::fuzz
