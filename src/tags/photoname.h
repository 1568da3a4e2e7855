#pragma once

#include "tags/photodate.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorbit {

// The photo template a new user starts with: "2026-07-14 09.31.22.jpg".
inline constexpr std::string_view defaultPhotoTemplate = "%Date% %Time%";

// The camera as a name shows it: the make, then the model, with the make left
// out where the model begins with the make's first word in any letter case,
// as many makers' models repeat it ("Canon" and "Canon EOS 5D" give "Canon EOS 5D",
// "NIKON CORPORATION" and "NIKON D750" give "NIKON D750"). Either alone where
// the other is empty.
std::string cameraName(std::string_view make, std::string_view model);

// The name a photo gets: the template with each line break made one space and
// every %Date% (YYYY-MM-DD), %Time% (HH.MM.SS), %Camera% (cameraName) and
// %Original% (`originalBase`, the old name without its extension) replaced,
// then "." and `extension` with A to Z in lower case (nothing appended for an
// empty one). Values are put in as they are: a name they make invalid (with a
// "/") is refused by the run, as names from MP3 tags are. Nothing when the
// metadata has no time taken, or the name before the extension would be empty
// or blanks alone.
std::optional<std::string> PhotoDerivedName(std::string_view photoTemplate, const PhotoMetadata& metadata,
                                            std::string_view originalBase, std::string_view extension);

} // namespace quorbit
