// quorbit-cli: Quorbit's engine from the shell.

#include "cli/commandline.h"
#include "cli/historycommands.h"
#include "cli/renamecommands.h"
#include "cli/tagscommand.h"
#include "cli/terminalprogress.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace {

using namespace quorbit;
using namespace quorbit::cli;

constexpr const char* kDescription
    = "quorbit-cli renames the files and folders of a folder in one go, sorts them into folders named\n"
      "after their extensions, undoes and recovers runs, and reads and edits the tags of MP3 files, with\n"
      "the engine of the Quorbit window. Rename and sort only print their plan unless --apply is given.\n"
      "An applied run is journaled where the window keeps its runs, so either undoes the other's. Names\n"
      "are handled as the bytes they are.\n";

// The operations and what each reads, neighbours that read alike on one line.
std::string operationsHelp()
{
    constexpr std::size_t namesWidth = 25;
    std::string help = "Operations (--op) and what they read (a --number is 1 or more, counter's 0 or more):\n";
    for (auto row = operationTable.begin(); row != operationTable.end();) {
        const auto unlike = std::find_if(row, operationTable.end(),
                                         [row](const OperationRow& next) { return next.shellHelp != row->shellHelp; });
        std::string names;
        for (auto alike = row; alike != unlike; ++alike) {
            names += (names.empty() ? "" : ", ") + std::string(alike->shellName);
        }
        names.resize(std::max(names.size() + 2, namesWidth), ' ');
        help += "  " + names + std::string(row->shellHelp) + "\n";
        row = unlike;
    }
    return help;
}

constexpr const char* kFooter = R"(Output:
  A dry run prints a line for each entry: name, new name, verdict (rename, unchanged, keep, or for sort move) and the
  reason an entry would keep its name; then a summary line. With --subfolders the entries of the folder itself are
  listed and those of its sub-folders counted. An applied command lists the entries it left, by full path. With
  --json every line is a JSON object (name, new_name, verdict, reason; the last one the summary); a name that is
  not valid UTF-8 comes as name_bytes (new_name_bytes), in base64. Messages go to stderr.

Exit status:
  0  everything planned was done (for a dry run: would be)
  1  some entries were not renamed or moved; they are listed
  2  the command line is wrong
  3  refused, nothing done: no such folder or file, a folder that cannot be listed, a damaged journal, an invalid
     pattern or number, nothing to undo, a run another program is undoing, or a newest run that did not finish
     (recover --undo takes that one); or the output could not be written (a full disk)
  130  stopped by Ctrl+C; an applied run stops between two whole moves, and undo puts back what it did

Environment:
  XDG_STATE_HOME  runs and sorts are journaled in $XDG_STATE_HOME/quorbit (~/.local/state/quorbit), with the
                  window's
  NO_COLOR        when set and not empty, a terminal gets no colour

Examples:
  quorbit-cli rename ~/Photos --op counter --text img_ --mask '*.jpg'

  quorbit-cli rename ~/Photos --op counter --text img_ --mask '*.jpg' --apply

  quorbit-cli undo)";

// The command's full name, as a usage line opens.
std::string commandName(const CLI::App& command)
{
    return command.get_parent() ? commandName(*command.get_parent()) + " " + command.get_name() : command.get_name();
}

// Tells what is wrong with the command line, and the usage line of `command`.
int usageError(const CLI::App& command, const std::string& error)
{
    tell(error);
    const std::string usage = CLI::Formatter().make_usage(&command, commandName(command));
    std::fputs(usage.c_str(), stderr);
    return UsageError;
}

// Takes one of `names` and passes on its value, for CLI11 to read into the option's type.
template <class Value>
CLI::Validator oneOf(const std::map<std::string, Value>& names)
{
    std::string listed;
    for (const auto& [name, value] : names) {
        listed += (listed.empty() ? "" : ", ") + name;
    }
    return CLI::Validator(
        [&names, listed](std::string& input) {
            const auto found = names.find(input);
            if (found == names.end()) {
                return "'" + input + "' is none of " + listed;
            }
            input = std::to_string(static_cast<int>(found->second));
            return std::string();
        },
        "");
}

// The options that pick the entries of a rename or a sort.
void addSelection(CLI::App& command, Selection& selection)
{
    command.add_option("FOLDER", selection.folder, "the folder whose entries are taken")->required();
    command.add_option("--apply-to", selection.applyTo, "files (the default), folders or both")
        ->transform(oneOf(applyToNames()))
        ->option_text("WHAT");
    command.add_flag("--subfolders", selection.subfolders, "also the entries of every sub-folder, however deep");
    command.add_option("--mask", selection.mask,
                       "the file type mask, as the window's file type box has it: '*.jpg;*.jpeg' (*.* unless given)");
}

// The command line's arguments, last first as CLI11 takes them. CLI11 reads
// "--text=" as "--text" with its value still to come, and would take the next
// argument for it; the empty text meant goes on as an argument of its own.
std::vector<std::string> argumentsOf(int argc, char* argv[])
{
    std::vector<std::string> arguments;
    bool optionsEnded = false; // after "--" every argument is a folder or a file
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        optionsEnded = optionsEnded || argument == "--";
        if (!optionsEnded && (argument == "--text=" || argument == "--replace=")) {
            arguments.emplace_back(argument.substr(0, argument.size() - 1));
            arguments.emplace_back();
        } else {
            arguments.emplace_back(argument);
        }
    }
    std::reverse(arguments.begin(), arguments.end());
    return arguments;
}

// Reads the command line and carries out its command; returns the exit status.
int runCommandLine(int argc, char* argv[])
{
    // The words --op takes, for the bash completion. Read before CLI11 parses,
    // as a hidden option of CLI11's would leave a blank line in the help.
    if (argc == 2 && std::string_view(argv[1]) == "--list-operations") {
        for (const OperationRow& row : operationTable) {
            std::fputs((std::string(row.shellName) + "\n").c_str(), stdout);
        }
        return Done;
    }
    CLI::App app(kDescription, "quorbit-cli");
    app.set_version_flag("--version", "quorbit-cli " QUORBIT_VERSION);
    app.set_help_all_flag("--help-all", "Print the help of every command");
    app.require_subcommand(1);
    bool json = false;
    bool apply = false;

    RenameRequest rename;
    CLI::App* renaming = app.add_subcommand("rename",
                                            "Rename the entries of FOLDER with an operation, or MP3 files "
                                            "after their tags; print the plan unless --apply is given");
    addSelection(*renaming, rename.selection);
    renaming->add_option("--op", rename.option, "the operation, one of those listed below")
        ->transform(oneOf(operationNames()))
        ->option_text("NAME");
    renaming->add_option("--text", rename.text, "the operation's text (see below)");
    renaming->add_option("--replace", rename.replace,
                         "what replaces the text found (replace, regex); --replace= for none");
    renaming->add_option("--number", rename.number, "the operation's number (see below)");
    renaming->add_option("--part", rename.part, "what is renamed: names (the default), extensions or both")
        ->transform(oneOf(partNames()))
        ->option_text("PART");
    renaming->add_option("--from-tags", rename.fromTags,
                         "name MP3 files after their tags with this template of %Artist%, %Title%, %Album%, %Year% "
                         "and %Track%; other entries get the operation's names");
    renaming->add_flag("--apply", apply, "rename, journaled so that undo puts the names back");
    renaming->add_flag("--json", json, "print JSON lines");

    Selection sorting;
    CLI::App* sort = app.add_subcommand("sort",
                                        "Move the entries of FOLDER into folders named after their "
                                        "extensions (x.txt into txt/); print the plan unless --apply is given");
    addSelection(*sort, sorting);
    sort->add_flag("--apply", apply, "move, journaled so that undo puts the entries back");
    sort->add_flag("--json", json, "print JSON lines");

    bool list = false;
    int undoNumber = 1;
    CLI::App* undo = app.add_subcommand("undo",
                                        "Undo the newest rename or sort, made here or in the window; an "
                                        "entry renamed, deleted or changed since stays as it is and is listed");
    undo->add_flag("--list", list, "list the runs that can be undone, newest first and numbered");
    undo->add_option("N", undoNumber, "which run of the list: 1, the newest, as runs are undone newest first")
        ->check(CLI::PositiveNumber)
        ->excludes("--list");
    undo->add_flag("--json", json, "print JSON lines");

    std::optional<RecoveryChoice> recovery; // none: only list them
    std::optional<std::string> journal;
    CLI::App* recover = app.add_subcommand("recover",
                                           "List the runs that did not finish (the program was killed, the "
                                           "power failed), or finish, undo or leave them as they are");
    const auto choice = [&](const char* name, RecoveryChoice how, const char* help) {
        return recover->add_flag_callback(
            name, [&recovery, how] { recovery = how; }, help);
    };
    CLI::Option* finish
        = choice("--finish", RecoveryChoice::Finish, "make the moves it did not make, as it would have");
    CLI::Option* putBack = choice("--undo", RecoveryChoice::Undo, "put back what it did");
    CLI::Option* leave = choice("--leave", RecoveryChoice::Leave, "leave it as it stopped; undo can still take it");
    finish->excludes(putBack)->excludes(leave);
    putBack->excludes(leave);
    recover->add_option("JOURNAL", journal, "the one run to act on, by its journal's path or file name; else each");
    recover->add_flag("--json", json, "print JSON lines");

    std::string tagFile;
    std::vector<std::string> assignments;
    CLI::App* tags = app.add_subcommand("tags",
                                        "Print the ID3v1 and ID3v2 tags of an MP3 file, or set and save "
                                        "fields in both");
    tags->add_option("FILE", tagFile, "the MP3 file")->required();
    tags->add_option("--set", assignments,
                     "FIELD=VALUE, FIELD being title, artist, album, year, track, genre or comment; repeatable")
        ->option_text("FIELD=VALUE");
    tags->add_flag("--json", json, "print JSON");

    // Set last, as each command takes its parent's footer when it is added.
    const std::string operations = operationsHelp();
    app.footer(operations + "\n" + kFooter);
    renaming->footer(operations);

    try {
        app.parse(argumentsOf(argc, argv));
    } catch (const CLI::Success& asked) { // --help, --help-all, --version
        return app.exit(asked);
    } catch (const CLI::ParseError& error) {
        const std::vector<CLI::App*> chosen = app.get_subcommands();
        return usageError(chosen.empty() ? app : *chosen.front(), error.what());
    }

    stopOnInterrupt();
    const OutputStyle style = outputStyle(json);
    if (renaming->parsed()) {
        Result<RunSettings, std::string> settings = runSettingsFor(rename);
        if (!settings) {
            return usageError(*renaming, settings.fault());
        }
        return renameCommand(std::move(*settings), rename.fromTags, apply, style);
    }
    if (sort->parsed()) {
        return sortCommand(sorting, apply, style);
    }
    if (undo->parsed()) {
        return list ? listUndoable(style) : undoCommand(undoNumber, style);
    }
    if (recover->parsed()) {
        return recoverCommand(recovery, journal, style);
    }
    const Result<std::vector<TagEdit>, std::string> edits = tagEditsFor(assignments);
    if (!edits) {
        return usageError(*tags, edits.fault());
    }
    return tagsCommand(tagFile, *edits, style);
}

} // namespace

int main(int argc, char* argv[])
{
    return quorbit::cli::statusAfterOutput(runCommandLine(argc, argv));
}
