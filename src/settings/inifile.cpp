#include "settings/inifile.h"

#include "platform/codepage.h"
#include "platform/filecontent.h"
#include "platform/integertext.h"
#include "platform/localetext.h"
#include "platform/utf8.h"

namespace quorbit::settings {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\v\f";

bool isBlank(char c)
{
    return kBlanks.find(c) != std::string_view::npos;
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// Where the line that holds `pos` ends; text.size() for the last line. (A plain
// loop: find_first_of calls memchr for every byte.)
std::size_t lineEndFrom(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && !isLineEnd(text[pos])) {
        ++pos;
    }
    return pos;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Names are nearly always ASCII, and a file may hold millions of them.
std::string foldedName(std::string_view name)
{
    if (!utf8::isAscii(name)) {
        return text::caseFold(name);
    }
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}

std::string entryName(std::string_view foldedSection, std::string_view key)
{
    std::string name(foldedSection);
    name.push_back('\0');
    name += foldedName(key);
    return name;
}

bool isQuoted(std::string_view value)
{
    return value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'');
}

// The text to write for `value` so that reading it back gives `value` again.
std::string storedValue(std::string_view value)
{
    // A line break would end the line and let the rest pose as lines of its
    // own; no INI line can hold such a value.
    if (lineEndFrom(value, 0) != value.size()) {
        return {};
    }
    if (!value.empty() && (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value))) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

// Whether bytes without a byte-order mark were written in windows-1251: some
// lie outside ASCII, and not one of those starts a valid UTF-8 sequence. One
// that does makes the file UTF-8, so a single stray byte (a folder name in an
// 8-bit encoding) cannot turn every other text into the wrong letters.
bool isWindows1251(std::string_view bytes)
{
    bool outsideAscii = false;
    for (std::size_t pos = 0; pos < bytes.size(); ++pos) {
        if (static_cast<unsigned char>(bytes[pos]) >= 0x80) {
            if (utf8::isWellFormedAt(bytes, pos)) {
                return false;
            }
            outsideAscii = true;
        }
    }
    return outsideAscii;
}

} // namespace

IniFile::IniFile(std::string_view bytes)
{
    if (bytes.starts_with(kByteOrderMark)) {
        m_byteOrderMark = kByteOrderMark;
        bytes.remove_prefix(kByteOrderMark.size());
        m_text = bytes;
    } else if (isWindows1251(bytes)) {
        m_text = text::fromCodePage(bytes, "windows-1251");
    } else {
        m_text = bytes;
    }
    index();
}

IniFile IniFile::load(const std::string& path)
{
    return loadIniFile(path).file;
}

LoadedIniFile loadIniFile(const std::string& path)
{
    files::WholeFile whole = files::readWholeFile(path, kMaxFileBytes);
    LoadedIniFile loaded;
    loaded.status = whole.status;
    if (whole.status == files::ReadStatus::Read) {
        loaded.file = IniFile(whole.bytes);
    }
    return loaded;
}

void IniFile::index()
{
    m_sections.clear();
    m_entries.clear();
    std::string section; // folded name of the section the lines belong to
    bool inSection = false; // false before the first header
    Section* firstOfName = nullptr; // the section's record while in its first header's lines
    std::size_t lineStart = 0;
    while (lineStart < m_text.size()) {
        const std::size_t lineEnd = lineEndFrom(m_text, lineStart);
        std::size_t next = lineEnd;
        if (next < m_text.size()) {
            next += m_text.compare(next, 2, "\r\n") == 0 ? 2 : 1;
        }
        const std::string_view line = std::string_view(m_text).substr(lineStart, lineEnd - lineStart);
        const std::string_view content = trimmed(line);
        const std::size_t close = content.starts_with('[') ? content.find(']') : std::string_view::npos;
        if (close != std::string_view::npos) {
            section = foldedName(trimmed(content.substr(1, close - 1)));
            inSection = true;
            const auto [record, isFirst] = m_sections.try_emplace(section, Section{next});
            firstOfName = isFirst ? &record->second : nullptr;
        } else if (const std::size_t equals = line.find('=');
                   inSection && equals != std::string_view::npos && !content.starts_with(';')) {
            const std::string_view key = trimmed(line.substr(0, equals));
            const std::string_view value = trimmed(line.substr(equals + 1));
            const std::size_t valueStart
                = value.empty() ? lineStart + equals + 1 : static_cast<std::size_t>(value.data() - m_text.data());
            m_entries.try_emplace(entryName(section, key), Entry{valueStart, valueStart + value.size()});
            if (firstOfName) {
                firstOfName->appendAt = next;
            }
        }
        lineStart = next;
    }
}

const IniFile::Entry* IniFile::find(std::string_view section, std::string_view key) const
{
    const auto entry = m_entries.find(entryName(foldedName(section), key));
    return entry == m_entries.end() ? nullptr : &entry->second;
}

std::string_view IniFile::newline() const
{
    const std::size_t end = lineEndFrom(m_text, 0);
    if (end == m_text.size() || m_text[end] == '\n') {
        return "\n";
    }
    return m_text.compare(end, 2, "\r\n") == 0 ? "\r\n" : "\r";
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const Entry* entry = find(section, key);
    if (!entry) {
        return std::string(defaultValue);
    }
    std::string_view value = std::string_view(m_text).substr(entry->valueStart, entry->valueEnd - entry->valueStart);
    if (isQuoted(value)) {
        value = value.substr(1, value.size() - 2);
    }
    std::size_t length = std::min(value.size(), kMaxValueBytes);
    while (!utf8::isCharBoundary(value, length)) {
        --length;
    }
    return std::string(value.substr(0, length));
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::string value = readString(section, key, "");
    const bool hexadecimal = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
    // parseInteger also takes "$" and a sign before "0x"; here only plain
    // decimal and a leading "0x" count.
    if (!hexadecimal && value.find_first_of("$xX") != std::string::npos) {
        return defaultValue;
    }
    return parseInteger(value).value_or(defaultValue);
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string stored = storedValue(value);
    if (const Entry* entry = find(section, key)) {
        m_text.replace(entry->valueStart, entry->valueEnd - entry->valueStart, stored);
    } else {
        const std::string_view lineEnd = newline();
        const auto existing = m_sections.find(foldedName(section));
        const std::size_t at = existing != m_sections.end() ? existing->second.appendAt : m_text.size();
        std::string lines;
        if (at > 0 && !isLineEnd(m_text[at - 1])) {
            lines += lineEnd;
        }
        if (existing == m_sections.end()) {
            if (!m_text.empty()) {
                lines += lineEnd; // a blank line between sections
            }
            lines += "[" + std::string(section) + "]";
            lines += lineEnd;
        }
        lines += std::string(key) + "=" + stored;
        lines += lineEnd;
        m_text.insert(at, lines);
    }
    index();
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value)
{
    writeString(section, key, std::to_string(value));
}

std::string IniFile::bytes() const
{
    if (m_byteOrderMark.empty() && isWindows1251(m_text)) {
        return std::string(kByteOrderMark) + m_text;
    }
    return m_byteOrderMark + m_text;
}

std::optional<std::string> IniFile::save(const std::string& path) const
{
    if (files::replaceFileContent(path, bytes())) {
        return std::nullopt;
    }
    return unableToWriteMessage(path);
}

std::string unableToWriteMessage(const std::string& path)
{
    return "Unable to write to " + path;
}

} // namespace quorbit::settings
