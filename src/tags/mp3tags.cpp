#include "tags/mp3tags.h"

#include "platform/filecontent.h"

namespace quorbit {

TagsRead ReadTagsFromFile(const std::string& fileName, TID3v1& id3v1, TID3v2& id3v2)
{
    const files::ReadOnlyFile file(fileName);
    TagsRead read;
    read.id3v2 = id3v2.ReadFromOpenFile(file);
    read.id3v1 = id3v1.ReadFromOpenFile(file);
    return read;
}

} // namespace quorbit
