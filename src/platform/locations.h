#pragma once

#include <string>

// Where the program finds itself and the user's configuration.
namespace quorbit::files {

// Full path of the running executable; empty when it cannot be found out.
std::string executablePath();

// The user's configuration folder without a trailing separator:
// $XDG_CONFIG_HOME, else ~/.config; empty when neither can be found out.
std::string userConfigFolder();

// The user's folder for state kept between runs without a trailing
// separator: $XDG_STATE_HOME, else ~/.local/state; empty when neither can be found out.
std::string userStateFolder();

// Creates `folder` and any missing folder above it, open to the user alone
// (configuration, journals); true when it exists afterwards.
bool createPrivateFolder(const std::string& folder);

} // namespace quorbit::files
