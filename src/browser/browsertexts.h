#pragma once

#include <QString>

#include <array>
#include <initializer_list>

#include "listing/shellitems.h"

namespace quorbit {

// The words the browser's views show, set by the window from its language;
// the browser never reads a language file itself. Errors hold "%s" marks for
// the entry's name and the folder, in that order.
struct BrowserTexts {
    std::array<QString, listing::ColumnCount> columns{QStringLiteral("Name"), QStringLiteral("Size"),
                                                      QStringLiteral("Type"), QStringLiteral("Modified"),
                                                      QStringLiteral("Attributes")};
    QString open = QStringLiteral("&Open");
    QString rename = QStringLiteral("Re&name");
    QString copyPath = QStringLiteral("&Copy Path");
    QString moveToTrash = QStringLiteral("Move to &Trash");
    QString largeIcons = QStringLiteral("Lar&ge Icons");
    QString smallIcons = QStringLiteral("S&mall Icons");
    QString list = QStringLiteral("&List");
    QString details = QStringLiteral("&Details");
    QString alreadyExists = QStringLiteral("\"%s\" already exists in %s; nothing was replaced.");
    QString notMoved = QStringLiteral("\"%s\" could not be moved to %s.");
    QString folderNotCopied = QStringLiteral("\"%s\" is a folder; folders can be moved, not copied.");
    QString notCopied = QStringLiteral("\"%s\" could not be copied to %s.");
    QString invalidName = QStringLiteral("\"%s\" is not a name a file or folder can have.");
    QString notTrashed = QStringLiteral("\"%s\" could not be moved to the trash.");
    QString filesName = QStringLiteral("Files");
    QString foldersName = QStringLiteral("Folders");
    // The Type column where no registered type name is known: a folder, a
    // file with an extension (%s: the extension in capitals), one without.
    QString typeFolder = QStringLiteral("File Folder");
    QString typeFileOf = QStringLiteral("File %s");
    QString typeFile = QStringLiteral("File");
    // Beside a folder whose drive has not answered its listing for a second.
    QString notAnswering = QStringLiteral("not answering");
};

// `text` with its "%s" and "%d" marks filled in by `values`, in order.
QString fillIn(QString text, std::initializer_list<QString> values);

} // namespace quorbit
