#pragma once

#include <algorithm>
#include <span>
#include <string>
#include <string_view>

namespace quorbit {

// A to Z made a to z and every other byte kept: an extension compares alike
// in every locale (a Turkish one would make "TIFF" "tıff").
inline std::string asciiLower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return lower;
}

// Whether `name` is more than one of `extensions` (lower case, with the dot)
// and ends in it, in any letter case.
inline bool hasExtension(std::string_view name, std::span<const std::string_view> extensions)
{
    const std::string lower = asciiLower(name);
    return std::any_of(extensions.begin(), extensions.end(), [&](std::string_view extension) {
        return lower.size() > extension.size() && lower.ends_with(extension);
    });
}

} // namespace quorbit
