#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
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

// The order that puts `count` names into name order: their numbers, the
// first name's first; nameOf gives the name numbered i. The sort keys sit in
// one block, so a million names cost no million key strings. `pause`, when
// given, runs after every few thousand names, so a window can take its turn
// while a large folder is sorted.
template <class NameOf>
std::vector<std::uint32_t> nameOrder(std::size_t count, NameOf nameOf, const std::function<void()>& pause = {})
{
    constexpr std::size_t namesBetweenPauses = 4096;
    std::size_t bytes = 0;
    for (std::size_t index = 0; index < count; ++index) {
        bytes += std::string_view(nameOf(index)).size();
    }
    // A key runs to two or three times its name's bytes; room left unused is
    // never touched, so it costs no memory, where outgrowing the block would
    // copy it whole.
    std::string keys;
    keys.reserve(3 * bytes + 8 * count);
    std::vector<std::size_t> keyEnds;
    keyEnds.reserve(count);
    for (std::size_t index = 0; index < count; ++index) {
        keys += collationKey(nameOf(index));
        keyEnds.push_back(keys.size());
        if (pause && keyEnds.size() % namesBetweenPauses == 0) {
            pause();
        }
    }
    const auto key = [&](std::uint32_t index) {
        const std::size_t start = index == 0 ? 0 : keyEnds[index - 1];
        return std::string_view(keys).substr(start, keyEnds[index] - start);
    };
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), std::uint32_t{0});
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (const int byKey = key(a).compare(key(b)); byKey != 0) {
            return byKey < 0;
        }
        return std::string_view(nameOf(a)) < std::string_view(nameOf(b));
    });
    return order;
}

// Sorts `items` into name order; nameOf gives an item's name. `pause` as for nameOrder.
template <class Item, class NameOf>
void sortByName(std::vector<Item>& items, NameOf nameOf, const std::function<void()>& pause = {})
{
    const std::vector<std::uint32_t> order = nameOrder(
        items.size(), [&](std::size_t index) -> decltype(auto) { return nameOf(items[index]); }, pause);
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
