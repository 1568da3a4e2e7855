#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

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
// A pattern that backtracks without end on a name is stopped by the clock:
// it may spend 10 ms on a name and, on the names that take it longer than
// ICU's first quantum of work (10,000 backtracking steps), 4 s in all per
// object; a run compiles its own, so these bound a whole preview or run. Once
// the 4 s are spent, every name after is refused at once, as trying each
// would cost its 10 ms again. The bound is time, so a name close to it may
// fare differently in a preview and in the run.
//
// Applying reads the compiled pattern and adds to the time spent, an atomic,
// so one object may serve any number of threads at once.
class RegexReplacement {
public:
    // The compiled form, or why it does not compile: ICU's error name and the
    // character where it was found, counted as ICU counts ("U_REGEX_MISMATCHED_PAREN
    // at offset 4"; "... at offset 2 of the replacement" for a replacement naming
    // a group the pattern does not have). An empty pattern compiles, and changes nothing.
    static Result<RegexReplacement, std::string> compile(std::string_view pattern, std::string_view replacement);

    RegexReplacement(RegexReplacement&&) noexcept;
    RegexReplacement& operator=(RegexReplacement&&) noexcept;
    ~RegexReplacement();

    // `part` with every match replaced, left to right; an empty match is
    // replaced too and the search goes on one character further, as ICU does.
    // Nothing when the pattern cannot finish on `part`: it ran out of the time
    // above or of ICU's backtracking stack.
    std::optional<std::string> apply(std::string_view part) const;

private:
    struct Compiled;
    explicit RegexReplacement(std::unique_ptr<Compiled> compiled);

    std::unique_ptr<Compiled> m_compiled; // none for an empty pattern
};

} // namespace quorbit
