#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorbit::text {

// Fills in an ICU message pattern whose one argument, `count`, picks the
// plural form of `locale` ("en", "ru"): "{count, plural, one {# file} other
// {# files}}". UTF-8 in and out. Nothing for an empty or broken pattern, so
// the caller can build its sentence the old way.
std::optional<std::string> formatCount(std::string_view pattern, std::string_view locale, long long count);

} // namespace quorbit::text
