#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <string_view>
#include <vector>

// What the shell sees of a command: its rows and summary on stdout, as aligned
// text or as JSON lines, and its messages on stderr. Names are written as the
// bytes they are.
namespace quorbit::cli {

// How a command ends, as its exit status.
enum ExitCode : int {
    Done = 0, // everything planned was done
    NotAllDone = 1, // some entries were left as they were; they are listed
    UsageError = 2, // the command line asks for nothing the program can do
    Refused
    = 3, // nothing done: no such folder, a damaged journal, an invalid pattern or number; or the output was lost
    Interrupted = 130, // Ctrl+C stopped the command, as the shell reports a command SIGINT ended
};

struct OutputStyle {
    bool json = false; // one JSON object a line
    bool terminal = false; // stdout is a terminal: a header, and control bytes shown escaped
    bool colour = false;
};

// The style for stdout: JSON when asked, colour on a terminal unless NO_COLOR is set.
OutputStyle outputStyle(bool json);

// How a row's verdict is coloured.
enum class Tone { Good, Quiet, Warning };

// One entry of a plan or of what a command left undone.
struct Row {
    std::string name;
    std::string newName;
    std::string_view verdict;
    std::string_view reason; // empty when the verdict needs none
    Tone tone = Tone::Good;
};

// Writes the rows: aligned columns name, new name, verdict and reason, or one
// JSON object a row with name, new_name, verdict and reason. A name that is
// not valid UTF-8 goes into JSON as name_bytes (new_name_bytes), in base64.
void printRows(const OutputStyle& style, const std::vector<Row>& rows);

// A number of the summary, by its JSON key and its words in the text line.
struct Count {
    std::string_view key;
    std::string_view words;
    long long value = 0;
};

// Writes the summary: a line "3 renamed, 1 not renamed", or one JSON object
// {"summary": command, "dry_run": ..., key: value...}.
void printSummary(const OutputStyle& style, std::string_view command, bool dryRun, const std::vector<Count>& counts);

// Sets `key` of `object` to `text` when it is valid UTF-8, else sets
// key + "_bytes" to its bytes in base64: JSON holds text, and a name is never
// made lossy to fit.
void putText(nlohmann::ordered_json& object, const std::string& key, std::string_view text);

// Writes `object` as one line of JSON.
void printJson(const nlohmann::ordered_json& object);

// Writes "quorbit-cli: <message>" to stderr; the message may hold a path's bytes.
void tell(std::string_view message);

// The exit status of a command that ended with `status`: Refused when anything
// it wrote to stdout or stderr was lost (a full disk, a closed pipe end), as a
// script must not take a cut-off plan or list for the whole; said on stderr
// while stderr still takes it.
int statusAfterOutput(int status);

// `text` for a terminal: control characters and bytes that are no UTF-8 shown
// as \xNN, so a name can neither move the cursor nor hide what it holds.
std::string terminalText(std::string_view text);

} // namespace quorbit::cli
