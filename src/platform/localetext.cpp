#include "platform/localetext.h"

#include "platform/utf8.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <memory>

namespace quorbit::text {

namespace {

struct LocaleState {
    std::string id;
    std::unique_ptr<icu::Collator> collator;
    // Turkish and Azeri map ASCII "i" and "I" specially; elsewhere ASCII maps alone.
    bool asciiIsSimple = true;
};

void load(LocaleState& state, const icu::Locale& locale)
{
    state.id = locale.getName();
    const std::string_view language = locale.getLanguage();
    state.asciiIsSimple = language != "tr" && language != "az";
    UErrorCode status = U_ZERO_ERROR;
    state.collator.reset(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !state.collator) {
        status = U_ZERO_ERROR;
        state.collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (state.collator) {
        status = U_ZERO_ERROR;
        state.collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    }
}

LocaleState& localeState()
{
    static LocaleState state = [] {
        LocaleState initial;
        load(initial, icu::Locale::getDefault());
        return initial;
    }();
    return state;
}

enum class Mapping { Upper, Lower, Fold, TitleFirst };

void mapWellFormed(Mapping mapping, std::string_view text, std::string& out)
{
    if (text.empty()) {
        return;
    }
    const LocaleState& state = localeState();
    if (mapping != Mapping::TitleFirst && state.asciiIsSimple && utf8::isAscii(text)) {
        for (const char c : text) {
            out.push_back(mapping == Mapping::Upper ? static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c)
                                                    : static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c));
        }
        return;
    }
    const std::size_t sizeBefore = out.size();
    icu::StringByteSink<std::string> sink(&out);
    UErrorCode status = U_ZERO_ERROR;
    const icu::StringPiece source(text.data(), static_cast<int32_t>(text.size()));
    switch (mapping) {
    case Mapping::Upper:
        icu::CaseMap::utf8ToUpper(state.id.c_str(), 0, source, sink, nullptr, status);
        break;
    case Mapping::Lower:
        icu::CaseMap::utf8ToLower(state.id.c_str(), 0, source, sink, nullptr, status);
        break;
    case Mapping::Fold:
        icu::CaseMap::utf8Fold(U_FOLD_CASE_DEFAULT, source, sink, nullptr, status);
        break;
    case Mapping::TitleFirst:
        icu::CaseMap::utf8ToTitle(state.id.c_str(),
                                  U_TITLECASE_WHOLE_STRING | U_TITLECASE_NO_LOWERCASE | U_TITLECASE_NO_BREAK_ADJUSTMENT,
                                  nullptr, source, sink, nullptr, status);
        break;
    }
    if (U_FAILURE(status)) {
        // Drop whatever the mapping wrote before it failed and keep the text as it was.
        out.resize(sizeBefore);
        out.append(text);
    }
}

// Maps each run of well-formed characters and copies stray bytes as they are.
std::string mapText(Mapping mapping, std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t runStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (utf8::isWellFormedAt(text, pos)) {
            pos += utf8::charLength(text, pos);
            continue;
        }
        mapWellFormed(mapping, text.substr(runStart, pos - runStart), out);
        out.push_back(text[pos]);
        runStart = ++pos;
    }
    mapWellFormed(mapping, text.substr(runStart), out);
    return out;
}

} // namespace

std::string toUpper(std::string_view text)
{
    return mapText(Mapping::Upper, text);
}

std::string toLower(std::string_view text)
{
    return mapText(Mapping::Lower, text);
}

std::string titleFirst(std::string_view text)
{
    if (text.empty() || !utf8::isWellFormedAt(text, 0)) {
        return std::string(text);
    }
    const std::size_t firstLength = utf8::charLength(text, 0);
    std::string out = mapText(Mapping::TitleFirst, text.substr(0, firstLength));
    out.append(text.substr(firstLength));
    return out;
}

std::string caseFold(std::string_view text)
{
    return mapText(Mapping::Fold, text);
}

std::string collationKey(std::string_view name)
{
    const LocaleState& state = localeState();
    if (!state.collator) {
        return std::string(name);
    }
    const icu::UnicodeString unicode
        = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
    std::string key(name.size() * 2 + 16, '\0');
    for (;;) {
        const int32_t needed = state.collator->getSortKey(unicode, reinterpret_cast<uint8_t*>(key.data()),
                                                          static_cast<int32_t>(key.size()));
        if (needed <= 0) {
            return std::string(name);
        }
        if (static_cast<std::size_t>(needed) <= key.size()) {
            key.resize(static_cast<std::size_t>(needed) - 1); // drop the terminating zero
            return key;
        }
        key.resize(static_cast<std::size_t>(needed));
    }
}

bool nameLess(std::string_view a, std::string_view b)
{
    if (const int byKey = collationKey(a).compare(collationKey(b)); byKey != 0) {
        return byKey < 0;
    }
    return a < b;
}

void setLocale(const char* localeId)
{
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(localeId), status);
    load(localeState(), icu::Locale::getDefault());
}

} // namespace quorbit::text
