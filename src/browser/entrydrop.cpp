#include "browser/entrydrop.h"

#include "browser/bytepaths.h"
#include "browser/offthread.h"
#include "platform/files.h"

namespace quorbit {

namespace {

QString moveProblem(files::MoveResult result, const std::string& name, const std::string& folder,
                    const BrowserTexts& texts)
{
    switch (result) {
    case files::MoveResult::Moved:
        return {};
    case files::MoveResult::TargetExists:
        return fillIn(texts.alreadyExists, {displayText(name), displayText(folder)});
    case files::MoveResult::Failed:
        break;
    }
    return fillIn(texts.notMoved, {displayText(name), displayText(folder)});
}

QString copyProblem(const files::Folder& from, const std::string& name, const files::Folder& target,
                    const std::string& folder, const BrowserTexts& texts)
{
    if (from.leadsToDirectory(name)) {
        return fillIn(texts.folderNotCopied, {displayText(name)});
    }
    switch (files::copyFile(from, name, target, name)) {
    case files::CopyResult::Copied:
        return {};
    case files::CopyResult::TargetExists:
        return moveProblem(files::MoveResult::TargetExists, name, folder, texts);
    case files::CopyResult::Failed:
        break;
    }
    return fillIn(texts.notCopied, {displayText(name), displayText(folder)});
}

} // namespace

QString renameEntry(const std::string& folder, const std::string& name, const std::string& newName,
                    const BrowserTexts& texts)
{
    if (newName.empty() || newName == "." || newName == ".." || newName.find('/') != std::string::npos
        || newName.find('\0') != std::string::npos) {
        return fillIn(texts.invalidName, {displayText(newName)});
    }
    const files::Folder parent(folder);
    const files::MoveResult result = files::moveEntry(parent, name, parent, newName);
    return result == files::MoveResult::Moved ? QString() : moveProblem(result, newName, folder, texts);
}

QStringList dropEntries(const QList<QUrl>& urls, const std::string& folder, bool copy, const BrowserTexts& texts)
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
        const QString problem = copy ? copyProblem(from, name, target, folder, texts)
                                     : moveProblem(files::moveEntry(from, name, target, name), name, folder, texts);
        if (!problem.isEmpty()) {
            problems << problem;
        }
    }
    return problems;
}

void dropEntriesAside(platform::DetachedJobs& jobs, QObject* receiver, const QList<QUrl>& urls,
                      const std::string& folder, bool copy, const BrowserTexts& texts,
                      std::function<void(const QString& text)> failed)
{
    runOffThread(
        jobs, receiver, [urls, folder, copy, texts] { return dropEntries(urls, folder, copy, texts); },
        [failed = std::move(failed)](const QStringList& problems) {
            if (!problems.isEmpty()) {
                failed(problems.join(QLatin1Char('\n')));
            }
        });
}

} // namespace quorbit
