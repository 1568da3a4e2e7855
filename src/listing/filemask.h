#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorbit {

// A file-type mask text such as "*.html;*.htm", matched against file names the
// way the file list filters them: a name matches when it matches one of the
// masks as a whole, without regard to case. "*" stands for any run of
// characters; "?" for exactly one character when it opens the mask and for
// one character or none elsewhere. Every other character stands for itself.
class FileMask {
public:
    explicit FileMask(std::string_view maskText);

    bool matches(std::string_view fileName) const;

    // The mask text "*.*" exactly, which selects every file, with or without a dot.
    bool selectsEverything() const { return m_selectsEverything; }

private:
    enum class Kind { Literal, AnyRun, OneOrNone, ExactlyOne };
    struct Token {
        Kind kind;
        char32_t character;
    };
    using Pattern = std::vector<Token>;

    static bool matchesPattern(const Pattern& pattern, const std::u32string& name);

    std::vector<Pattern> m_patterns;
    bool m_selectsEverything = false;
};

} // namespace quorbit
