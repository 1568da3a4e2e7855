#include "rename/operations.h"

#include "platform/localetext.h"
#include "platform/utf8.h"
#include "rename/regexreplace.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace quorbit {

namespace {

std::size_t lengthOf(std::string_view part)
{
    return utf8::countChars(part);
}

// The first `count` characters of `text` (all of it when shorter).
std::string_view leftChars(std::string_view text, std::size_t count)
{
    return text.substr(0, utf8::offsetOfChar(text, count));
}

constexpr std::string_view randomAlphabet = "0123456789abcdefghijklmnopqrstuvwxyz";

} // namespace

std::string AddToLeft(std::string_view part, std::string_view symbols)
{
    std::string result(symbols);
    result.append(part);
    return result;
}

std::string AddToRight(std::string_view part, std::string_view symbols)
{
    std::string result(part);
    result.append(symbols);
    return result;
}

std::string DeleteSymbols(std::string_view part, std::string_view symbols)
{
    std::string result(part);
    for (std::size_t pos = utf8::find(result, symbols); pos != std::string::npos; pos = utf8::find(result, symbols)) {
        result.erase(pos, symbols.size());
    }
    return result;
}

std::string DeleteFromLeft(std::string_view part, int count)
{
    if (count <= 0) {
        return std::string(part);
    }
    return std::string(part.substr(utf8::offsetOfChar(part, static_cast<std::size_t>(count))));
}

std::string DeleteFromRight(std::string_view part, int count)
{
    const std::size_t length = lengthOf(part);
    if (count <= 0 || static_cast<std::size_t>(count) > length) {
        return std::string(part);
    }
    return std::string(leftChars(part, length - static_cast<std::size_t>(count)));
}

std::string ReplaceSymbols(std::string_view part, std::string_view find, std::string_view replaceBy)
{
    std::string result(part);
    // Each round searches from the start again, so a replacement that contains
    // the find text is found again; the round limit ends that.
    for (std::size_t round = lengthOf(part); round > 0; --round) {
        const std::size_t pos = utf8::find(result, find);
        if (pos == std::string::npos) {
            break;
        }
        result.replace(pos, find.size(), replaceBy);
    }
    return result;
}

std::string ReplaceFromLeft(std::string_view part, int count, std::string_view symbols)
{
    return AddToLeft(DeleteFromLeft(part, count), symbols);
}

std::string ReplaceFromRight(std::string_view part, int count, std::string_view symbols)
{
    return AddToRight(DeleteFromRight(part, count), symbols);
}

std::string ReduceTo(std::string_view part, int length)
{
    if (length <= 0) {
        return {};
    }
    return std::string(leftChars(part, static_cast<std::size_t>(length)));
}

std::string ExpandTo(std::string_view part, int length, std::string_view symbols)
{
    const std::size_t current = lengthOf(part);
    if (length <= 0 || static_cast<std::size_t>(length) <= current) {
        return std::string(part);
    }
    return AddToRight(part, leftChars(symbols, static_cast<std::size_t>(length) - current));
}

std::string UpperCaseAll(std::string_view part)
{
    return text::toUpper(part);
}

std::string UpperCaseFirst(std::string_view part)
{
    return text::titleFirst(text::toLower(part));
}

std::string UpperCaseFirstAll(std::string_view part)
{
    const std::string lowered = text::toLower(part);
    const std::string_view words = lowered;
    std::string result;
    result.reserve(lowered.size());
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = words.find(' ', start);
        result.append(text::titleFirst(words.substr(start, space - start)));
        if (space == std::string_view::npos) {
            return result;
        }
        result.push_back(' ');
        start = space + 1;
    }
}

std::string LowerCaseAll(std::string_view part)
{
    return text::toLower(part);
}

int RandomGenerator::next()
{
    m_state = m_state * 22695477u + 1u;
    return static_cast<int>((m_state >> 16) & 0x7FFF);
}

void RandomGenerator::reseed(std::uint32_t seed)
{
    m_state = seed;
    next(); // seeding draws and discards one value
}

std::string RandomGenerator::stateText() const
{
    return std::to_string(m_state);
}

std::optional<RandomGenerator> RandomGenerator::fromStateText(std::string_view text)
{
    std::uint32_t state = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), state);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    RandomGenerator generator;
    generator.m_state = state;
    return generator;
}

std::string RandomSymbols(int count, RandomGenerator& random)
{
    std::string result;
    for (int i = 0; i < count; ++i) {
        result.push_back(randomAlphabet[static_cast<std::size_t>(random.next()) % 36]);
    }
    return result;
}

std::string CounterText(int start, std::string_view prefix, std::size_t entryIndex, std::size_t entryCount)
{
    const std::string value = std::to_string(static_cast<long long>(start) + static_cast<long long>(entryIndex));
    const std::string countText = std::to_string(entryCount);
    std::string result(prefix);
    if (countText.size() > value.size() && countText.size() - value.size() <= 5) {
        result.append(countText.size() - value.size(), '0');
    }
    result.append(value);
    return result;
}

std::optional<std::string> RegexReplace(std::string_view part, std::string_view pattern, std::string_view replaceBy)
{
    const Result<RegexReplacement, std::string> compiled = RegexReplacement::compile(pattern, replaceBy);
    return compiled ? compiled->apply(part) : std::string(part);
}

std::optional<std::string> ApplyOperation(RenameOption option, std::string_view part, const OperationInputs& inputs,
                                          std::size_t entryIndex, std::size_t entryCount, RandomGenerator& random)
{
    switch (option) {
    case RenameOption::AddToLeft:
        return AddToLeft(part, inputs.symbols);
    case RenameOption::AddToRight:
        return AddToRight(part, inputs.symbols);
    case RenameOption::DeleteSymbols:
        return DeleteSymbols(part, inputs.symbols);
    case RenameOption::DeleteFromLeft:
        return DeleteFromLeft(part, inputs.number);
    case RenameOption::DeleteFromRight:
        return DeleteFromRight(part, inputs.number);
    case RenameOption::ReplaceSymbols:
        return ReplaceSymbols(part, inputs.symbols, inputs.replaceBy);
    case RenameOption::ReplaceFromLeft:
        return ReplaceFromLeft(part, inputs.number, inputs.symbols);
    case RenameOption::ReplaceFromRight:
        return ReplaceFromRight(part, inputs.number, inputs.symbols);
    case RenameOption::ReduceTo:
        return ReduceTo(part, inputs.number);
    case RenameOption::ExpandTo:
        return ExpandTo(part, inputs.number, inputs.symbols);
    case RenameOption::UpperCase:
        return UpperCaseAll(part);
    case RenameOption::UpperCaseFirst:
        return UpperCaseFirst(part);
    case RenameOption::UpperCaseFirstAll:
        return UpperCaseFirstAll(part);
    case RenameOption::LowerCase:
        return LowerCaseAll(part);
    case RenameOption::RandomSymbols:
        return RandomSymbols(inputs.number, random);
    case RenameOption::Counter:
        return CounterText(inputs.number, inputs.replaceBy, entryIndex, entryCount);
    case RenameOption::RegexReplace:
        return inputs.regex ? inputs.regex->apply(part) : RegexReplace(part, inputs.symbols, inputs.replaceBy);
    }
    return std::string(part);
}

std::optional<std::string> exampleName(RenameOption option, const OperationInputs& inputs, std::string_view sample,
                                       RandomGenerator random)
{
    const std::size_t dot = sample.rfind('.');
    const std::string_view base = sample.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : sample.substr(dot);
    std::optional<std::string> name = ApplyOperation(option, base, inputs, 0, 1, random);
    if (name) {
        name->append(extension);
    }
    return name;
}

static_assert(
    [] {
        for (std::size_t position = 0; position < operationTable.size(); ++position) {
            if (operationTable[position].option != static_cast<RenameOption>(position)) {
                return false;
            }
        }
        return true;
    }(),
    "operationRow finds a row at its option's position");

std::optional<int> leastNumber(RenameOption option)
{
    return operationRow(option).leastNumber;
}

bool needsNumber(RenameOption option)
{
    return leastNumber(option).has_value();
}

NumberCheck checkNumber(RenameOption option, std::string_view text)
{
    const std::optional<int> least = leastNumber(option);
    if (!least) {
        return {};
    }
    const std::optional<int> number = parseInteger(text);
    if (!number) {
        return {NumberCheck::Fault::NotANumber};
    }
    if (*number < *least) {
        return {NumberCheck::Fault::TooSmall, *number};
    }
    return {NumberCheck::Fault::None, *number};
}

OptionsPanelLayout optionsPanelFor(RenameOption option)
{
    const OperationRow& row = operationRow(option);
    return {.symbolsLabelKey = std::string(row.symbolsLabelKey),
            .symbolsEditShown = row.readsSymbols,
            .numberShown = row.leastNumber.has_value(),
            .replaceLabelKey = std::string(row.replaceLabelKey),
            .replaceShown = !row.replaceLabelKey.empty(),
            .spinPosition = row.initialNumber};
}

} // namespace quorbit
