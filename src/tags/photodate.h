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
// read no further than its metadata. The time taken is the first valid one of
// DateTimeOriginal, DateTimeDigitized and the image's DateTime (a value that
// is no date, or all zeros, is passed over). Nothing when no valid time is
// there, or the file cannot be opened, has none of those extensions, is not
// an image or is damaged.
std::optional<PhotoMetadata> readPhotoMetadata(const files::Folder& folder, const std::string& name);

} // namespace quorbit
