#pragma once

#include <algorithm>
#include <cstddef>
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

// Sorts `items` into name order; nameOf gives an item's name. `pause`, when
// given, runs after every few thousand names, so a window can take its turn
// while a large folder is sorted.
template <class Item, class NameOf>
void sortByName(std::vector<Item>& items, NameOf nameOf, const std::function<void()>& pause = {})
{
    constexpr std::size_t namesBetweenPauses = 4096;
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const Item& item : items) {
        keys.push_back(collationKey(nameOf(item)));
        if (pause && keys.size() % namesBetweenPauses == 0) {
            pause();
        }
    }
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (const int byKey = keys[a].compare(keys[b]); byKey != 0) {
            return byKey < 0;
        }
        return std::string_view(nameOf(items[a])) < std::string_view(nameOf(items[b]));
    });
    std::vector<Item> sorted;
    sorted.reserve(items.size());
    for (const std::size_t index : order) {
        sorted.push_back(std::move(items[index]));
    }
    items = std::move(sorted);
}

// Re-reads the user's locale; for tests that switch locales.
void setLocale(const char* localeId);

} // namespace quorbit::text
