#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/filecontent.h"

// INI files: "[Section]" header lines and "key=value" lines.
namespace quorbit::settings {

// The longest value a read returns, in bytes.
inline constexpr std::size_t kMaxValueBytes = 2047;

// The largest file read, in bytes. A bigger one is no settings or language
// file, and is taken as unreadable rather than read whole into memory.
inline constexpr std::size_t kMaxFileBytes = 16 << 20;

// An INI file held in memory. Reads follow the rules that hand-written and
// older files rely on; a write changes only the line of its key (or adds one),
// so comments, other sections, unknown keys and line endings stay byte for
// byte. Section and key names are matched without regard to case, and where a
// key appears twice the first one counts, for reading and for writing.
class IniFile {
public:
    IniFile() = default;

    // The file's text. A file whose bytes outside ASCII are there but none of
    // them forms a valid UTF-8 sequence was written by an older program in
    // windows-1251, and is taken in converted to UTF-8. Any other file is
    // UTF-8, and bytes in it that are not (a folder name in an 8-bit
    // encoding) are kept as they are.
    explicit IniFile(std::string_view bytes);

    // A missing or unreadable file loads as an empty one; see loadIniFile.
    static IniFile load(const std::string& path);

    // The key's value without the blanks around it and without one pair of
    // matching double or single quotes around it, cut to kMaxValueBytes;
    // `defaultValue` when the section or the key is missing. A key with an
    // empty value gives the empty text.
    std::string readString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // The value in decimal with an optional sign, or in hexadecimal after
    // "0x"; `defaultValue` when it is missing, empty or not such a number.
    int readInteger(std::string_view section, std::string_view key, int defaultValue) const;

    // Replaces the value of the key's line, or adds a line after the last key of its
    // section, adding the section at the end of the file when it is missing.
    // A value that holds a line break is written as the empty text.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);

    // The whole file as it would be saved. A text that would read back as
    // windows-1251 (its only bytes outside ASCII are stray ones) is given a
    // UTF-8 byte-order mark, so that it reads back as it is.
    std::string bytes() const;

    // Writes the whole file through a temporary file renamed over the old
    // one, so a failure never leaves a half-written file. Returns the message
    // for the user when the file cannot be written.
    std::optional<std::string> save(const std::string& path) const;

private:
    struct Entry { // where the value lies, without the blanks around it
        std::size_t valueStart = 0;
        std::size_t valueEnd = 0;
    };
    struct Section {
        // Just after the section's last key line, or its header when it has none;
        // a comment below the last key thus stays below the keys added.
        std::size_t appendAt = 0;
    };

    void index();
    const Entry* find(std::string_view section, std::string_view key) const;
    std::string_view newline() const;

    std::string m_byteOrderMark;
    std::string m_text;
    // Keyed by the case-folded section name, and by it, a NUL and the folded key.
    std::unordered_map<std::string, Section> m_sections;
    std::unordered_map<std::string, Entry> m_entries;
};

// A file read to be changed and saved back.
struct LoadedIniFile {
    files::ReadStatus status = files::ReadStatus::Missing;
    IniFile file; // empty unless Read
};

// Reads the INI file at `path`. One that cannot be read whole or holds more
// than kMaxFileBytes is Unreadable: what it holds is unknown, so it must not be
// saved over.
LoadedIniFile loadIniFile(const std::string& path);

// The message shown when the file at `path` cannot be written.
std::string unableToWriteMessage(const std::string& path);

} // namespace quorbit::settings
