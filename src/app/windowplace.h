#pragma once

#include "settings/settingsfile.h"

#include <QMainWindow>

#include <optional>

// Where the window opens and how its panes share it: the place and pane sizes
// the settings file keeps, or a fresh place centred on the screen.
namespace quorbit {

// Puts `window` at its `stored` place and pane sizes while enough of that
// place shows on a screen to grab it; otherwise at its first size, fitted to
// the screen and centred, the panes shared out as at a first start.
void restoreWindowPlace(QMainWindow& window, const std::optional<settings::WindowGeometry>& stored);

// The window's normal place and pane sizes as the settings file keeps them:
// a maximised window comes back maximised over its old place; a hidden tag
// panel's size is not kept.
settings::WindowGeometry windowPlace(const QMainWindow& window);

} // namespace quorbit
