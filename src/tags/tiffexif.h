#pragma once

#include "tags/filewindow.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

// The Exif values a photo's name is made of, each as the file writes it (text
// up to its first NUL, blanks kept); nothing where the file has no such entry.
struct ExifFields {
    std::optional<std::string> dateTimeOriginal; // Exif.Photo.DateTimeOriginal
    std::optional<std::string> dateTimeDigitized; // Exif.Photo.DateTimeDigitized
    std::optional<std::string> dateTime; // Exif.Image.DateTime
    std::optional<std::string> make; // Exif.Image.Make
    std::optional<std::string> model; // Exif.Image.Model
};

// Whether a file that starts with `head` is built on TIFF: TIFF itself, CR2,
// NEF, ARW and DNG ("II*\0", "MM\0*"), ORF ("IIRO", "IIRS", "MMOR", "MMSR")
// and RW2 ("IIU\0").
bool isTiffHeader(std::string_view head);

struct TiffExif {
    ExifFields fields;
    // RW2 keeps the camera's IFD0 and often its Exif data in an embedded JPEG,
    // which lies here; a length of 0 when there is none.
    std::int64_t jpegStart = 0;
    std::int64_t jpegLength = 0;
};

// The Exif values of a TIFF-based file, as Exiv2 reads them, from the few
// blocks that hold them: the header, IFD0, the Exif IFDs it points to and
// the values of their date, make and model entries (at most 64 KiB of each).
// Like Exiv2, it reads no IFD of more than 256 entries, nor one twice, and
// takes a value that does not lie wholly inside the file for empty. Nothing
// when the header is not TIFF or IFD0 lies past the end of the file.
std::optional<TiffExif> readTiffExif(FileWindow& window);

} // namespace quorbit
