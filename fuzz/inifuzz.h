#pragma once

#include <cstddef>
#include <cstdint>

namespace quorbit::fuzz {

// Reads `data` as an INI file, writes keys into it (the writes come from the
// input's last bytes) and aborts with a message when a written value does not
// read back, before and after a save, or when a write changes any other line.
void fuzzIniBytes(const std::uint8_t* data, std::size_t size);

} // namespace quorbit::fuzz
