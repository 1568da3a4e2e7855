#include "settings/mnemonics.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>
#include <optional>
#include <set>

namespace quorbit::settings {

namespace {

// The code point at `position` and where the next one starts; a stray byte is
// no letter, so it only has to be stepped over.
UChar32 codePointAt(const std::string& text, std::size_t& position)
{
    UChar32 point = 0;
    auto offset = static_cast<int32_t>(position);
    U8_NEXT(text.data(), offset, static_cast<int32_t>(text.size()), point);
    position = static_cast<std::size_t>(offset);
    return point;
}

UChar32 folded(UChar32 point)
{
    return u_foldCase(point, U_FOLD_CASE_DEFAULT);
}

// The letter an "&" already marks; "&&" is a plain ampersand.
std::optional<UChar32> markedLetter(const std::string& caption)
{
    for (std::size_t position = 0; position < caption.size(); ++position) {
        if (caption[position] != '&' || position + 1 == caption.size()) {
            continue;
        }
        if (caption[position + 1] == '&') {
            ++position;
            continue;
        }
        std::size_t next = position + 1;
        return folded(codePointAt(caption, next));
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> withMnemonics(const std::vector<std::string>& captions)
{
    std::set<UChar32> taken;
    for (const std::string& caption : captions) {
        if (const std::optional<UChar32> letter = markedLetter(caption)) {
            taken.insert(*letter);
        }
    }
    std::vector<std::string> marked;
    marked.reserve(captions.size());
    for (const std::string& caption : captions) {
        marked.push_back(caption);
        if (caption.find('&') != std::string::npos) {
            continue;
        }
        for (std::size_t position = 0; position < caption.size();) {
            const std::size_t start = position;
            const UChar32 point = codePointAt(caption, position);
            if (point >= 0 && u_isalpha(point) && taken.insert(folded(point)).second) {
                marked.back().insert(start, 1, '&');
                break;
            }
        }
    }
    return marked;
}

} // namespace quorbit::settings
