#pragma once

#include <string>
#include <vector>

namespace quorbit::settings {

// The captions of sibling controls, each with an "&" before its first letter
// (a Unicode code point, compared case-insensitively) that no caption before it
// took. A caption that already holds an "&" stays as it is, and the letter it
// marks is taken; a caption with no free letter stays as it is.
std::vector<std::string> withMnemonics(const std::vector<std::string>& captions);

} // namespace quorbit::settings
