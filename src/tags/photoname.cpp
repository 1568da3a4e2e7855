#include "tags/photoname.h"

#include "platform/localetext.h"
#include "tags/extensionmatch.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorbit {

namespace {

// Every occurrence of `from` replaced, left to right, without looking again at what was put in.
void replaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t position = text.find(from); position != std::string::npos;
         position = text.find(from, position + to.size())) {
        text.replace(position, from.size(), to);
    }
}

} // namespace

std::string cameraName(std::string_view make, std::string_view model)
{
    const std::string_view makeWord = make.substr(0, make.find(' '));
    const bool modelNamesMaker = !makeWord.empty() && model.size() >= makeWord.size()
        && text::caseFold(model.substr(0, makeWord.size())) == text::caseFold(makeWord);
    if (make.empty() || modelNamesMaker) {
        return std::string(model);
    }
    return model.empty() ? std::string(make) : std::string(make) + " " + std::string(model);
}

std::optional<std::string> PhotoDerivedName(std::string_view photoTemplate, const PhotoMetadata& metadata,
                                            std::string_view originalBase, std::string_view extension)
{
    // "YYYY:MM:DD HH:MM:SS", as readPhotoMetadata gives it.
    if (metadata.taken.size() != 19) {
        return std::nullopt;
    }
    std::string date = metadata.taken.substr(0, 10);
    std::replace(date.begin(), date.end(), ':', '-');
    std::string time = metadata.taken.substr(11);
    std::replace(time.begin(), time.end(), ':', '.');
    const std::array<std::pair<std::string_view, std::string>, 4> fields = {{
        {"%Date%", date},
        {"%Time%", time},
        {"%Camera%", cameraName(metadata.make, metadata.model)},
        {"%Original%", std::string(originalBase)},
    }};
    // A name never holds a line break.
    std::string name(photoTemplate);
    replaceAll(name, "\r\n", " ");
    std::replace(name.begin(), name.end(), '\r', ' ');
    std::replace(name.begin(), name.end(), '\n', ' ');
    for (const auto& [placeholder, value] : fields) {
        replaceAll(name, placeholder, value);
    }
    if (name.find_first_not_of(" \t") == std::string::npos) {
        return std::nullopt;
    }
    return extension.empty() ? name : name + "." + asciiLower(extension);
}

} // namespace quorbit
