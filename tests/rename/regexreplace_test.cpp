// The regular-expression operation against perl's rename, which makes the same
// substitution on the same names, and against ICU's own replaceAll; then its
// stray bytes, its errors, and runs and previews with it.

#include "rename/regexreplace.h"

#include "rename/operations.h"
#include "rename/renamerun.h"
#include "tags/mp3sample.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <unicode/regex.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include <sys/wait.h>

namespace quorbit {
namespace {

using testing::TempFolder;

// Debian's perl rename; "rename" alone may be util-linux's, which takes no expression.
const char* const perlRename = "/usr/bin/file-rename";

// What `rename -n` makes of files named `names` with the perl `expression`;
// nothing when it fails.
std::optional<std::vector<std::string>> renamedByPerl(const std::string& expression,
                                                      const std::vector<std::string>& names)
{
    TempFolder folder;
    // -u and "use utf8": names and expression are both text; -f: print every
    // new name, even one another file of the case has.
    std::vector<std::string> args
        = {"env", "-C", folder.path(), perlRename, "-n", "-f", "-u", "utf8", "use utf8; " + expression};
    for (const std::string& name : names) {
        folder.create({name});
        args.push_back(name);
    }
    FILE* pipe = popen((testing::shellCommand(args) + "2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string out;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, got);
    }
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    // "rename(old, new)" for every name that changes.
    std::vector<std::string> results = names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string head = "rename(" + names[i] + ", ";
        for (std::size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1)) {
            const std::size_t end = out.find(")\n", at + head.size());
            if ((at == 0 || out[at - 1] == '\n') && end != std::string::npos) {
                results[i] = out.substr(at + head.size(), end - at - head.size());
                break;
            }
        }
    }
    return results;
}

struct PerlCase {
    const char* label;
    const char* pattern; // ICU's
    const char* replacement; // ICU's
    const char* perl; // the same substitution for perl
    std::vector<std::string> names;
    std::vector<std::string> icuResults{}; // only where ICU and perl differ: ICU's results
};

TEST(RegexReplace, AgreesWithPerlRename)
{
    if (!std::filesystem::exists(perlRename)) {
        GTEST_SKIP() << "perl's rename is not installed (Debian package rename)";
    }
    const PerlCase cases[] = {
        {"groups swapped",
         R"(^(\w+)_(\d+)$)",
         "$2-$1",
         R"(s/^(\w+)_(\d+)$/$2-$1/g)",
         {"photo_12345", "IMG_0412", "a_b_12", "no match 1"}},
        {"anchor at the start", "^IMG", "Photo", "s/^IMG/Photo/g", {"IMG_0412", "xIMG", "IMGIMG"}},
        {"anchor at the end", "_old$", "", "s/_old$//g", {"report_old", "old_report", "a_old_old"}},
        {"alternation", "jpeg|jpg", "img", "s/jpeg|jpg/img/g", {"a jpeg b jpg", "jpgjpeg"}},
        {"alternation takes the first that matches", "a|ab", "X", "s/a|ab/X/g", {"ab", "cab"}},
        {"greedy", "a.*b", "X", "s/a.*b/X/g", {"aXbYb", "ab ab", "ba"}},
        {"lazy", "a.*?b", "X", "s/a.*?b/X/g", {"aXbYb", "ab ab", "ba"}},
        {"digits", "[0-9]+", "#", "s/[0-9]+/#/g", {"track 01 of 12", "none"}},
        {"negated class", "[^a-z]", "_", "s/[^a-z]/_/g", {"Hello World 42"}},
        {"counted repeat", R"(\d{2,3})", "N", R"(s/\d{2,3}/N/g)", {"1 12 123 1234"}},
        {"inline case flag", "(?i)img", "pic", "s/(?i)img/pic/g", {"IMG img Img"}},
        {"Cyrillic words swapped",
         R"((\w+) (\w+))",
         "$2 $1",
         R"(s/(\w+) (\w+)/$2 $1/g)",
         {"Привет мир", "ДОКУМЕНТ отчёт"}},
        {"Cyrillic without case", "(?i)привет", "Hello", "s/(?i)привет/Hello/g", {"ПРИВЕТ мир", "приВЕТ"}},
        {"Cyrillic range leaves out ё", "[а-я]+", "*", "s/[а-я]+/*/g", {"Привет мир", "отчёт"}},
        {"empty matches between characters", "x*", "-", "s/x*/-/g", {"abc", "axc"}},
        {"empty match at the start", "^", "pre_", "s/^/pre_/g", {"name"}},
        {"empty match at the end", "$", "_post", "s/$/_post/g", {"name"}},
        {"the whole match as $0 and $&", R"(\d+)", "<$0>", R"(s/\d+/<$&>/g)", {"a1b22", "none"}},
        {"named groups",
         R"((?<year>\d{4})-(?<month>\d\d))",
         "${month}.${year}",
         R"(s/(?<year>\d{4})-(?<month>\d\d)/$+{month}.$+{year}/g)",
         {"2024-05 report", "1999-12"}},
        {"escaped dollar", "cost", R"(\$5)", R"(s/cost/\$5/g)", {"cost", "costs"}},
        {"back reference", R"((\w)\1)", "$1", R"(s/(\w)\1/$1/g)", {"aabbcd", "Mississippi"}},
        {"look ahead", R"(\d(?=px))", "#", R"(s/\d(?=px)/#/g)", {"10px 20em"}},
        {"look behind", R"((?<=_)\d+)", "N", R"(s/(?<=_)\d+/N/g)", {"a_12 b13"}},
        {"word boundaries", R"(\bcat\b)", "dog", R"(s/\bcat\b/dog/g)", {"cat catalog bobcat cat"}},
        {"blanks", R"(\s+)", "_", R"(s/\s+/_/g)", {"a  b\tc", " a b "}},
        {"trim", R"(^\s+|\s+$)", "", R"(s/^\s+|\s+$//g)", {"  padded  ", "tight"}},
        {"dots", R"(\.)", "_", R"(s/\./_/g)", {"a.b.c"}},
        {"possessive gives nothing back", R"(\d++5)", "X", R"(s/\d++5/X/g)", {"12345"}},
        {"letter property", R"(\p{Lu})", "_", R"(s/\p{Lu}/_/g)", {"Hello Мир"}},
        {"group that took no part", "(a)?b", "[$1]", "s/(a)?b/[$1]/g", {"b ab"}},
        {"a character past the BMP is one", ".", "x", "s/./x/g", {"a😀b"}},
        {"brackets removed", R"([()\[\]])", "", R"(s/[()\[\]]//g)", {"song (live) [2019]"}},
        {"ten groups",
         "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)",
         "$10$1",
         "s/(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)/$10$1/g",
         {"abcdefghij"}},
        {"ICU and perl differ: $10 with nine groups is $1 and a 0 in ICU",
         "(a)(b)(c)(d)(e)(f)(g)(h)(i)",
         "$10",
         "s/(a)(b)(c)(d)(e)(f)(g)(h)(i)/$10/g",
         {"abcdefghi"},
         {"a0"}},
        {"ICU and perl differ: \\u is a code point in ICU, the next letter upper-cased in perl",
         "x",
         R"(\u0041)",
         R"(s/x/\u0041/g)",
         {"x"},
         {"A"}},
    };
    for (const PerlCase& test : cases) {
        SCOPED_TRACE(test.label);
        const Result<RegexReplacement, std::string> compiled
            = RegexReplacement::compile(test.pattern, test.replacement);
        ASSERT_TRUE(compiled) << compiled.fault();
        std::vector<std::string> results;
        for (const std::string& name : test.names) {
            results.push_back(compiled->apply(name).value_or("(too slow)"));
        }
        const std::optional<std::vector<std::string>> perl = renamedByPerl(test.perl, test.names);
        ASSERT_TRUE(perl) << test.perl;
        if (test.icuResults.empty()) {
            EXPECT_EQ(results, *perl);
        } else {
            EXPECT_EQ(results, test.icuResults);
            EXPECT_NE(results, *perl) << "the case says they differ";
        }
    }
}

// The replacement is read once for the whole run, not by ICU at every match:
// what it makes must be what ICU's own replaceAll makes.
TEST(RegexReplace, ReadsTheReplacementAsIcuDoes)
{
    const std::string pattern = R"((?<word>[a-z]+)(\d)?)";
    const char* replacements[] = {R"(\$1)",          R"(\\$1)",   R"(\u0041$2)", R"(\U0001F600)",
                                  R"(\uD83D\uDE00)", R"(\uZZ$1)", R"(\u12$1)",   R"(\u12)",
                                  R"(\U12345678$1)", R"(\u$1)",   "$0$01$12",    "${word}!",
                                  "end\\",           R"(\x$2\)",  "Ж$1ё",        ""};
    for (const char* replacement : replacements) {
        for (const std::string name : {"abc1 de", "Привет 42", "x9y8"}) {
            UErrorCode status = U_ZERO_ERROR;
            const icu::UnicodeString input = icu::UnicodeString::fromUTF8(name);
            icu::RegexMatcher matcher(icu::UnicodeString::fromUTF8(pattern), input, 0, status);
            std::string expected;
            matcher.replaceAll(icu::UnicodeString::fromUTF8(replacement), status).toUTF8String(expected);
            ASSERT_TRUE(U_SUCCESS(status)) << replacement;
            EXPECT_EQ(RegexReplace(name, pattern, replacement), expected) << replacement << " on " << name;
        }
    }
}

TEST(RegexReplace, KeepsStrayBytesWhereNothingMatched)
{
    struct Case {
        std::string name, pattern, replacement, expected;
    };
    const Case cases[] = {
        {"caf\xe9_01", R"(_(\d+))", "-$1", "caf\xe9-01"},
        {"\xff\xfe name", "x", "y", "\xff\xfe name"},
        {"\xff\xfe name", "name", "NAME", "\xff\xfe NAME"},
        {"\xe9_", "(.)_", "$1$1", "\xe9\xe9"}, // a group copies the bytes it took
        {"\xe9"
         "abc",
         "^.", "", "abc"}, // a stray byte is one character
        {"\xe2\x82", "^.", "", "\x82"}, // and so is each byte of a sequence cut short
        {"Привет\xff мир", R"(\w+)", "<$0>", "<Привет>\xff <мир>"},
        {"a\xc3", R"(\x{FFFD})", "?", "a\xc3"}, // not the replacement character either
    };
    for (const Case& test : cases) {
        EXPECT_EQ(RegexReplace(test.name, test.pattern, test.replacement), test.expected) << test.pattern;
    }
}

TEST(RegexReplace, APatternThatDoesNotCompileSaysWhy)
{
    const std::pair<const char*, const char*> patterns[] = {
        {"(abc", "U_REGEX_MISMATCHED_PAREN at offset 4"},      {"a)", "U_REGEX_MISMATCHED_PAREN at offset 2"},
        {"ab[c", "U_REGEX_MISSING_CLOSE_BRACKET at offset 4"}, {"a{2,1}", "U_REGEX_MAX_LT_MIN at offset 6"},
        {"ж(", "U_REGEX_MISMATCHED_PAREN at offset 2"}, // offsets count characters
    };
    for (const auto& [pattern, error] : patterns) {
        const Result<RegexReplacement, std::string> compiled = RegexReplacement::compile(pattern, "");
        ASSERT_FALSE(compiled) << pattern;
        EXPECT_EQ(compiled.fault(), error);
    }
    const std::pair<const char*, const char*> replacements[] = {
        {"$2", "U_INDEX_OUTOFBOUNDS_ERROR at offset 1 of the replacement"},
        {"ab$", "U_REGEX_INVALID_CAPTURE_GROUP_NAME at offset 3 of the replacement"},
        {"$x", "U_REGEX_INVALID_CAPTURE_GROUP_NAME at offset 1 of the replacement"},
        {"${nope}", "U_REGEX_INVALID_CAPTURE_GROUP_NAME at offset 1 of the replacement"},
        {"${name", "U_REGEX_INVALID_CAPTURE_GROUP_NAME at offset 1 of the replacement"},
    };
    for (const auto& [replacement, error] : replacements) {
        const Result<RegexReplacement, std::string> compiled = RegexReplacement::compile("(?<name>a)", replacement);
        ASSERT_FALSE(compiled) << replacement;
        EXPECT_EQ(compiled.fault(), error);
    }
    // An empty pattern is no error: it changes nothing, as an operation given
    // nothing to do; nor does a pattern that does not compile, where a name is
    // all there is to give back.
    EXPECT_EQ(RegexReplace("abc", "", "x"), "abc");
    EXPECT_EQ(RegexReplace("abc", "(", "x"), "abc");
    EXPECT_EQ(RegexReplace("", "x*", "-"), "-") << "an empty part has its empty match";
}

// A pattern that backtracks without end on a name gives that name up, and says
// so, rather than leave it unchanged; the names it is quick on are not held up.
TEST(RegexReplace, APatternThatTakesTooLongOnANameGivesNone)
{
    const Result<RegexReplacement, std::string> compiled = RegexReplacement::compile("^(a+)+$", "x");
    ASSERT_TRUE(compiled) << compiled.fault();
    const RegexReplacement& backtracking = *compiled;
    EXPECT_FALSE(backtracking.apply(std::string(30, 'a') + "b"));
    EXPECT_EQ(backtracking.apply("aaa"), "x");
    EXPECT_EQ(backtracking.apply("aab"), "aab") << "no match is no refusal";
    EXPECT_FALSE(RegexReplace(std::string(40, 'a') + "!", "(a|aa)+$", "x"));
}

TEST(RegexReplace, ExampleAndOptionsPanel)
{
    const RandomGenerator random;
    EXPECT_EQ(exampleName(RenameOption::RegexReplace, {R"(^(\w+?)_(\d+)$)", "$2-$1", 0}, "IMG_0412.jpg", random),
              "0412-IMG.jpg");
    EXPECT_EQ(exampleName(RenameOption::RegexReplace, {}, "IMG_0412.jpg", random), "IMG_0412.jpg");
    const OptionsPanelLayout layout = optionsPanelFor(RenameOption::RegexReplace);
    EXPECT_EQ(layout.symbolsLabelKey, "StringPattern");
    EXPECT_EQ(layout.replaceLabelKey, "StringReplaceBy");
    EXPECT_TRUE(layout.symbolsEditShown && layout.replaceShown);
    EXPECT_FALSE(layout.numberShown || needsNumber(RenameOption::RegexReplace));
}

class RegexRunTest : public ::testing::Test {
protected:
    RunSettings settings(const char* pattern, const char* replacement) const
    {
        RunSettings settings;
        settings.folder = folder.path();
        settings.option = RenameOption::RegexReplace;
        settings.symbolsText = pattern;
        settings.replaceText = replacement;
        return settings;
    }

    TempFolder folder;
    RunProgress progress;
};

TEST_F(RegexRunTest, RenamesThePartChosen)
{
    folder.create({"photo_12.jpg", "v_2.tar_3", "notes", "\xe9t\xe9_1.txt"});
    RunSettings run = settings(R"(^(.+)_(\d+)$)", "$2-$1");
    EXPECT_EQ(RenameRun().run(run, progress).renamed, 3);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"12-photo.jpg", "2-v.tar_3", "notes", "1-\xe9t\xe9.txt"}));

    run = settings("jpg", "png");
    run.renamePart = RenamePart::Extensions;
    RenameRun().run(run, progress);
    EXPECT_EQ(folder.list(), (std::set<std::string>{"12-photo.png", "2-v.tar_3", "notes", "1-\xe9t\xe9.txt"}));
}

TEST_F(RegexRunTest, ANameThePatternTakesTooLongOnKeepsItsNameAndSaysWhy)
{
    const std::string slow = std::string(30, 'a') + "b.txt";
    folder.create({slow, "aaa.txt"});
    const RunSettings run = settings("^(a+)+$", "x");
    const std::optional<RunPreview> preview = RenameRun::preview(run, {});
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->renamed, 1u);
    EXPECT_EQ(preview->notRenamed, 1u);
    for (const PlannedEntry& entry : preview->shown.entries()) {
        EXPECT_EQ(entry.verdict, entry.name == slow ? Verdict::PatternTooSlow : Verdict::Renamed) << entry.name;
    }

    const RunResult result = RenameRun().run(run, progress);
    EXPECT_EQ(folder.list(), (std::set<std::string>{slow, "x.txt"}));
    ASSERT_EQ(result.notRenamed.size(), 1u);
    EXPECT_EQ(result.notRenamed[0].reason, Verdict::PatternTooSlow);
}

TEST_F(RegexRunTest, APatternThatDoesNotCompileRenamesNothing)
{
    folder.create({"a_1.txt", "b_2.txt", "sub/c_3.txt"});
    RunSettings run = settings("(\\d+", "x");
    run.applyTo = ApplyTo::Both;
    run.subfolders = true;
    const RunResult result = RenameRun().run(run, progress);
    EXPECT_EQ(result.outcome, RunResult::Outcome::InvalidPattern);
    EXPECT_EQ(result.patternError, "U_REGEX_MISMATCHED_PAREN at offset 4");
    EXPECT_EQ(folder.list(), (std::set<std::string>{"a_1.txt", "b_2.txt", "sub"}));
    EXPECT_EQ(folder.list("sub"), (std::set<std::string>{"c_3.txt"}));

    // The preview marks every entry of the folder in view.
    const std::optional<RunPreview> preview = RenameRun::preview(run, {});
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->patternError, "U_REGEX_MISMATCHED_PAREN at offset 4");
    EXPECT_EQ(preview->renamed, 0u);
    EXPECT_EQ(preview->notRenamed, 3u);
    ASSERT_EQ(preview->shown.size(), 3u);
    for (const PlannedEntry& entry : preview->shown.entries()) {
        EXPECT_EQ(entry.verdict, Verdict::InvalidPattern) << entry.name;
        EXPECT_EQ(entry.newName, "");
    }
    EXPECT_TRUE(preview->shown.moves.empty());

    run.symbolsText = "(\\d+)";
    EXPECT_EQ(RenameRun::preview(run, {})->patternError, "");
}

} // namespace
} // namespace quorbit
