#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reading and rewriting the content of existing regular files, for the tag
// classes. Nothing here creates a user's file or replaces one with other
// content than the caller asked for; every call reports failure as a value.
namespace quorbit::files {

// A regular file opened for reading, closed with the object. Anything that is
// not a regular file (a folder, a pipe, a device) does not open.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::string& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return m_descriptor >= 0; }
    std::int64_t size() const { return m_size; }

    // Reads up to `length` bytes from `offset`; returns how many arrived
    // (fewer at the end of the file or on a read error).
    std::size_t readAt(std::int64_t offset, char* buffer, std::size_t length) const;
    bool readExactly(std::int64_t offset, char* buffer, std::size_t length) const
    {
        return readAt(offset, buffer, length) == length;
    }

private:
    int m_descriptor = -1;
    std::int64_t m_size = -1;
};

enum class ReadStatus {
    Read,
    Missing,    // nothing is there, or a link that leads nowhere
    Unreadable, // something is there that cannot be read whole: no permission, not a
                // regular file, a read error, or more than the caller's limit
};
struct WholeFile {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes; // the content when Read
};

// The whole content of the regular file `path` (the file a link points to,
// for a link), when it holds at most `maxBytes` bytes.
WholeFile readWholeFile(const std::string& path, std::size_t maxBytes);

// Adds the owner's write permission to an existing file (a no-op when it is
// already there).
bool addOwnerWrite(const std::string& path);

// Writes `bytes` at `offset` of an existing regular file; an offset at the
// end appends. A failed append is cut off again, so the file keeps its size.
bool writeAt(const std::string& path, std::int64_t offset, std::string_view bytes);

// Cuts an existing regular file to `size` bytes.
bool truncateFile(const std::string& path, std::int64_t size);

// Replaces the content of the existing regular file `path` (the file a link
// points to, for a link) with `head` followed by the file's own bytes from
// `keepFrom` to its end. The new content is written to a temporary file beside
// it, named after it with "~" appended (or "~2", "~3"... when that name is
// taken, which is never replaced), flushed to disk and renamed over the
// original in one step, with the original's permission bits and, where
// allowed, its owner. On failure the original is untouched and the temporary
// file is gone.
bool rebuildFile(const std::string& path, std::string_view head, std::int64_t keepFrom);

// Gives the file `path` (the file a link points to, for a link) exactly the
// content `content`, creating it when it is missing, through a temporary file
// renamed over it in one step as rebuildFile does: a failure or a crash never
// leaves a partly written file. An existing file keeps its permission bits;
// one its owner may not write to is refused, as is anything but a regular file.
bool replaceFileContent(const std::string& path, std::string_view content);

} // namespace quorbit::files
