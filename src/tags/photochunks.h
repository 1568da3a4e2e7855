#pragma once

#include "tags/filewindow.h"

#include <cstdint>

namespace quorbit {

// Exiv2 0.27 reads some chunks of PNG, WebP and HEIF files whole, into a
// buffer of the size their header states, before it reads a byte of them: a
// large or sparse file could make it take gigabytes. These walk the chunk
// headers alone, at most 65,536 of them, and tell whether every chunk Exiv2
// would read whole holds at most `maxBytes`; false, too, when there are more
// headers than that.

// PNG: the IHDR, tEXt, zTXt, iTXt, iCCP, eXIf and IEND chunks (not the image data).
bool pngChunksFit(FileWindow& window, std::int64_t maxBytes);

// WebP: every chunk, the image's too.
bool webpChunksFit(FileWindow& window, std::int64_t maxBytes);

// HEIF (ISO base media): every box but the image data (mdat), and the Exif
// and MIME items that a meta box places in the file.
bool bmffBoxesFit(FileWindow& window, std::int64_t maxBytes);

} // namespace quorbit
