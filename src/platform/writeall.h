#pragma once

#include <string_view>

namespace quorbit::files {

// Writes all of `bytes` to the open file `descriptor`, going on after a write
// that was interrupted or took only part; false when not all could be written.
bool writeAll(int descriptor, std::string_view bytes);

} // namespace quorbit::files
