#include "cli/report.h"

#include "platform/utf8.h"

#include <nlohmann/json.hpp>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <unistd.h>

namespace quorbit::cli {

namespace {

// Longer names stick out of their column rather than push every row right.
constexpr std::size_t kWidestColumn = 40;

std::string base64(std::string_view bytes)
{
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        group |= left > 1 ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0;
        group |= left > 2 ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        out += digits[(group >> 18) & 63];
        out += digits[(group >> 12) & 63];
        out += left > 1 ? digits[(group >> 6) & 63] : '=';
        out += left > 2 ? digits[group & 63] : '=';
    }
    return out;
}

// Columns a terminal gives `text`: two for wide characters, none for combining
// marks, one for anything else, a stray byte included.
std::size_t displayWidth(std::string_view text)
{
    std::size_t width = 0;
    const auto length = static_cast<std::int32_t>(text.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(reinterpret_cast<const std::uint8_t*>(text.data()), i, length, c);
        const int eastAsian = c < 0 ? U_EA_NEUTRAL : u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
        const int category = c < 0 ? static_cast<int>(U_UNASSIGNED) : u_charType(c);
        width += category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK ? 0
            : eastAsian == U_EA_WIDE || eastAsian == U_EA_FULLWIDTH             ? 2
                                                                                : 1;
    }
    return width;
}

void write(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void writePadded(std::string_view text, std::size_t width)
{
    write(text);
    for (std::size_t shown = displayWidth(text); shown < width; ++shown) {
        std::fputc(' ', stdout);
    }
}

const char* colourOf(Tone tone)
{
    switch (tone) {
    case Tone::Good:
        return "\x1b[32m";
    case Tone::Quiet:
        return "\x1b[2m";
    case Tone::Warning:
        return "\x1b[33m";
    }
    return "";
}

} // namespace

OutputStyle outputStyle(bool json)
{
    const bool terminal = !json && isatty(STDOUT_FILENO);
    const char* noColour = std::getenv("NO_COLOR");
    return {json, terminal, terminal && (!noColour || !*noColour)};
}

std::string terminalText(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7f || !utf8::isWellFormedAt(text, i)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
            ++i;
        } else {
            const std::size_t length = utf8::charLength(text, i);
            shown.append(text.substr(i, length));
            i += length;
        }
    }
    return shown;
}

void putText(nlohmann::ordered_json& object, const std::string& key, std::string_view text)
{
    if (utf8::isValid(text)) {
        object[key] = text;
    } else {
        object[key + "_bytes"] = base64(text);
    }
}

void printJson(const nlohmann::ordered_json& object)
{
    // The texts were checked before they went in; replacing is only a guard
    // against a throw.
    const std::string line = object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    write(line);
    std::fputc('\n', stdout);
}

void printRows(const OutputStyle& style, const std::vector<Row>& rows)
{
    if (style.json) {
        for (const Row& row : rows) {
            nlohmann::ordered_json object = nlohmann::ordered_json::object();
            putText(object, "name", row.name);
            putText(object, "new_name", row.newName);
            object["verdict"] = row.verdict;
            object["reason"] = row.reason;
            printJson(object);
        }
        return;
    }
    const auto shown
        = [&style](std::string_view text) { return style.terminal ? terminalText(text) : std::string(text); };
    std::size_t nameWidth = 0;
    std::size_t newNameWidth = 0;
    std::size_t verdictWidth = 0;
    for (const Row& row : rows) {
        nameWidth = std::max(nameWidth, std::min(kWidestColumn, displayWidth(shown(row.name))));
        newNameWidth = std::max(newNameWidth, std::min(kWidestColumn, displayWidth(shown(row.newName))));
        verdictWidth = std::max(verdictWidth, row.verdict.size());
    }
    const std::string_view arrow = style.terminal ? " → " : " -> ";
    if (style.terminal && !rows.empty()) {
        write(style.colour ? "\x1b[1m" : "");
        writePadded("NAME", nameWidth);
        write("   "); // under the arrow
        writePadded("NEW NAME", newNameWidth);
        write("  ");
        writePadded("VERDICT", verdictWidth);
        write("  REASON");
        write(style.colour ? "\x1b[0m\n" : "\n");
    }
    for (const Row& row : rows) {
        writePadded(shown(row.name), nameWidth);
        write(arrow);
        writePadded(shown(row.newName), newNameWidth);
        write("  ");
        write(style.colour ? colourOf(row.tone) : "");
        if (row.reason.empty()) {
            write(row.verdict);
        } else {
            writePadded(row.verdict, verdictWidth);
            write("  ");
            write(row.reason);
        }
        write(style.colour ? "\x1b[0m\n" : "\n");
    }
}

void printSummary(const OutputStyle& style, std::string_view command, bool dryRun, const std::vector<Count>& counts)
{
    if (style.json) {
        nlohmann::ordered_json summary = {{"summary", command}, {"dry_run", dryRun}};
        for (const Count& count : counts) {
            summary[std::string(count.key)] = count.value;
        }
        printJson(summary);
        return;
    }
    std::string line;
    for (const Count& count : counts) {
        line += (line.empty() ? "" : ", ") + std::to_string(count.value) + " " + std::string(count.words);
    }
    if (dryRun) {
        line += " (nothing changed: --apply does it)";
    }
    write(line + "\n");
}

namespace {

int g_outputError = 0; // errno of the first flush of stdout that failed

// Flushes stdout, keeping why the first failed flush failed.
bool flushOutput()
{
    if (std::fflush(stdout) == 0) {
        return true;
    }
    g_outputError = g_outputError != 0 ? g_outputError : errno;
    return false;
}

} // namespace

void tell(std::string_view message)
{
    flushOutput();
    std::string line = "quorbit-cli: ";
    line.append(message).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int statusAfterOutput(int status)
{
    // Help texts come through std::cout, which writes through stdout's buffer.
    const bool outputLost = !flushOutput() || std::ferror(stdout) || !std::cout;
    if (outputLost) {
        const std::string reason = g_outputError != 0 ? std::string(": ") + std::strerror(g_outputError) : "";
        tell("the output could not be written" + reason);
    }
    return outputLost || std::fflush(stderr) != 0 || std::ferror(stderr) ? Refused : status;
}

} // namespace quorbit::cli
