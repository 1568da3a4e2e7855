#pragma once

#include "platform/background.h"
#include "platform/nameblock.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

// Locale-aware text services for the user's locale (ICU's default locale,
// taken from the environment). Bytes that are not well-formed UTF-8 pass
// through every mapping unchanged.
namespace quorbit::text {

std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);

// The first character in title case (its upper-case form for ordinary
// letters); the rest of the text is kept as it is.
std::string titleFirst(std::string_view text);

// Full case folding, for comparisons that ignore case.
std::string caseFold(std::string_view text);

// The program's one name order: the locale's collation with numbers compared
// by value ("file2" before "file10"), ties broken by byte order.
// collationKey gives a key that orders by plain byte comparison.
std::string collationKey(std::string_view name);
bool nameLess(std::string_view a, std::string_view b);

// The sort keys of the names numbered `begin` to `end`, in one block, so a
// million names cost no million key strings.
template <class NameOf>
NameBlock nameKeys(std::size_t begin, std::size_t end, NameOf& nameOf)
{
    std::size_t bytes = 0;
    for (std::size_t index = begin; index < end; ++index) {
        bytes += std::string_view(nameOf(index)).size();
    }
    // A key runs to two or three times its name's bytes.
    NameBlock keys;
    keys.reserve(end - begin, 3 * bytes + 8 * (end - begin));
    for (std::size_t index = begin; index < end; ++index) {
        keys.add(collationKey(nameOf(index)));
    }
    return keys;
}

// The order that puts `count` names into name order: their numbers, the
// first name's first; nameOf gives the name numbered i, and may be called
// from two threads at once.
template <class NameOf>
std::vector<std::uint32_t> nameOrder(std::size_t count, NameOf nameOf)
{
    // From here on, the keys of the second half are made, and that half
    // sorted, on a second thread: at a million names each half takes half a second.
    constexpr std::size_t namesForTwoThreads = 16384;
    NameBlock halves[2];
    const std::size_t half = platform::inTwoHalves(count, namesForTwoThreads,
                                                   [&](std::size_t begin, std::size_t end, bool onCallingThread) {
                                                       halves[onCallingThread ? 0 : 1] = nameKeys(begin, end, nameOf);
                                                   });
    const auto key = [&](std::uint32_t index) { return index < half ? halves[0][index] : halves[1][index - half]; };
    const auto less = [&](std::uint32_t a, std::uint32_t b) {
        if (const int byKey = key(a).compare(key(b)); byKey != 0) {
            return byKey < 0;
        }
        return std::string_view(nameOf(a)) < std::string_view(nameOf(b));
    };
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    const auto at = [&order](std::size_t position) { return order.begin() + static_cast<std::ptrdiff_t>(position); };
    platform::inTwoHalves(count, namesForTwoThreads,
                          [&](std::size_t begin, std::size_t end, bool) { std::sort(at(begin), at(end), less); });
    std::inplace_merge(order.begin(), at(half), order.end(), less);
    return order;
}

// Sorts `items` into name order; nameOf gives an item's name.
template <class Item, class NameOf>
void sortByName(std::vector<Item>& items, NameOf nameOf)
{
    const std::vector<std::uint32_t> order
        = nameOrder(items.size(), [&](std::size_t index) -> decltype(auto) { return nameOf(items[index]); });
    std::vector<Item> sorted;
    sorted.reserve(items.size());
    for (const std::uint32_t index : order) {
        sorted.push_back(std::move(items[index]));
    }
    items = std::move(sorted);
}

// Re-reads the user's locale; for tests that switch locales.
void setLocale(const char* localeId);

} // namespace quorbit::text
