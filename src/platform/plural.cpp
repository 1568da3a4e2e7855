#include "platform/plural.h"

#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/msgfmt.h>
#include <unicode/unistr.h>

namespace quorbit::text {

std::optional<std::string> formatCount(std::string_view pattern, std::string_view locale, long long count)
{
    if (pattern.empty()) {
        return std::nullopt;
    }
    const auto unicode = [](std::string_view utf8) {
        return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    };
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const icu::MessageFormat format(unicode(pattern), icu::Locale(std::string(locale).c_str()), parseError, status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    const icu::UnicodeString name = icu::UnicodeString::fromUTF8("count");
    const icu::Formattable value(static_cast<int64_t>(count));
    icu::UnicodeString text;
    format.format(&name, &value, 1, text, status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    std::string result;
    return text.toUTF8String(result);
}

} // namespace quorbit::text
