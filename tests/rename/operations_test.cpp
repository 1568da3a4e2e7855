#include "platform/localetext.h"
#include "platform/utf8.h"
#include "rename/operations.h"
#include "settings/inifile.h"
#include "settings/language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace quorbit {
namespace {

TEST(PositionOperations, CountAndCutAtTheEnds)
{
    EXPECT_EQ(DeleteFromLeft("abcdef", 2), "cdef");
    EXPECT_EQ(DeleteFromLeft("abc", 3), "");
    EXPECT_EQ(DeleteFromLeft("abc", 9), "");
    EXPECT_EQ(DeleteFromLeft("abc", 0), "abc");
    EXPECT_EQ(DeleteFromLeft("abc", -2), "abc");

    EXPECT_EQ(DeleteFromRight("abcdef", 2), "abcd");
    EXPECT_EQ(DeleteFromRight("abc", 3), "");
    EXPECT_EQ(DeleteFromRight("abc", 4), "abc") << "a start before the first character deletes nothing";
    EXPECT_EQ(DeleteFromRight("abc", -1), "abc");

    EXPECT_EQ(ReplaceFromLeft("abcdef", 2, "XY"), "XYcdef");
    EXPECT_EQ(ReplaceFromLeft("abc", 5, "XY"), "XY");
    EXPECT_EQ(ReplaceFromLeft("abc", 0, "XY"), "XYabc");

    EXPECT_EQ(ReplaceFromRight("abcdef", 2, "XY"), "abcdXY");
    EXPECT_EQ(ReplaceFromRight("abc", 3, "XY"), "XY");
    EXPECT_EQ(ReplaceFromRight("abc", 5, "XY"), "abcXY") << "unlike ReplaceFromLeft";
    EXPECT_EQ(ReplaceFromRight("abc", -1, "XY"), "abcXY");

    EXPECT_EQ(ReduceTo("abcdef", 3), "abc");
    EXPECT_EQ(ReduceTo("ab", 3), "ab");
    EXPECT_EQ(ReduceTo("abc", 0), "");
    EXPECT_EQ(ReduceTo("abc", -4), "");

    EXPECT_EQ(ExpandTo("abc", 8, "_"), "abc_") << "the padding text is not repeated";
    EXPECT_EQ(ExpandTo("abc", 6, "123456"), "abc123");
    EXPECT_EQ(ExpandTo("abcdefghij", 8, "_"), "abcdefghij");
    EXPECT_EQ(ExpandTo("abc", 8, ""), "abc");
}

TEST(PositionOperations, CountCodePointsNotBytes)
{
    EXPECT_EQ(DeleteFromLeft("Привет", 2), "ивет");
    EXPECT_EQ(DeleteFromRight("café", 1), "caf");
    EXPECT_EQ(ReduceTo("日本語のファイル", 3), "日本語");
    EXPECT_EQ(ExpandTo("é", 3, "ñññ"), "éññ");
    EXPECT_EQ(ReplaceFromRight("photo😀", 1, "!"), "photo!");
    EXPECT_EQ(DeleteFromRight("a😀b", 2), "a");
}

TEST(PositionOperations, StrayBytesAreSingleCharactersAndSurvive)
{
    const std::string cp1251 = "\xcf\xf0\xe8\xe2\xe5\xf2"; // "Привет" in windows-1251
    EXPECT_EQ(DeleteFromLeft(cp1251, 2), "\xe8\xe2\xe5\xf2");
    EXPECT_EQ(ReduceTo(cp1251, 1), "\xcf");
    EXPECT_EQ(ExpandTo("a\xff", 4, "xyz"), "a\xffxy");
    // A lead byte without its continuation is one character; the next byte is another.
    EXPECT_EQ(DeleteFromLeft("\xc3"
                             "A\xc3\xa9",
                             2),
              "\xc3\xa9");
    EXPECT_EQ(UpperCaseAll("\xe9t\xe9"), "\xe9T\xe9");
    EXPECT_EQ(LowerCaseAll("ABC\xff"
                           "DÉ"),
              "abc\xff"
              "dé");
    EXPECT_EQ(UpperCaseFirst("\xe9T\xc9"), "\xe9t\xc9");
}

TEST(SymbolOperations, DeleteEveryOccurrenceIncludingCreatedOnes)
{
    EXPECT_EQ(DeleteSymbols("a-b-c", "-"), "abc");
    EXPECT_EQ(DeleteSymbols("aabb", "ab"), "");
    EXPECT_EQ(DeleteSymbols("aAa", "A"), "aa") << "comparison is case-sensitive";
    EXPECT_EQ(DeleteSymbols("abc", ""), "abc");
    EXPECT_EQ(DeleteSymbols("", "a"), "");
    EXPECT_EQ(DeleteSymbols("ёлка ёж", "ё"), "лка ж");
}

TEST(SymbolOperations, ReplaceSearchesFromTheStartEachRound)
{
    EXPECT_EQ(ReplaceSymbols("a b c", " ", "_"), "a_b_c");
    EXPECT_EQ(ReplaceSymbols("aa", "a", "ab"), "abba");
    EXPECT_EQ(ReplaceSymbols("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceSymbols("Song", "s", "z"), "Song");
    EXPECT_EQ(ReplaceSymbols("x", "x", "xx"), "xx") << "one round per character of the part";
    EXPECT_EQ(ReplaceSymbols("straße", "ß", "ss"), "strasse");
}

TEST(SymbolOperations, NeverCutAMultiByteCharacter)
{
    // "é" is C3 A9; a stray A9 must not match inside it.
    EXPECT_EQ(DeleteSymbols("caf\xc3\xa9", "\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(DeleteSymbols("x\xa9"
                            "caf\xc3\xa9",
                            "\xa9"),
              "xcaf\xc3\xa9");
    EXPECT_EQ(ReplaceSymbols("\xe2\x82\xac"
                             "5",
                             "\x82", "?"),
              "\xe2\x82\xac"
              "5");
}

TEST(CaseOperations, FollowTheLocale)
{
    EXPECT_EQ(UpperCaseAll("hello World"), "HELLO WORLD");
    EXPECT_EQ(UpperCaseAll("straße"), "STRASSE");
    EXPECT_EQ(UpperCaseAll("привет мир"), "ПРИВЕТ МИР");
    EXPECT_EQ(LowerCaseAll("ÀÉÎ ЁЖ"), "àéî ёж");
    EXPECT_EQ(UpperCaseAll("photo😀"), "PHOTO😀");

    EXPECT_EQ(UpperCaseFirst("hELLO wORLD"), "Hello world");
    EXPECT_EQ(UpperCaseFirst("01 song"), "01 song");
    EXPECT_EQ(UpperCaseFirst("élan"), "Élan");
    EXPECT_EQ(UpperCaseFirst("ЮЛЯ"), "Юля");
    EXPECT_EQ(UpperCaseFirst(""), "");

    EXPECT_EQ(UpperCaseFirstAll("hello  WORLD "), "Hello  World ");
    EXPECT_EQ(UpperCaseFirstAll("my_song-live"), "My_song-live");
    EXPECT_EQ(UpperCaseFirstAll(" a b"), " A B");
    EXPECT_EQ(UpperCaseFirstAll("группа крови"), "Группа Крови");
}

TEST(CaseOperations, TurkishDottedI)
{
    text::setLocale("tr_TR");
    EXPECT_EQ(UpperCaseAll("istanbul"), "İSTANBUL");
    EXPECT_EQ(LowerCaseAll("ISPARTA"), "ısparta");
    EXPECT_EQ(UpperCaseFirst("izmir"), "İzmir");
    text::setLocale("en_US");
    EXPECT_EQ(UpperCaseAll("istanbul"), "ISTANBUL");
}

TEST(RandomSymbols, SameSequenceAfterEveryStartAndFromEveryCopy)
{
    RandomGenerator random;
    const RandomGenerator atStart = random;
    const std::string first = RandomSymbols(8, random);
    ASSERT_EQ(first.size(), 8u);
    for (const char c : first) {
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) << c;
    }
    const RandomGenerator lookAhead = random;
    const std::string second = RandomSymbols(8, random);
    EXPECT_NE(second, first);
    RandomGenerator copy = lookAhead;
    EXPECT_EQ(RandomSymbols(8, copy), second) << "a copy draws what the original draws";
    copy = atStart;
    EXPECT_EQ(RandomSymbols(8, copy), first);

    // The generator: s = s * 22695477 + 1, bits 16..30; seeding draws once.
    RandomGenerator seeded(1);
    std::uint32_t state = 1;
    state = state * 22695477u + 1u;
    for (int i = 0; i < 5; ++i) {
        state = state * 22695477u + 1u;
        EXPECT_EQ(seeded.next(), static_cast<int>((state >> 16) & 0x7FFF));
    }
    EXPECT_EQ(RandomSymbols(0, seeded), "");
    EXPECT_EQ(RandomSymbols(-3, seeded), "");
}

TEST(CounterText, PadsToTheWidthOfTheEntryCount)
{
    EXPECT_EQ(CounterText(1, "img_", 0, 12), "img_01");
    EXPECT_EQ(CounterText(1, "img_", 11, 12), "img_12");
    EXPECT_EQ(CounterText(1, "", 0, 100), "001");
    EXPECT_EQ(CounterText(1, "", 98, 100), "099");
    EXPECT_EQ(CounterText(1, "", 99, 100), "100");
    EXPECT_EQ(CounterText(1, "", 0, 9), "1");
    EXPECT_EQ(CounterText(100, "", 4, 5), "104");
    EXPECT_EQ(CounterText(1, "", 0, 100000), "000001");
    EXPECT_EQ(CounterText(1, "", 0, 1000000), "1") << "no padding beyond five zeros";
    EXPECT_EQ(CounterText(-5, "n", 0, 10), "n-5");
    EXPECT_EQ(CounterText(2147483647, "", 1, 2), "2147483648") << "no wrap-around";
}

TEST(ApplyOperation, EmptyPartAndParameterRouting)
{
    const OperationInputs inputs{"S", "R", 2};
    RandomGenerator random;
    std::set<int> nonEmpty;
    for (int option = 0; option < renameOptionCount; ++option) {
        if (!ApplyOperation(static_cast<RenameOption>(option), "", inputs, 0, 1, random)->empty()) {
            nonEmpty.insert(option);
        }
    }
    EXPECT_EQ(nonEmpty, (std::set<int>{0, 1, 6, 7, 9, 14, 15}));

    EXPECT_EQ(ApplyOperation(RenameOption::ReplaceSymbols, "aSa", inputs, 0, 1, random), "aRa");
    EXPECT_EQ(ApplyOperation(RenameOption::ReplaceFromLeft, "abc", inputs, 0, 1, random), "Sc");
    EXPECT_EQ(ApplyOperation(RenameOption::ExpandTo, "", inputs, 0, 1, random), "S");
    EXPECT_EQ(ApplyOperation(RenameOption::Counter, "old", inputs, 3, 10, random), "R05");
}

TEST(ParseInteger, AcceptsWhatTheNumberBoxMayHold)
{
    EXPECT_EQ(parseInteger("5"), 5);
    EXPECT_EQ(parseInteger("-12"), -12);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("  42"), 42);
    EXPECT_EQ(parseInteger("$1F"), 31);
    EXPECT_EQ(parseInteger("0x10"), 16);
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "   ", "abc", "1a", "12 ", "-", "$", "0x", "2147483648", "99999999999999999999"}) {
        EXPECT_FALSE(parseInteger(bad)) << bad;
    }
    EXPECT_EQ(invalidIntegerMessage("x1"), "'x1' is not a valid integer value");
}

// Lengths and counts of characters start at 1, and Counter's first number at
// 0: below them, Reduce to and Random symbols left only a hidden ".jpg".
TEST(CheckNumber, RefusesTheNumbersEachOperationCannotTake)
{
    using Fault = NumberCheck::Fault;
    struct Case {
        RenameOption option;
        const char* text;
        Fault fault;
    };
    const Case cases[] = {
        {RenameOption::DeleteFromLeft, "0", Fault::TooSmall},
        {RenameOption::DeleteFromRight, "-1", Fault::TooSmall},
        {RenameOption::ReplaceFromLeft, "0", Fault::TooSmall},
        {RenameOption::ReplaceFromRight, "-2", Fault::TooSmall},
        {RenameOption::ReduceTo, "-1", Fault::TooSmall},
        {RenameOption::ReduceTo, "0", Fault::TooSmall},
        {RenameOption::ExpandTo, "0", Fault::TooSmall},
        {RenameOption::RandomSymbols, "0", Fault::TooSmall},
        {RenameOption::RandomSymbols, "-2147483648", Fault::TooSmall},
        {RenameOption::Counter, "-1", Fault::TooSmall},
        {RenameOption::Counter, "0", Fault::None},
        {RenameOption::ReduceTo, "1", Fault::None},
        {RenameOption::RandomSymbols, "$A", Fault::None},
        {RenameOption::ReduceTo, "x", Fault::NotANumber},
        {RenameOption::Counter, "", Fault::NotANumber},
        {RenameOption::AddToLeft, "-1", Fault::None}, // it reads no number
    };
    for (const Case& test : cases) {
        EXPECT_EQ(checkNumber(test.option, test.text).fault, test.fault)
            << static_cast<int>(test.option) << " with " << test.text;
    }
    EXPECT_EQ(checkNumber(RenameOption::RandomSymbols, "$A").value, 10);
}

TEST(OptionsPanel, FollowsTheChosenOperation)
{
    const OptionsPanelLayout add = optionsPanelFor(RenameOption::AddToRight);
    EXPECT_EQ(add.symbolsLabelKey, "StringAddSymbols");
    EXPECT_TRUE(add.symbolsEditShown);
    EXPECT_FALSE(add.numberShown || add.replaceShown || add.spinPosition);

    const OptionsPanelLayout deleteLeft = optionsPanelFor(RenameOption::DeleteFromLeft);
    EXPECT_EQ(deleteLeft.symbolsLabelKey, "StringDeleteSymbols");
    EXPECT_FALSE(deleteLeft.symbolsEditShown);
    EXPECT_TRUE(deleteLeft.numberShown);

    const OptionsPanelLayout replace = optionsPanelFor(RenameOption::ReplaceSymbols);
    EXPECT_EQ(replace.symbolsLabelKey, "StringFindSymbols");
    EXPECT_EQ(replace.replaceLabelKey, "StringReplaceBy");
    EXPECT_TRUE(replace.replaceShown);

    const OptionsPanelLayout caseChange = optionsPanelFor(RenameOption::UpperCaseFirstAll);
    EXPECT_TRUE(caseChange.symbolsLabelKey.empty());
    EXPECT_FALSE(caseChange.symbolsEditShown || caseChange.numberShown || caseChange.replaceShown);

    EXPECT_EQ(optionsPanelFor(RenameOption::RandomSymbols).spinPosition, 5);
    const OptionsPanelLayout counter = optionsPanelFor(RenameOption::Counter);
    EXPECT_EQ(counter.spinPosition, 1);
    EXPECT_EQ(counter.symbolsLabelKey, "StringStartValue");
    EXPECT_EQ(counter.replaceLabelKey, "StringSymbolsBefore");
    EXPECT_FALSE(counter.symbolsEditShown);
}

// Each row as the window, the language files and the shell program read it.
TEST(OperationTable, EveryRowFitsWhereItIsRead)
{
    const settings::IniFile english = settings::IniFile::load(QUORBIT_LANGUAGE_FOLDER "English.ini");
    const settings::IniFile russian = settings::IniFile::load(QUORBIT_LANGUAGE_FOLDER "Russian.ini");
    std::set<std::string_view> shellNames;
    for (std::size_t position = 0; position < operationTable.size(); ++position) {
        const OperationRow& row = operationTable[position];
        SCOPED_TRACE(row.shellName);
        EXPECT_TRUE(shellNames.insert(row.shellName).second) << "--op tells each operation by its name";
        EXPECT_TRUE(!row.shellName.empty() && std::ranges::all_of(row.shellName, [](char c) {
            return (c >= 'a' && c <= 'z') || c == '-';
        })) << "the completion and the help take a name for one plain word";
        EXPECT_FALSE(row.shellHelp.empty());

        const settings::LanguageTarget entry = settings::languageTarget(row.captionKey);
        EXPECT_EQ(entry.control, "RadioGroupOptions");
        EXPECT_EQ(entry.item, static_cast<int>(position)) << "the caption goes to the operation's own entry";
        EXPECT_LT(settings::languageKeyIndex(row.captionKey), settings::kLanguageKeyCount);
        for (const settings::IniFile* language : {&english, &russian}) {
            EXPECT_NE(language->readString("Interface", row.captionKey, ""), "");
        }
        for (const std::string_view label : {row.symbolsLabelKey, row.replaceLabelKey}) {
            EXPECT_TRUE(label.empty() || settings::languageKeyIndex(label) < settings::kLanguageKeyCount) << label;
        }
        EXPECT_TRUE(row.symbolsLabelKey.empty() || row.readsSymbols || row.leastNumber)
            << "the label stands beside a box that is shown";

        if (row.initialNumber) {
            EXPECT_TRUE(row.leastNumber && *row.initialNumber >= *row.leastNumber)
                << "the number box starts at a number the operation takes";
        }
    }
}

// Names mixing well-formed UTF-8 with stray bytes, as found on old disks.
std::vector<std::string> mixedNames()
{
    const std::string pieces[]
        = {"a", "Z", " ", ".", "é", "Ж", "ß", "😀", "\xff", "\xc3", "\xa9", "\xe2\x82", "\xed\xa0\x80"};
    std::vector<std::string> names;
    std::uint32_t state = 7;
    for (int i = 0; i < 2000; ++i) {
        std::string name;
        const int length = i % 9;
        for (int j = 0; j < length; ++j) {
            state = state * 1103515245u + 12345u;
            name += pieces[(state >> 16) % std::size(pieces)];
        }
        names.push_back(name);
    }
    return names;
}

TEST(OperationsOnMixedNames, KeepEveryByteWherePositionsCut)
{
    for (const std::string& name : mixedNames()) {
        const int length = static_cast<int>(utf8::countChars(name));
        for (int count = 0; count <= length + 1; ++count) {
            ASSERT_EQ(ReduceTo(name, count) + DeleteFromLeft(name, count), name);
            if (count <= length) {
                ASSERT_EQ(DeleteFromRight(name, count) + name.substr(DeleteFromRight(name, count).size()), name);
                ASSERT_EQ(utf8::countChars(DeleteFromRight(name, count)), static_cast<std::size_t>(length - count));
            }
        }
        ASSERT_EQ(DeleteSymbols(name, "é").find("é"), std::string::npos) << name;
        const std::string upper = UpperCaseAll(name);
        ASSERT_EQ(std::count(upper.begin(), upper.end(), '\xff'), std::count(name.begin(), name.end(), '\xff'));
        const std::string titled = UpperCaseFirstAll(name);
        ASSERT_EQ(std::count(titled.begin(), titled.end(), ' '), std::count(name.begin(), name.end(), ' '));
        ASSERT_EQ(LowerCaseAll(LowerCaseAll(name)), LowerCaseAll(name));
    }
}

TEST(ExampleName, ShowsWhatTheOperationMakesOfTheSample)
{
    const RandomGenerator random;
    EXPECT_EQ(exampleName(RenameOption::LowerCase, {}, "IMG_0412.jpg", random), "img_0412.jpg");
    EXPECT_EQ(exampleName(RenameOption::AddToLeft, {"2024 ", "", 0}, "IMG_0412.jpg", random), "2024 IMG_0412.jpg");
    EXPECT_EQ(exampleName(RenameOption::Counter, {"", "photo", 7}, "IMG_0412.jpg", random), "photo7.jpg");
    EXPECT_EQ(exampleName(RenameOption::UpperCase, {}, "readme", random), "README");
    // The example draws from a copy: the same generator gives the same example.
    EXPECT_EQ(exampleName(RenameOption::RandomSymbols, {"", "", 4}, "a.txt", random),
              exampleName(RenameOption::RandomSymbols, {"", "", 4}, "a.txt", random));
}

} // namespace
} // namespace quorbit
