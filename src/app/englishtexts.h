#pragma once

#include "settings/language.h"

namespace quorbit {

// The texts of language/English.ini, built into the program at build time:
// what the window shows when no language file can be read.
const settings::InterfaceTexts& englishTexts();

} // namespace quorbit
