#pragma once

#include <cstddef>
#include <cstdint>

namespace quorbit::fuzz {

// Each writes all but the first byte of `data` to a file of a temporary
// folder, with the extension the first byte picks of those the reader takes
// (so that every format is reached), and reads it with readPhotoMetadata or
// readAudioTags. Their limits are the sanitizers', libFuzzer's on memory and
// time, and for a photo: a time read is "YYYY:MM:DD HH:MM:SS", and its make
// and model have no blanks at either end (or it aborts with a message).
void fuzzPhotoBytes(const std::uint8_t* data, std::size_t size);
void fuzzAudioBytes(const std::uint8_t* data, std::size_t size);

} // namespace quorbit::fuzz
