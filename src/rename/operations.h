#pragma once

#include "platform/integertext.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The seventeen name operations. Each computes a new name part from an old one;
// positions and lengths count characters (Unicode code points, a stray byte
// being one character), and text comparisons are exact.
namespace quorbit {

enum class RenameOption {
    AddToLeft,
    AddToRight,
    DeleteSymbols,
    DeleteFromLeft,
    DeleteFromRight,
    ReplaceSymbols,
    ReplaceFromLeft,
    ReplaceFromRight,
    ReduceTo,
    ExpandTo,
    UpperCase,
    UpperCaseFirst,
    UpperCaseFirstAll,
    LowerCase,
    RandomSymbols,
    Counter,
    RegexReplace,
};

// What the window, the shell program, its help and its completion know of an
// operation. A new operation is a value of RenameOption, its row in
// operationTable, its case in ApplyOperation and its caption in each language
// file, under a key that LanguageKeys lists.
struct OperationRow {
    RenameOption option{};
    std::string_view shellName{}; // the word --op takes
    std::string_view captionKey{}; // the language key of the operation's entry in the window's list
    // The options panel's label: beside the text box when the operation reads
    // text, else beside the number box; empty for none.
    std::string_view symbolsLabelKey{};
    bool readsSymbols = false;
    // The label of the second text box; empty when the operation reads no second text.
    std::string_view replaceLabelKey{};
    // The least number the number box may hold; none when it reads no number.
    std::optional<int> leastNumber{};
    // What the number box is set to when the operation is chosen; when none,
    // the box keeps the number it holds.
    std::optional<int> initialNumber{};
    // The help's words for what the shell program's options mean to it;
    // neighbours with the same words share a line.
    std::string_view shellHelp{};
};

// One row per operation, in the order of RenameOption.
inline constexpr auto operationTable = std::to_array<OperationRow>({
    {.option = RenameOption::AddToLeft,
     .shellName = "add-left",
     .captionKey = "RadioGroupOptions->Items->Strings[0]",
     .symbolsLabelKey = "StringAddSymbols",
     .readsSymbols = true,
     .shellHelp = "--text: the text added before or after the name"},
    {.option = RenameOption::AddToRight,
     .shellName = "add-right",
     .captionKey = "RadioGroupOptions->Items->Strings[1]",
     .symbolsLabelKey = "StringAddSymbols",
     .readsSymbols = true,
     .shellHelp = "--text: the text added before or after the name"},
    {.option = RenameOption::DeleteSymbols,
     .shellName = "delete",
     .captionKey = "RadioGroupOptions->Items->Strings[2]",
     .symbolsLabelKey = "StringDeleteSymbols",
     .readsSymbols = true,
     .shellHelp = "--text: the text deleted wherever it occurs"},
    // Counts and lengths start at 1: none of 0 or below does what the
    // operation's name says, and Reduce to and Random symbols would leave only
    // the extension, as a hidden name.
    {.option = RenameOption::DeleteFromLeft,
     .shellName = "delete-left",
     .captionKey = "RadioGroupOptions->Items->Strings[3]",
     .symbolsLabelKey = "StringDeleteSymbols",
     .leastNumber = 1,
     .shellHelp = "--number: how many characters are deleted"},
    {.option = RenameOption::DeleteFromRight,
     .shellName = "delete-right",
     .captionKey = "RadioGroupOptions->Items->Strings[4]",
     .symbolsLabelKey = "StringDeleteSymbols",
     .leastNumber = 1,
     .shellHelp = "--number: how many characters are deleted"},
    {.option = RenameOption::ReplaceSymbols,
     .shellName = "replace",
     .captionKey = "RadioGroupOptions->Items->Strings[5]",
     .symbolsLabelKey = "StringFindSymbols",
     .readsSymbols = true,
     .replaceLabelKey = "StringReplaceBy",
     .shellHelp = "--text: the text found; --replace: what replaces it"},
    {.option = RenameOption::ReplaceFromLeft,
     .shellName = "replace-left",
     .captionKey = "RadioGroupOptions->Items->Strings[6]",
     .symbolsLabelKey = "StringReplaceBy",
     .readsSymbols = true,
     .leastNumber = 1,
     .shellHelp = "--number: how many characters; --text: what replaces them"},
    {.option = RenameOption::ReplaceFromRight,
     .shellName = "replace-right",
     .captionKey = "RadioGroupOptions->Items->Strings[7]",
     .symbolsLabelKey = "StringReplaceBy",
     .readsSymbols = true,
     .leastNumber = 1,
     .shellHelp = "--number: how many characters; --text: what replaces them"},
    {.option = RenameOption::ReduceTo,
     .shellName = "reduce",
     .captionKey = "RadioGroupOptions->Items->Strings[8]",
     .symbolsLabelKey = "StringSymbols",
     .leastNumber = 1,
     .shellHelp = "--number: the length the name is cut to"},
    {.option = RenameOption::ExpandTo,
     .shellName = "expand",
     .captionKey = "RadioGroupOptions->Items->Strings[9]",
     .symbolsLabelKey = "StringSymbols",
     .readsSymbols = true,
     .leastNumber = 1,
     .shellHelp = "--number: the length the name is padded to; --text: the characters it is padded with"},
    {.option = RenameOption::UpperCase,
     .shellName = "upper",
     .captionKey = "RadioGroupOptions->Items->Strings[10]",
     .shellHelp = "nothing"},
    {.option = RenameOption::UpperCaseFirst,
     .shellName = "upper-first",
     .captionKey = "RadioGroupOptions->Items->Strings[11]",
     .shellHelp = "nothing"},
    {.option = RenameOption::UpperCaseFirstAll,
     .shellName = "upper-first-all",
     .captionKey = "RadioGroupOptions->Items->Strings[12]",
     .shellHelp = "nothing"},
    {.option = RenameOption::LowerCase,
     .shellName = "lower",
     .captionKey = "RadioGroupOptions->Items->Strings[13]",
     .shellHelp = "nothing"},
    {.option = RenameOption::RandomSymbols,
     .shellName = "random",
     .captionKey = "RadioGroupOptions->Items->Strings[14]",
     .symbolsLabelKey = "StringSymbols",
     .leastNumber = 1,
     .initialNumber = 5,
     .shellHelp = "--number: how many random characters (5 unless given)"},
    // Counting may start at 0; below it, names would hold a minus sign.
    {.option = RenameOption::Counter,
     .shellName = "counter",
     .captionKey = "RadioGroupOptions->Items->Strings[15]",
     .symbolsLabelKey = "StringStartValue",
     .replaceLabelKey = "StringSymbolsBefore",
     .leastNumber = 0,
     .initialNumber = 1,
     .shellHelp = "--number: the first number (1 unless given); --text: the text before it"},
    {.option = RenameOption::RegexReplace,
     .shellName = "regex",
     .captionKey = "RadioGroupOptions->Items->Strings[16]",
     .symbolsLabelKey = "StringPattern",
     .readsSymbols = true,
     .replaceLabelKey = "StringReplaceBy",
     .shellHelp = "--text: an ICU regular expression; --replace: what replaces each match ($1 for a group)"},
});
inline constexpr int renameOptionCount = static_cast<int>(operationTable.size());

// The row of `option`, which is one of RenameOption's values.
constexpr const OperationRow& operationRow(RenameOption option)
{
    return operationTable[static_cast<std::size_t>(option)];
}

std::string AddToLeft(std::string_view part, std::string_view symbols);
std::string AddToRight(std::string_view part, std::string_view symbols);
// Removes every occurrence of `symbols`, also those that a removal creates.
std::string DeleteSymbols(std::string_view part, std::string_view symbols);
std::string DeleteFromLeft(std::string_view part, int count);
std::string DeleteFromRight(std::string_view part, int count);
// Replaces the leftmost occurrence of `find` once per character of the part,
// searching from the start each time.
std::string ReplaceSymbols(std::string_view part, std::string_view find, std::string_view replaceBy);
std::string ReplaceFromLeft(std::string_view part, int count, std::string_view symbols);
std::string ReplaceFromRight(std::string_view part, int count, std::string_view symbols);
std::string ReduceTo(std::string_view part, int length);
// Pads with the first characters of `symbols` up to `length`; `symbols` is not repeated.
std::string ExpandTo(std::string_view part, int length, std::string_view symbols);
std::string UpperCaseAll(std::string_view part);
std::string UpperCaseFirst(std::string_view part);
// UpperCaseFirst for every space-separated word; the spacing is kept exactly.
std::string UpperCaseFirstAll(std::string_view part);
std::string LowerCaseAll(std::string_view part);
class RandomGenerator;
// `count` characters of digits and lower-case letters drawn from `random`.
std::string RandomSymbols(int count, RandomGenerator& random);
// `prefix` and start + entryIndex, padded with zeros to the width of entryCount.
std::string CounterText(int start, std::string_view prefix, std::size_t entryIndex, std::size_t entryCount);
// Every match of the ICU regular expression `pattern` replaced by `replaceBy`,
// as RegexReplacement does, nothing when the pattern takes too long on `part`;
// an empty pattern, or one that does not compile, changes nothing. Compiles on
// every call: a run compiles once, into OperationInputs::regex.
std::optional<std::string> RegexReplace(std::string_view part, std::string_view pattern, std::string_view replaceBy);

// A linear congruential generator. The window and the shell program each keep
// one, seeded with 1 at start, so every program start yields the same random
// names. It is a plain value: a look ahead draws from a copy, and a run hands
// back where its copy stopped.
class RandomGenerator {
public:
    explicit RandomGenerator(std::uint32_t seed = 1) { reseed(seed); }

    // The next value, 0..32767.
    int next();
    void reseed(std::uint32_t seed); // as at program start when 1

    // The state as text, kept so a run can go on drawing where it stopped, and
    // a generator at the state such a text tells; nothing for any other text.
    std::string stateText() const;
    static std::optional<RandomGenerator> fromStateText(std::string_view text);

private:
    std::uint32_t m_state = 0;
};

class RegexReplacement;

// What an operation reads from the options panel. `number` is the number box's
// value, already checked with checkNumber.
struct OperationInputs {
    std::string symbols;
    std::string replaceBy;
    int number = 0;
    // For RegexReplace: `symbols` and `replaceBy` compiled, so that a run
    // compiles them once; when none, every name compiles them anew.
    std::shared_ptr<const RegexReplacement> regex{};
};

// Runs operation `option` on `part`. entryIndex is the entry's 0-based position
// in its folder's list of entries to rename, and entryCount that list's length;
// random names are drawn from `random`. Nothing when the regular expression
// takes too long on `part`.
std::optional<std::string> ApplyOperation(RenameOption option, std::string_view part, const OperationInputs& inputs,
                                          std::size_t entryIndex, std::size_t entryCount, RandomGenerator& random);

// The least number `option` reads from the number box; nothing when it reads
// no number.
std::optional<int> leastNumber(RenameOption option);
bool needsNumber(RenameOption option);

// The number box's text as operation `option` reads it: its value, or why the
// run refuses it. An operation that reads no number takes any text, as 0.
struct [[nodiscard]] NumberCheck {
    enum class Fault : std::uint8_t {
        None,
        NotANumber, // parseInteger does not read it
        TooSmall, // below leastNumber
    };
    Fault fault = Fault::None;
    int value = 0;
    explicit operator bool() const { return fault == Fault::None; }
};
NumberCheck checkNumber(RenameOption option, std::string_view text);

// What `option` makes of the name part of `sample` (before its last dot), as
// the only entry of its folder; the generator is a copy, so showing an example
// draws nothing from the program's own. Nothing where ApplyOperation gives nothing.
std::optional<std::string> exampleName(RenameOption option, const OperationInputs& inputs, std::string_view sample,
                                       RandomGenerator random);

// How the options panel looks for an operation. Label texts are language keys;
// an empty key hides the label.
struct OptionsPanelLayout {
    std::string symbolsLabelKey;
    bool symbolsEditShown = false;
    bool numberShown = false;
    std::string replaceLabelKey;
    bool replaceShown = false;
    std::optional<int> spinPosition; // set the number box to this value
};

OptionsPanelLayout optionsPanelFor(RenameOption option);

} // namespace quorbit
