#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

// A text as a signed 32-bit integer, the way number boxes and tag fields are
// read: optional leading blanks and sign, then decimal digits or "$"/"0x"
// hexadecimal; nothing when it is not one.
std::optional<int> parseInteger(std::string_view text);

// The message for a number box text that parseInteger refuses.
std::string invalidIntegerMessage(std::string_view text);

} // namespace quorbit
