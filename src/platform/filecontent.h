#pragma once

#include "platform/files.h"

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
    // The file `name` of `folder`, opened through the folder itself.
    ReadOnlyFile(const Folder& folder, const std::string& name);
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

protected:
    ReadOnlyFile() = default;
    ReadOnlyFile(int folder, const std::string& path);

    int m_descriptor = -1;
    std::int64_t m_size = -1;

    friend bool rebuildFile(const std::string& path, const ReadOnlyFile& file, std::string_view head,
                            std::int64_t keepFrom, std::int64_t keepTo, std::string_view tail);
    friend CopyResult copyFile(const Folder&, const std::string&, const Folder&, const std::string&);
};

// A regular file opened for reading and for writing in place, for the ID3v1
// trailer. Opening gives the owner write permission when it is missing, as a
// saved tag file always is writable by its owner; when the object ends
// without a successful `close`, the permission bits are put back as they were.
class InPlaceFile : public ReadOnlyFile {
public:
    explicit InPlaceFile(const std::string& path);
    ~InPlaceFile();

    // Writes `bytes` at `offset`; an offset at the end appends. A failed
    // append is cut off again, so the file keeps its size.
    bool writeAt(std::int64_t offset, std::string_view bytes);
    // Cuts the file to `size` bytes, which must not be more than it has.
    bool truncate(std::int64_t size);
    // Closes the file; true when every write and the close succeeded.
    bool close();

private:
    unsigned m_originalMode = 0;
    bool m_modeChanged = false;
    bool m_failed = false;
};

// How a whole-file read went. Missing: nothing is there, or a link that leads
// nowhere. Unreadable: something is there that cannot be read whole (no
// permission, not a regular file, a read error, or more than the caller's limit).
enum class ReadStatus { Read, Missing, Unreadable };
struct WholeFile {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes; // the content when Read
};

// The whole content of the regular file `path` (the file a link points to,
// for a link), when it holds at most `maxBytes` bytes.
WholeFile readWholeFile(const std::string& path, std::size_t maxBytes);

// Replaces the content of the regular file `path` (the file a link points
// to, for a link) with `head`, the bytes of `file`, opened from `path`, from
// `keepFrom` to `keepTo` (its end when -1), and `tail`; so what is kept is
// what was read. The new
// content is written to a temporary file beside it, flushed to disk, named
// after it with "~" appended (or "~2", "~3"... when that name is taken, which
// is never replaced) and renamed over the original in one step. Where the file
// system and /proc allow, it has no name at all until just before the rename,
// so a process killed while writing it leaves nothing behind; a whole copy
// that a save killed just before the rename left under one of those names is
// removed by the next save that writes exactly its content. The
// new file has the original's owner, where allowed, and permission bits,
// with the owner's write permission added; the owner must already have it or
// be this process; on a drive that keeps no owners or permission bits (FAT
// through FUSE) the new file has the drive's. Refused when `path` no longer
// names the open file. On failure the original is untouched and the
// temporary file is gone.
bool rebuildFile(const std::string& path, const ReadOnlyFile& file, std::string_view head, std::int64_t keepFrom,
                 std::int64_t keepTo = -1, std::string_view tail = {});

// Gives the file `path` (the file a link points to, for a link) exactly the
// content `content`, creating it when it is missing (also where a link leads
// to nothing yet, so the link stays a link), through a temporary file
// renamed over it in one step as rebuildFile does: a failure or a crash never
// leaves a partly written file. An existing file keeps its permission bits;
// one its owner may not write to is refused, as is anything but a regular file.
bool replaceFileContent(const std::string& path, std::string_view content);

} // namespace quorbit::files
