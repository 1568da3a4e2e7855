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

} // namespace quorbit
