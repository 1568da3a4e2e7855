#include "browser/entrydrop.h"

#include "browser/bytepaths.h"
#include "platform/files.h"

namespace quorbit {

namespace {

QString moveProblem(files::MoveResult result, const std::string& name, const std::string& folder)
{
    switch (result) {
    case files::MoveResult::Moved:
        return {};
    case files::MoveResult::TargetExists:
        return QStringLiteral("\"%1\" already exists in %2; nothing was replaced.")
            .arg(displayText(name), displayText(folder));
    case files::MoveResult::Failed:
        break;
    }
    return QStringLiteral("\"%1\" could not be moved to %2.").arg(displayText(name), displayText(folder));
}

QString copyProblem(const files::Folder& from, const std::string& name, const files::Folder& target,
                    const std::string& folder)
{
    if (from.leadsToDirectory(name)) {
        return QStringLiteral("\"%1\" is a folder; folders can be moved, not copied.").arg(displayText(name));
    }
    switch (files::copyFile(from, name, target, name)) {
    case files::CopyResult::Copied:
        return {};
    case files::CopyResult::TargetExists:
        return moveProblem(files::MoveResult::TargetExists, name, folder);
    case files::CopyResult::Failed:
        break;
    }
    return QStringLiteral("\"%1\" could not be copied to %2.").arg(displayText(name), displayText(folder));
}

} // namespace

QString renameEntry(const std::string& folder, const std::string& name, const std::string& newName)
{
    if (newName.empty() || newName == "." || newName == ".." || newName.find('/') != std::string::npos
        || newName.find('\0') != std::string::npos) {
        return QStringLiteral("\"%1\" is not a name a file or folder can have.").arg(displayText(newName));
    }
    const files::Folder parent(folder);
    const files::MoveResult result = files::moveEntry(parent, name, parent, newName);
    return result == files::MoveResult::Moved ? QString() : moveProblem(result, newName, folder);
}

QStringList dropEntries(const QList<QUrl>& urls, const std::string& folder, bool copy)
{
    QStringList problems;
    const files::Folder target(folder);
    for (const QUrl& url : urls) {
        std::string path = localPathBytes(url);
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash + 1 == path.size()) {
            continue; // not a local entry, or the root itself
        }
        const std::string name = path.substr(slash + 1);
        const files::Folder from(slash == 0 ? std::string("/") : path.substr(0, slash));
        if (from.isOpen() && target.isOpen() && from.identity() == target.identity()) {
            continue; // already there
        }
        const QString problem = copy ? copyProblem(from, name, target, folder)
                                     : moveProblem(files::moveEntry(from, name, target, name), name, folder);
        if (!problem.isEmpty()) {
            problems << problem;
        }
    }
    return problems;
}

} // namespace quorbit
