#pragma once

#include <QString>

class QMainWindow;

namespace quorbit {

// Gives the window's menus, menu items, push buttons, check boxes and radio
// buttons an "&" before a letter no sibling took; the menu bar's letters are
// kept from every group of controls, so Alt and a menu's letter always opens it.
void assignMnemonics(QMainWindow& window);

// `text` as shown: without the "&" that marks its mnemonic, "&&" read as "&".
QString withoutMnemonic(const QString& text);

} // namespace quorbit
