#include "mediafuzz.h"

#include "tempfolder.h"

#include "platform/files.h"
#include "tags/audiotags.h"
#include "tags/photodate.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace quorbit::fuzz {

namespace {

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "media fuzz: %s\n", what);
        std::abort();
    }
}

// The folder the inputs are written to, removed when the process ends.
const testing::TempFolder& inputFolder()
{
    static const testing::TempFolder folder;
    return folder;
}

// Writes the input to "input.<extension>" and returns that name, or an
// empty one for an empty input.
template <std::size_t count>
std::string writeInput(const std::uint8_t* data, std::size_t size,
                       const std::array<std::string_view, count>& extensions)
{
    if (size == 0) {
        return {};
    }
    const std::string name = "input." + std::string(extensions[data[0] % count]);
    testing::writeFile(inputFolder() / name, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    return name;
}

bool hasBlankAtEitherEnd(std::string_view text)
{
    return !text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t');
}

bool looksLikeExifTime(std::string_view text)
{
    static constexpr std::string_view shape = "0000:00:00 00:00:00";
    if (text.size() != shape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == '0' ? text[i] < '0' || text[i] > '9' : text[i] != shape[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

void fuzzPhotoBytes(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<std::string_view, 14> extensions
        = {"jpg", "jpeg", "tif", "tiff", "png", "webp", "heif", "heic", "cr2", "nef", "arw", "dng", "orf", "rw2"};
    const std::string name = writeInput(data, size, extensions);
    if (name.empty()) {
        return;
    }
    if (const std::optional<PhotoMetadata> read = readPhotoMetadata(files::Folder(inputFolder().path()), name)) {
        check(looksLikeExifTime(read->taken), "a time read is not YYYY:MM:DD HH:MM:SS");
        check(!hasBlankAtEitherEnd(read->make) && !hasBlankAtEitherEnd(read->model),
              "a make or model read has a blank at an end");
    }
}

void fuzzAudioBytes(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<std::string_view, 10> extensions
        = {"flac", "ogg", "oga", "opus", "m4a", "mp4", "wma", "wav", "aif", "aiff"};
    const std::string name = writeInput(data, size, extensions);
    if (!name.empty()) {
        readAudioTags(files::Folder(inputFolder().path()), name);
    }
}

} // namespace quorbit::fuzz
