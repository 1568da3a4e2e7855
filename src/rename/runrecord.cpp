#include "rename/runrecord.h"

#include <charconv>
#include <cstdint>

namespace quorbit {

namespace {

constexpr std::string_view kVersion = "quorbit run 1\n";
constexpr std::size_t kApplyToCount = static_cast<std::size_t>(ApplyTo::Both) + 1;
constexpr std::size_t kRenamePartCount = static_cast<std::size_t>(RenamePart::Both) + 1;

void appendField(std::string& out, std::string_view bytes)
{
    out += std::to_string(bytes.size());
    out += ':';
    out += bytes;
    out += '\n';
}

void appendNumber(std::string& out, std::size_t value)
{
    appendField(out, std::to_string(value));
}

// Reads the fields back; the journal comes from the disk, so every length
// and number is checked against what is there before it is used.
class FieldReader {
public:
    explicit FieldReader(std::string_view bytes)
        : m_rest(bytes)
    {
    }

    bool atEnd() const { return m_rest.empty(); }

    bool literal(std::string_view text)
    {
        if (!m_rest.starts_with(text)) {
            return false;
        }
        m_rest.remove_prefix(text.size());
        return true;
    }

    bool field(std::string& value)
    {
        std::size_t length = 0;
        const auto [end, error] = std::from_chars(m_rest.data(), m_rest.data() + m_rest.size(), length);
        if (error != std::errc() || end == m_rest.data()) {
            return false;
        }
        m_rest.remove_prefix(static_cast<std::size_t>(end - m_rest.data()));
        if (!literal(":") || length >= m_rest.size()) {
            return false;
        }
        value.assign(m_rest.substr(0, length));
        m_rest.remove_prefix(length);
        return literal("\n");
    }

    // A number no larger than `most`, written in decimal and nothing else.
    bool number(std::size_t& value, std::size_t most)
    {
        std::string text;
        if (!field(text) || text.empty()) {
            return false;
        }
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size() && value <= most;
    }

    template <class Enum>
    bool choice(Enum& value, std::size_t count)
    {
        std::size_t index = 0;
        if (!number(index, count - 1)) {
            return false;
        }
        value = static_cast<Enum>(index);
        return true;
    }

private:
    std::string_view m_rest;
};

bool readTemplate(FieldReader& reader, TitleTemplate& titleTemplate)
{
    std::size_t fieldCount = 0;
    if (!reader.field(titleTemplate.text) || !reader.number(fieldCount, SIZE_MAX)) {
        return false;
    }
    // A count larger than the bytes hold ends at the first field missing, having kept no more than the bytes.
    for (std::size_t i = 0; i < fieldCount; ++i) {
        if (!reader.field(titleTemplate.fields.emplace_back())) {
            return false;
        }
    }
    for (std::string& placeholder : titleTemplate.placeholders) {
        if (!reader.field(placeholder)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string encodeRunRecord(const RunRecord& record)
{
    std::string out(kVersion);
    appendNumber(out, static_cast<std::size_t>(record.settings.option));
    appendNumber(out, static_cast<std::size_t>(record.settings.applyTo));
    appendNumber(out, static_cast<std::size_t>(record.settings.renamePart));
    appendNumber(out, record.settings.subfolders ? 1 : 0);
    for (const std::string* text : {&record.settings.mask, &record.settings.symbolsText, &record.settings.replaceText,
                                    &record.settings.numberText}) {
        appendField(out, *text);
    }
    appendField(out, record.settings.random.stateText());
    appendNumber(out, record.fromTags ? 1 : 0);
    if (record.fromTags) {
        appendField(out, record.fromTags->text);
        appendNumber(out, record.fromTags->fields.size());
        for (const std::string& field : record.fromTags->fields) {
            appendField(out, field);
        }
        for (const std::string& placeholder : record.fromTags->placeholders) {
            appendField(out, placeholder);
        }
    }
    // Last and only when set, so records of runs without it read as before.
    if (!record.settings.photoTemplate.empty()) {
        appendField(out, record.settings.photoTemplate);
    }
    return out;
}

std::optional<RunRecord> decodeRunRecord(std::string_view bytes)
{
    FieldReader reader(bytes);
    RunRecord record;
    std::size_t subfolders = 0;
    std::string randomState;
    std::size_t fromTags = 0;
    if (!reader.literal(kVersion) || !reader.choice(record.settings.option, renameOptionCount)
        || !reader.choice(record.settings.applyTo, kApplyToCount)
        || !reader.choice(record.settings.renamePart, kRenamePartCount) || !reader.number(subfolders, 1)
        || !reader.field(record.settings.mask) || !reader.field(record.settings.symbolsText)
        || !reader.field(record.settings.replaceText) || !reader.field(record.settings.numberText)
        || !reader.field(randomState) || !reader.number(fromTags, 1)) {
        return std::nullopt;
    }
    record.settings.subfolders = subfolders == 1;
    const std::optional<RandomGenerator> random = RandomGenerator::fromStateText(randomState);
    if (!random) {
        return std::nullopt;
    }
    record.settings.random = *random;
    if (fromTags == 1 && !readTemplate(reader, record.fromTags.emplace())) {
        return std::nullopt;
    }
    if (!reader.atEnd() && (!reader.field(record.settings.photoTemplate) || record.settings.photoTemplate.empty())) {
        return std::nullopt;
    }
    if (!reader.atEnd()) {
        return std::nullopt;
    }
    return record;
}

} // namespace quorbit
