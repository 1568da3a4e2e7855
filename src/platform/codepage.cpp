#include "platform/codepage.h"

#include "platform/utf8.h"

#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace quorbit::text {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

// A single-byte code page as two tables, built once with ICU so that
// converting a tag field costs no converter set-up.
struct CodePageTable {
    std::array<char32_t, 256> toUnicode{};
    std::unordered_map<char32_t, char> fromUnicode;
};

std::unique_ptr<CodePageTable> buildTable(const char* codePage)
{
    auto table = std::make_unique<CodePageTable>();
    for (char32_t& character : table->toUnicode) {
        character = replacementCharacter;
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(codePage, &status);
    if (U_FAILURE(status)) {
        return table;
    }
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    for (int byte = 0; byte < 256; ++byte) {
        const char source = static_cast<char>(byte);
        UChar target[4];
        status = U_ZERO_ERROR;
        const int32_t length = ucnv_toUChars(converter, target, 4, &source, 1, &status);
        if (U_FAILURE(status) || length < 1) {
            continue;
        }
        UChar32 codePoint = 0;
        int32_t offset = 0;
        U16_NEXT(target, offset, length, codePoint);
        if (offset != length) {
            continue;
        }
        table->toUnicode[byte] = static_cast<char32_t>(codePoint);
        table->fromUnicode.emplace(static_cast<char32_t>(codePoint), source);
    }
    ucnv_close(converter);
    return table;
}

const CodePageTable& tableFor(const char* codePage)
{
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<CodePageTable>, std::less<>> tables;
    const std::lock_guard lock(mutex);
    auto found = tables.find(std::string_view(codePage));
    if (found == tables.end()) {
        found = tables.emplace(codePage, buildTable(codePage)).first;
    }
    return *found->second;
}

void appendUtf8(std::string& out, char32_t codePoint)
{
    char buffer[4];
    int32_t length = 0;
    UBool failed = false;
    U8_APPEND(buffer, length, 4, codePoint, failed);
    if (failed) {
        return appendUtf8(out, replacementCharacter);
    }
    out.append(buffer, static_cast<std::size_t>(length));
}

// Calls visit(codePoint) for each character; a stray byte is U+FFFD.
template <class Visit>
void forEachCodePoint(std::string_view utf8, Visit visit)
{
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t length = utf8::charLength(utf8, pos);
        char32_t codePoint = replacementCharacter;
        if (utf8::isWellFormedAt(utf8, pos)) {
            int32_t offset = 0;
            UChar32 decoded = 0;
            U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data() + pos), offset, static_cast<int32_t>(length), decoded);
            codePoint = static_cast<char32_t>(decoded);
        }
        visit(codePoint);
        pos += length;
    }
}

} // namespace

const char* legacyCodePage()
{
    static const std::map<std::string_view, const char*> byLanguage = {
        {"ru", "windows-1251"}, {"uk", "windows-1251"}, {"be", "windows-1251"}, {"bg", "windows-1251"},
        {"sr", "windows-1251"}, {"mk", "windows-1251"}, {"cs", "windows-1250"}, {"pl", "windows-1250"},
        {"hu", "windows-1250"}, {"sk", "windows-1250"}, {"sl", "windows-1250"}, {"hr", "windows-1250"},
        {"ro", "windows-1250"}, {"el", "windows-1253"}, {"tr", "windows-1254"}, {"he", "windows-1255"},
        {"ar", "windows-1256"}, {"lt", "windows-1257"}, {"lv", "windows-1257"}, {"et", "windows-1257"},
        {"vi", "windows-1258"},
    };
    // Asked for every tag field read, so the answer is kept until the locale changes.
    thread_local std::string language;
    thread_local const char* codePage = nullptr;
    const char* current = icu::Locale::getDefault().getLanguage();
    if (codePage == nullptr || language != current) {
        language = current;
        const auto found = byLanguage.find(language);
        codePage = found == byLanguage.end() ? "windows-1252" : found->second;
    }
    return codePage;
}

std::string fromCodePage(std::string_view bytes, const char* codePage)
{
    std::string out;
    out.reserve(bytes.size());
    if (utf8::isAscii(bytes)) {
        out.assign(bytes);
        return out;
    }
    const CodePageTable& table = tableFor(codePage);
    for (const char byte : bytes) {
        appendUtf8(out, table.toUnicode[static_cast<unsigned char>(byte)]);
    }
    return out;
}

std::string toCodePage(std::string_view utf8, const char* codePage)
{
    if (utf8::isAscii(utf8)) {
        return std::string(utf8);
    }
    const CodePageTable& table = tableFor(codePage);
    std::string out;
    forEachCodePoint(utf8, [&](char32_t codePoint) {
        const auto found = table.fromUnicode.find(codePoint);
        out.push_back(found == table.fromUnicode.end() ? '?' : found->second);
    });
    return out;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [&](std::size_t index) {
        const auto first = static_cast<unsigned char>(bytes[2 * index]);
        const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
        return static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
    };
    for (std::size_t index = 0; index < units; ++index) {
        const char16_t unit = unitAt(index);
        char32_t codePoint = unit;
        if (U16_IS_LEAD(unit) && index + 1 < units && U16_IS_TRAIL(unitAt(index + 1))) {
            codePoint = U16_GET_SUPPLEMENTARY(unit, unitAt(index + 1));
            ++index;
        } else if (U16_IS_SURROGATE(unit)) {
            codePoint = replacementCharacter;
        }
        appendUtf8(out, codePoint);
    }
    return out;
}

std::string toUtf16LittleEndian(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    const auto appendUnit = [&](char16_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    };
    forEachCodePoint(utf8, [&](char32_t codePoint) {
        if (codePoint > 0xFFFF) {
            appendUnit(U16_LEAD(codePoint));
            appendUnit(U16_TRAIL(codePoint));
        } else {
            appendUnit(static_cast<char16_t>(codePoint));
        }
    });
    return out;
}

} // namespace quorbit::text
