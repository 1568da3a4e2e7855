#include "rename/journal.h"

#include "platform/filecontent.h"
#include "platform/locations.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string_view>

namespace quorbit {

// The file holds lines of records; a path is written as "<length>:<bytes>",
// so any byte may be in it, newlines too:
//   Quorbit journal 1
//   kind rename|sort
//   root <path>
//   step <folders> <moves>      a step's plan: its folders, then its moves,
//   C <path>                    ...each folder to be made
//   M <inode> <path> <path>     ...each move, from and to
//   end <checksum>              FNV-1a of the step's lines, "step" to the last move
//   D <count>                   the moves of the last step made so far
//   E                           the command ended
namespace {

constexpr std::string_view kHeader = "Quorbit journal 1\n";
constexpr std::string_view kExtension = ".journal";
constexpr std::size_t kMovesPerNote = 1024;
constexpr std::size_t kLargestJournal = std::size_t(1) << 31;

constexpr std::uint64_t kFnvStart = 14695981039346656037ull;

// FNV-1a of `bytes`, carried on from `hash`, so a long text can be hashed in pieces.
std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = kFnvStart)
{
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

void appendPath(std::string& out, std::string_view path)
{
    out += std::to_string(path.size());
    out += ':';
    out += path;
}

// Reads the records of a journal, failing at the first thing out of place.
class RecordReader {
public:
    explicit RecordReader(std::string_view bytes)
        : m_rest(bytes)
    {
    }

    bool atEnd() const { return m_rest.empty(); }
    std::string_view rest() const { return m_rest; }
    std::optional<JournalFault> fault() const { return m_fault; }

    bool literal(std::string_view text)
    {
        if (m_rest.starts_with(text)) {
            m_rest.remove_prefix(text.size());
            return true;
        }
        return fail(text.starts_with(m_rest) ? JournalFault::CutShort : JournalFault::Corrupt);
    }

    bool number(std::uint64_t& value)
    {
        const auto [end, error] = std::from_chars(m_rest.data(), m_rest.data() + m_rest.size(), value);
        if (error != std::errc() || end == m_rest.data()) {
            return fail(m_rest.empty() ? JournalFault::CutShort : JournalFault::Corrupt);
        }
        m_rest.remove_prefix(static_cast<std::size_t>(end - m_rest.data()));
        return !m_rest.empty() || fail(JournalFault::CutShort);
    }

    bool path(std::string& value)
    {
        std::uint64_t length = 0;
        if (!number(length) || !literal(":")) {
            return false;
        }
        if (length > m_rest.size()) {
            return fail(JournalFault::CutShort);
        }
        value.assign(m_rest.substr(0, length));
        m_rest.remove_prefix(length);
        return true;
    }

    bool fail(JournalFault fault)
    {
        m_fault = m_fault.value_or(fault);
        return false;
    }

private:
    std::string_view m_rest;
    std::optional<JournalFault> m_fault;
};

// Whether `path` lies below `root` without a way out: no "." or ".." and no empty part.
bool liesBelow(std::string_view path, std::string_view root)
{
    const std::string prefix = files::withTrailingSeparator(root);
    if (!path.starts_with(prefix) || path.size() == prefix.size()) {
        return false;
    }
    path.remove_prefix(prefix.size());
    while (true) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        path.remove_prefix(slash + 1);
    }
}

bool readStep(RecordReader& reader, const std::string& root, JournalStep& step)
{
    const std::string_view start = reader.rest();
    std::uint64_t folders = 0;
    std::uint64_t moves = 0;
    if (!reader.literal("step ") || !reader.number(folders) || !reader.literal(" ") || !reader.number(moves)
        || !reader.literal("\n")) {
        return false;
    }
    // A count larger than the bytes left cannot be read whole; it must not size a table.
    const std::size_t room = reader.rest().size();
    if (folders > room || moves > room) {
        return reader.fail(JournalFault::CutShort);
    }
    step.createdFolders.resize(folders);
    for (std::string& folder : step.createdFolders) {
        if (!reader.literal("C ") || !reader.path(folder) || !reader.literal("\n")) {
            return false;
        }
        if (!liesBelow(folder, root)) {
            return reader.fail(JournalFault::Corrupt);
        }
    }
    step.moves.resize(moves);
    for (JournalMove& move : step.moves) {
        if (!reader.literal("M ") || !reader.number(move.inode) || !reader.literal(" ") || !reader.path(move.from)
            || !reader.literal(" ") || !reader.path(move.to) || !reader.literal("\n")) {
            return false;
        }
        if (!liesBelow(move.from, root) || !liesBelow(move.to, root)) {
            return reader.fail(JournalFault::Corrupt);
        }
    }
    const std::uint64_t checksum = fnv1a(start.substr(0, start.size() - reader.rest().size()));
    std::uint64_t written = 0;
    if (!reader.literal("end ") || !reader.number(written) || !reader.literal("\n")) {
        return false;
    }
    return written == checksum || reader.fail(JournalFault::Corrupt);
}

} // namespace

std::size_t Journal::moveCount() const
{
    std::size_t count = 0;
    for (const JournalStep& step : steps) {
        count += step.moves.size();
    }
    return count;
}

std::size_t Journal::movesNoted() const
{
    return steps.empty() ? 0 : moveCount() - steps.back().moves.size() + lastStepMovesNoted;
}

JournalWriter::JournalWriter(const std::string& folder, JournalKind kind, const std::string& root)
{
    if (!files::createPrivateFolder(folder)) {
        return;
    }
    // Named after the time, so that names sort oldest first; a suffix tells
    // apart two started within one tick.
    const auto now
        = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%020lld", static_cast<long long>(now.count()));
    for (int suffix = 0; suffix < 100 && !m_file.isOpen(); ++suffix) {
        m_path = files::withTrailingSeparator(folder) + stamp + (suffix ? "-" + std::to_string(suffix) : "")
            + std::string(kExtension);
        m_file = files::AppendOnlyFile::create(m_path);
    }
    std::string header(kHeader);
    header += kind == JournalKind::Rename ? "kind rename\nroot " : "kind sort\nroot ";
    appendPath(header, root);
    header += '\n';
    if (m_file.isOpen() && !(m_file.append(header) && m_file.sync())) {
        m_file = {};
    }
}

bool JournalWriter::writeStep(const JournalStep& step, const std::function<void()>& pause)
{
    if (!isOpen() || !writeNote()) {
        return false;
    }
    constexpr std::size_t kPieceBytes = 1 << 20;
    std::uint64_t checksum = kFnvStart;
    std::string piece;
    // Written a piece at the time, each sent on its way to the disk, so the window
    // gets its turns and the wait for the whole plan at the end is short.
    const auto writePiece = [&] {
        checksum = fnv1a(piece, checksum);
        const bool appended = m_file.append(piece);
        m_file.startWriteback();
        piece.clear();
        if (pause) {
            pause();
        }
        return appended;
    };
    piece = "step " + std::to_string(step.createdFolders.size()) + " " + std::to_string(step.moves.size()) + "\n";
    for (const std::string& folder : step.createdFolders) {
        piece += "C ";
        appendPath(piece, folder);
        piece += '\n';
    }
    bool appended = true;
    for (const JournalMove& move : step.moves) {
        piece += "M ";
        piece += std::to_string(move.inode);
        piece += ' ';
        appendPath(piece, move.from);
        piece += ' ';
        appendPath(piece, move.to);
        piece += '\n';
        if (piece.size() >= kPieceBytes) {
            appended = appended && writePiece();
        }
    }
    appended = appended && writePiece();
    m_movesMade = 0;
    m_movesNoted = 0;
    m_hasSteps = true;
    return written(appended && m_file.append("end " + std::to_string(checksum) + "\n") && m_file.sync());
}

bool JournalWriter::written(bool succeeded)
{
    // After a failed write the file's end is unknown; nothing more is added to it.
    if (!succeeded) {
        m_file = {};
    }
    return succeeded;
}

void JournalWriter::noteMove()
{
    if (++m_movesMade - m_movesNoted >= kMovesPerNote) {
        writeNote();
    }
}

bool JournalWriter::writeNote()
{
    if (m_movesMade == m_movesNoted) {
        return true;
    }
    m_movesNoted = m_movesMade;
    return written(isOpen() && m_file.append("D " + std::to_string(m_movesMade) + "\n"));
}

bool JournalWriter::end()
{
    // A command that planned no move leaves nothing to undo.
    if (isOpen() && !m_hasSteps) {
        m_file = {};
        files::removeFile(m_path);
        return true;
    }
    return isOpen() && writeNote() && written(m_file.append("E\n") && m_file.sync());
}

JournalRead readJournal(const std::string& path)
{
    const files::WholeFile file = files::readWholeFile(path, kLargestJournal);
    if (file.status != files::ReadStatus::Read) {
        return {};
    }
    RecordReader reader(file.bytes);
    Journal journal;
    journal.path = path;
    bool read = reader.literal(kHeader) && reader.literal("kind ");
    if (read) {
        journal.kind = reader.rest().starts_with("sort") ? JournalKind::Sort : JournalKind::Rename;
        read = reader.literal(journal.kind == JournalKind::Sort ? "sort\nroot " : "rename\nroot ")
            && reader.path(journal.root) && reader.literal("\n");
        read = read && (journal.root.starts_with('/') || reader.fail(JournalFault::Corrupt));
    }
    while (read && !reader.atEnd()) {
        const std::string_view rest = reader.rest();
        if (rest.starts_with("D")) {
            std::uint64_t noted = 0;
            if (!reader.literal("D ") || !reader.number(noted) || !reader.literal("\n")) {
                // A note cut short is the one a crash can leave behind; the moves are on the disk.
                read = reader.fault() == JournalFault::CutShort;
                break;
            }
            if (journal.steps.empty() || noted > journal.steps.back().moves.size()) {
                read = reader.fail(JournalFault::Corrupt);
            }
            journal.lastStepMovesNoted = noted;
        } else if (rest.starts_with("E\n")) {
            reader.literal("E\n");
            journal.ended = true;
        } else if (rest == "E") {
            break; // the end mark cut short: the run's moves are all on the disk, but it is not marked ended
        } else if (rest.starts_with("step ")) {
            journal.lastStepMovesNoted = 0;
            read = readStep(reader, journal.root, journal.steps.emplace_back());
        } else {
            read = reader.fail(std::string_view("step ").starts_with(rest) ? JournalFault::CutShort
                                                                           : JournalFault::Corrupt);
        }
    }
    if (!read) {
        return {std::nullopt, reader.fault().value_or(JournalFault::Corrupt)};
    }
    return {std::move(journal), JournalFault::Unreadable};
}

bool markJournalEnded(const std::string& path)
{
    files::AppendOnlyFile file = files::AppendOnlyFile::openExisting(path);
    return file.isOpen() && file.append("E\n") && file.sync();
}

std::vector<std::string> journalFiles(const std::string& folder)
{
    std::vector<files::DirEntry> entries;
    files::Folder(folder).list(entries);
    std::vector<std::string> paths;
    for (const files::DirEntry& entry : entries) {
        if (!entry.isDirectory && !entry.isHidden && entry.name.ends_with(kExtension)) {
            paths.push_back(files::withTrailingSeparator(folder) + entry.name);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool journalEnded(const std::string& path)
{
    // The end mark is the last record written, so the tail alone tells.
    const files::ReadOnlyFile file(path);
    char tail[3] = {};
    return file.isOpen() && file.size() >= 3 && file.readExactly(file.size() - 3, tail, 3)
        && std::string_view(tail, 3) == "\nE\n";
}

void pruneJournals(const std::string& folder, std::size_t keep)
{
    const std::vector<std::string> paths = journalFiles(folder);
    std::size_t kept = 0;
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        // An unfinished run stays until the user has decided what becomes of it.
        if (!files::isLocked(*path) && journalEnded(*path) && ++kept > keep) {
            files::removeFile(*path);
        }
    }
}

std::string journalFolder()
{
    const std::string state = files::userStateFolder();
    return state.empty() ? state : state + "/quorbit";
}

} // namespace quorbit
