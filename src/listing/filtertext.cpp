#include "listing/filtertext.h"

namespace quorbit::listing {

std::vector<FilterEntry> parseFilter(std::string_view filter)
{
    std::vector<FilterEntry> entries;
    std::string_view rest = filter;
    for (std::size_t bar = rest.find('|'); bar != std::string_view::npos; bar = rest.find('|')) {
        FilterEntry entry;
        entry.description = rest.substr(0, bar);
        rest.remove_prefix(bar + 1);
        const std::size_t maskEnd = rest.find('|');
        if (maskEnd == std::string_view::npos) {
            entry.maskText = rest;
            rest = {};
        } else {
            entry.maskText = rest.substr(0, maskEnd);
            rest.remove_prefix(maskEnd + 1);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace quorbit::listing
