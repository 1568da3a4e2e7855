#pragma once

#include "platform/files.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

// When and with what a photo was taken, from its Exif data.
struct PhotoMetadata {
    std::string taken; // "YYYY:MM:DD HH:MM:SS", as Exif writes it
    std::string make; // the camera's maker, trimmed; may be empty
    std::string model; // the camera's model, trimmed; may be empty
};

// Whether the name ends in an extension whose Exif data readPhotoMetadata
// reads: JPEG (.jpg, .jpeg), TIFF (.tif, .tiff), PNG, WebP, HEIF (.heif,
// .heic) and the raw formats CR2, NEF, ARW, DNG, ORF and RW2, in any letter case.
bool hasPhotoExtension(std::string_view name);

// The Exif data of the photo `name` of `folder`, opened through the folder and
// read there, on demand, never mapped (a file another program shortens
// meanwhile just reads shorter) and never copied whole. The format is told by
// the first bytes, whatever the extension. A TIFF-based file is read by its
// IFDs alone (an RW2 file's embedded JPEG too); JPEG, PNG, WebP and HEIF by
// Exiv2, their metadata blocks and a WebP's image too, none larger than 16 MiB
// and at most 8 MiB of a JPEG and 32 MiB of the others in all. The time taken
// is the first valid one of DateTimeOriginal, DateTimeDigitized and the
// image's DateTime (a value that is no date, or all zeros, is passed over).
// Nothing when no valid time is there, or the file cannot be opened, has none
// of those extensions, is of another format, is damaged or needs more than
// those limits.
std::optional<PhotoMetadata> readPhotoMetadata(const files::Folder& folder, const std::string& name);

} // namespace quorbit
