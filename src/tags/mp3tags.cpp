#include "tags/mp3tags.h"

#include "platform/filecontent.h"

namespace quorbit {

namespace {

TagsRead readBoth(const files::ReadOnlyFile& file, TID3v1& id3v1, TID3v2& id3v2)
{
    TagsRead read;
    read.id3v2 = id3v2.ReadFromOpenFile(file);
    read.id3v1 = id3v1.ReadFromOpenFile(file);
    return read;
}

} // namespace

TagsRead ReadTagsFromFile(const std::string& fileName, TID3v1& id3v1, TID3v2& id3v2)
{
    return readBoth(files::ReadOnlyFile(fileName), id3v1, id3v2);
}

TagsRead ReadTagsFromFile(const files::Folder& folder, const std::string& name, TID3v1& id3v1, TID3v2& id3v2)
{
    return readBoth(files::ReadOnlyFile(folder, name), id3v1, id3v2);
}

bool SaveTagsToFile(const std::string& fileName, const TID3v1& id3v1, const TID3v2& id3v2)
{
    // One rewrite rather than a trailer written in place and then the file
    // rebuilt: a rebuild that failed after the trailer went in left a changed file.
    const files::ReadOnlyFile file(fileName);
    const std::optional<TID3v2::Replacement> replacement = id3v2.ReplacementFor(file);
    const std::optional<std::int64_t> trailerOffset = TID3v1::TrailerOffset(file);
    if (!replacement || !trailerOffset || *trailerOffset < replacement->audioStart) {
        return false;
    }
    const TID3v1::Trailer trailer = id3v1.BuildTrailer();
    return files::rebuildFile(fileName, file, replacement->tag, replacement->audioStart, *trailerOffset,
                              std::string_view(trailer.data(), trailer.size()));
}

} // namespace quorbit
