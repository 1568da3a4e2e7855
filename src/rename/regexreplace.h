#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace quorbit {

// A regular expression in ICU's syntax with the text that replaces each of its
// matches, compiled once and applied to many names. The replacement takes $n,
// ${name}, \$ and \uhhhh as ICU's appendReplacement reads them.
//
// A name that is not valid UTF-8 is matched with each stray byte as one
// character (U+DC80 + byte - 0x80, a code point no valid name holds), and
// every byte outside the matches, or inside a group the replacement copies,
// comes back as it was.
//
// Applying reads the compiled pattern only, so one object may serve any
// number of threads at once.
class RegexReplacement {
public:
    // The compiled form, or why it does not compile: ICU's error name and the
    // character where it was found, counted as ICU counts ("U_REGEX_MISMATCHED_PAREN
    // at offset 4"; "... at offset 2 of the replacement" for a replacement naming
    // a group the pattern does not have). An empty pattern compiles, and changes nothing.
    static std::variant<RegexReplacement, std::string> compile(std::string_view pattern, std::string_view replacement);

    RegexReplacement(RegexReplacement&&) noexcept;
    RegexReplacement& operator=(RegexReplacement&&) noexcept;
    ~RegexReplacement();

    // `part` with every match replaced, left to right; an empty match is
    // replaced too and the search goes on one character further, as ICU does.
    // A match that runs out of ICU's backtracking limits leaves `part` as it was.
    std::string apply(std::string_view part) const;

private:
    struct Compiled;
    explicit RegexReplacement(std::unique_ptr<Compiled> compiled);

    std::unique_ptr<Compiled> m_compiled; // none for an empty pattern
};

} // namespace quorbit
