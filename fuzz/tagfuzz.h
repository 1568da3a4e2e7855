#pragma once

#include <cstddef>
#include <cstdint>

namespace quorbit::fuzz {

// Reads `data` as the start of an MP3 file (ID3v2 tag) and its last 128 bytes
// as an ID3v1 trailer, edits and rebuilds both tags, and aborts with a message
// when a rebuilt tag does not read back as it should.
void fuzzTagBytes(const std::uint8_t* data, std::size_t size);

} // namespace quorbit::fuzz
