#include "browser/entrydrop.h"

#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorbit {

namespace {

std::string bytesOf(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString moveProblem(files::MoveResult result, const QString& name, const QString& folder)
{
    switch (result) {
    case files::MoveResult::Moved:
        return {};
    case files::MoveResult::TargetExists:
        return QStringLiteral("\"%1\" already exists in %2; nothing was replaced.").arg(name, folder);
    case files::MoveResult::Failed:
        break;
    }
    return QStringLiteral("\"%1\" could not be moved to %2.").arg(name, folder);
}

} // namespace

QString renameEntry(const QString& folder, const QString& name, const QString& newName)
{
    if (newName == QLatin1String(".") || newName == QLatin1String("..") || newName.contains(QLatin1Char('/'))
        || newName.contains(QChar(0))) {
        return QStringLiteral("\"%1\" is not a name a file or folder can have.").arg(newName);
    }
    const files::Folder parent(bytesOf(folder));
    const files::MoveResult result = files::moveEntry(parent, bytesOf(name), parent, bytesOf(newName));
    return result == files::MoveResult::Moved ? QString() : moveProblem(result, newName, folder);
}

QStringList dropEntries(const QList<QUrl>& urls, const QString& folder, bool copy)
{
    QStringList problems;
    const files::Folder target(bytesOf(folder));
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QFileInfo source(url.toLocalFile());
        const QString name = source.fileName();
        if (QDir(source.absolutePath()) == QDir(folder)) {
            continue; // already there
        }
        if (!copy) {
            const files::Folder from(bytesOf(source.absolutePath()));
            if (const QString problem
                = moveProblem(files::moveEntry(from, bytesOf(name), target, bytesOf(name)), name, folder);
                !problem.isEmpty()) {
                problems << problem;
            }
            continue;
        }
        const QString copyPath = QDir(folder).filePath(name);
        if (source.isDir() && !source.isSymLink()) {
            problems << QStringLiteral("\"%1\" is a folder; folders can be moved, not copied.").arg(name);
        } else if (QFileInfo::exists(copyPath) || QFileInfo(copyPath).isSymLink()) {
            problems << moveProblem(files::MoveResult::TargetExists, name, folder);
        } else if (!QFile::copy(source.absoluteFilePath(), copyPath)) {
            // QFile::copy never writes over a file that is already there.
            problems << QStringLiteral("\"%1\" could not be copied to %2.").arg(name, folder);
        }
    }
    return problems;
}

} // namespace quorbit
