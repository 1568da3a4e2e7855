#include "rename/journal.h"

#include "platform/filecontent.h"
#include "platform/locations.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace quorbit {

// The file holds lines of records; a path, or any text, is written as
// "<length>:<bytes>", so any byte may be in it, newlines too:
//   Quorbit journal 2
//   kind rename|sort
//   root <path>
//   settings <text>                  what the command was asked to do
//   step <folders> <moves>           a step's plan: the folder planned, then
//   F <inode> <path>                 ...its folders to make, then its moves,
//   R <text>                         ...with what the command needs to go on
//   C <path>                         ...each folder to be made
//   M <inode> <birth> <path> <path>  ...each move: the entry, from and to;
//   M 0 <birth> <size> <path> <path>  ...where inode numbers cannot be trusted
//   end <checksum>                   FNV-1a of the step's lines, "step" to the last move
//   D <count>                        the moves of the last step made so far
//   E                                the command ended
// Version 1 had no settings, F or R records, and no birth time in M.
namespace {

constexpr std::string_view kHeader1 = "Quorbit journal 1\n";
constexpr std::string_view kHeader2 = "Quorbit journal 2\n";
constexpr std::string_view kExtension = ".journal";
constexpr std::size_t kMovesPerNote = 1024;
// Room for ten million moves of about 300 bytes each; a file read whole.
constexpr std::size_t kMostMoves = 10'000'000;
constexpr std::size_t kLargestJournal = kMostMoves * 300;

constexpr std::uint64_t kFnvStart = 14695981039346656037ull;

// FNV-1a of `bytes`, carried on from `hash`, so a long text can be hashed in pieces.
std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = kFnvStart)
{
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

// Writes `folder` followed by `name` as one path.
void appendPath(std::string& out, std::string_view path, std::string_view name = {})
{
    out += std::to_string(path.size() + name.size());
    out += ':';
    out += path;
    out += name;
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
    // Asked twice for every move of a journal: no copy of the root is made.
    if (!path.starts_with(root)) {
        return false;
    }
    path.remove_prefix(root.size());
    if (!root.ends_with('/')) {
        if (!path.starts_with('/')) {
            return false;
        }
        path.remove_prefix(1);
    }
    if (path.empty()) {
        return false;
    }
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

bool readStep(RecordReader& reader, const std::string& root, int version, std::size_t movesBefore, JournalStep& step)
{
    const std::string_view start = reader.rest();
    std::uint64_t folders = 0;
    std::uint64_t moves = 0;
    if (!reader.literal("step ") || !reader.number(folders) || !reader.literal(" ") || !reader.number(moves)
        || !reader.literal("\n")) {
        return false;
    }
    if (moves > kMostMoves - movesBefore) {
        return reader.fail(JournalFault::Corrupt);
    }
    if (version >= 2) {
        if (!reader.literal("F ") || !reader.number(step.folderInode) || !reader.literal(" ")
            || !reader.path(step.folder) || !reader.literal("\nR ") || !reader.path(step.resume)
            || !reader.literal("\n")) {
            return false;
        }
        if (!step.folder.empty() && step.folder != root && !liesBelow(step.folder, root)) {
            return reader.fail(JournalFault::Corrupt);
        }
    }
    // The tables grow as records come: a count says what should follow, not what does.
    for (std::uint64_t made = 0; made < folders; ++made) {
        std::string& folder = step.createdFolders.emplace_back();
        if (!reader.literal("C ") || !reader.path(folder) || !reader.literal("\n")) {
            return false;
        }
        if (!liesBelow(folder, root)) {
            return reader.fail(JournalFault::Corrupt);
        }
    }
    // No move record is shorter than "M 1 1:a 1:b\n", so the bytes left bound the room made for them.
    constexpr std::size_t shortestMove = 12;
    step.moves.reserve(std::min<std::uint64_t>(moves, reader.rest().size() / shortestMove));
    for (std::uint64_t made = 0; made < moves; ++made) {
        JournalMove& move = step.moves.emplace_back();
        if (!reader.literal("M ") || !reader.number(move.inode) || !reader.literal(" ")) {
            return false;
        }
        if (version >= 2 && (!reader.number(move.birth) || !reader.literal(" "))) {
            return false;
        }
        if (version >= 2 && move.inode == 0 && (!reader.number(move.size) || !reader.literal(" "))) {
            return false;
        }
        if (!reader.path(move.from) || !reader.literal(" ") || !reader.path(move.to) || !reader.literal("\n")) {
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

JournalWriter::JournalWriter(const std::string& folder, JournalKind kind, const std::string& root,
                             const std::string& settings)
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
    std::string header(kHeader2);
    header += kind == JournalKind::Rename ? "kind rename\nroot " : "kind sort\nroot ";
    appendPath(header, root);
    header += "\nsettings ";
    appendPath(header, settings);
    header += '\n';
    if (m_file.isOpen() && !(m_file.append(header) && m_file.sync())) {
        // A journal without its header (the disk is full) would only be refused later.
        m_file = {};
        files::removeFile(m_path);
    }
}

JournalWriter::JournalWriter(const Journal& journal, const HeldJournal& held)
    : m_path(journal.path)
    , m_file(held.m_path == journal.path ? held.m_file.share() : files::AppendOnlyFile())
{
    if (m_file.isOpen() && !m_file.truncate(journal.wholeBytes)) {
        m_file = {};
    }
}

bool JournalWriter::writeStep(const JournalStep& step)
{
    return writeStep(step, step.moves.size(), [&moves = step.moves](std::size_t index) {
        const JournalMove& move = moves[index];
        return JournalMoveView{move.inode, move.birth, {}, move.from, move.to, move.size};
    });
}

bool JournalWriter::writeStep(const JournalStep& step, std::size_t moveCount,
                              const std::function<JournalMoveView(std::size_t index)>& moveAt)
{
    if (!isOpen() || !writeNote()) {
        return false;
    }
    constexpr std::size_t kPieceBytes = 1 << 20;
    std::uint64_t checksum = kFnvStart;
    std::string piece;
    // Written a piece at the time, each sent on its way to the disk, so the
    // wait for the whole plan at the end is short.
    const auto writePiece = [&] {
        checksum = fnv1a(piece, checksum);
        const bool appended = m_file.append(piece);
        m_file.startWriteback();
        piece.clear();
        return appended;
    };
    piece = "step " + std::to_string(step.createdFolders.size()) + " " + std::to_string(moveCount) + "\nF "
        + std::to_string(step.folderInode) + " ";
    appendPath(piece, step.folder);
    piece += "\nR ";
    appendPath(piece, step.resume);
    piece += '\n';
    for (const std::string& folder : step.createdFolders) {
        piece += "C ";
        appendPath(piece, folder);
        piece += '\n';
    }
    bool appended = true;
    for (std::size_t index = 0; index < moveCount; ++index) {
        const JournalMoveView move = moveAt(index);
        piece += "M ";
        piece += std::to_string(move.inode);
        piece += ' ';
        piece += std::to_string(move.birth);
        piece += ' ';
        if (move.inode == 0) {
            piece += std::to_string(move.size);
            piece += ' ';
        }
        appendPath(piece, move.folder, move.fromName);
        piece += ' ';
        appendPath(piece, move.folder, move.toName);
        piece += '\n';
        if (piece.size() >= kPieceBytes) {
            appended = appended && writePiece();
        }
    }
    appended = appended && writePiece();
    m_movesMade = 0;
    m_movesNoted = 0;
    // A step without moves has nothing to wait for: the next step's wait
    // takes it along, and one lost at the end is planned again the same way.
    return written(appended && m_file.append("end " + std::to_string(checksum) + "\n")
                   && (moveCount == 0 || m_file.sync()));
}

bool JournalWriter::written(bool succeeded)
{
    // After a failed write the file's end is unknown; nothing more is added to it.
    if (!succeeded) {
        m_file = {};
    }
    return succeeded;
}

void JournalWriter::noteMove(bool made)
{
    m_madeMove = m_madeMove || made;
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

bool JournalWriter::end(bool changedBesidesMoves)
{
    if (isOpen() && !m_madeMove && !changedBesidesMoves) {
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
    const int version = reader.rest().starts_with(kHeader1) ? 1 : 2;
    bool read = reader.literal(version == 1 ? kHeader1 : kHeader2) && reader.literal("kind ");
    if (read) {
        journal.kind = reader.rest().starts_with("sort") ? JournalKind::Sort : JournalKind::Rename;
        read = reader.literal(journal.kind == JournalKind::Sort ? "sort\nroot " : "rename\nroot ")
            && reader.path(journal.root) && reader.literal("\n");
        read = read && (journal.root.starts_with('/') || reader.fail(JournalFault::Corrupt));
        read = read
            && (version == 1 || (reader.literal("settings ") && reader.path(journal.settings) && reader.literal("\n")));
    }
    std::size_t moveCount = 0;
    journal.wholeBytes = file.bytes.size() - reader.rest().size();
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
            read = readStep(reader, journal.root, version, moveCount, journal.steps.emplace_back());
            if (!read && reader.fault() == JournalFault::CutShort) {
                // A step's moves wait for its end line on the disk: a step cut
                // short was never begun, and the steps before it were done.
                journal.steps.pop_back();
                journal.lastStepCut = true;
                read = true;
                break;
            }
            journal.lastStepMovesNoted = 0;
            moveCount += journal.steps.back().moves.size();
        } else if (std::string_view("step ").starts_with(rest)) {
            journal.lastStepCut = true; // cut short in its first word
            break;
        } else {
            read = reader.fail(JournalFault::Corrupt);
        }
        journal.wholeBytes = file.bytes.size() - reader.rest().size();
    }
    if (!read) {
        return {std::nullopt, reader.fault().value_or(JournalFault::Corrupt)};
    }
    if (journal.lastStepCut && !journal.steps.empty()) {
        journal.lastStepMovesNoted = journal.steps.back().moves.size();
    }
    return {std::move(journal), JournalFault::Unreadable};
}

bool PlannedFolders::contains(const files::Folder& folder, const std::string& path) const
{
    return (!inodes.empty() && inodes.contains(folder.identity().inode)) || paths.contains(path);
}

PlannedFolders plannedFolders(const Journal& journal)
{
    PlannedFolders planned;
    std::unordered_map<std::string_view, std::size_t> stepOf; // by the path its folder had then
    for (std::size_t index = 0; index < journal.steps.size(); ++index) {
        const JournalStep& step = journal.steps[index];
        if (step.folderInode != 0) {
            planned.inodes.insert(step.folderInode);
        }
        if (!step.folder.empty()) {
            stepOf.emplace(step.folder, index);
        }
    }
    // Where each entry a step moved ended, by where it started; made when first asked.
    std::unordered_map<std::size_t, std::unordered_map<std::string_view, std::string_view>> endsOf;
    const auto endOf = [&](std::size_t index, std::string_view path) {
        auto [ends, made] = endsOf.try_emplace(index);
        if (made) {
            std::unordered_map<std::string_view, std::string_view> startOf; // by where the moves so far left it
            for (const JournalMove& move : journal.steps[index].moves) {
                const auto found = startOf.find(move.from);
                const std::string_view start = found == startOf.end() ? std::string_view(move.from) : found->second;
                if (found != startOf.end()) {
                    startOf.erase(found);
                }
                startOf[move.to] = start;
            }
            for (const auto& [now, start] : startOf) {
                ends->second[start] = now;
            }
        }
        const auto found = ends->second.find(path);
        return found == ends->second.end() ? path : found->second;
    };
    const auto parentOf = [](std::string_view path) {
        const std::size_t slash = path.rfind('/');
        return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
    };
    // A folder's path now: its parent's path now, and the name its parent's step gave it.
    std::function<std::string(std::string_view)> pathNow = [&](std::string_view path) -> std::string {
        if (!liesBelow(path, journal.root)) {
            return std::string(path);
        }
        const std::string_view parent = parentOf(path);
        const auto parentStep = stepOf.find(parent);
        const std::string_view moved = parentStep == stepOf.end() ? path : endOf(parentStep->second, path);
        return files::withTrailingSeparator(pathNow(parent)) + std::string(files::fileNameOf(moved));
    };
    for (const JournalStep& step : journal.steps) {
        if (step.folderInode == 0 && !step.folder.empty()) {
            planned.paths.insert(pathNow(step.folder));
        }
    }
    return planned;
}

HeldJournal::HeldJournal(std::string path)
    : m_path(std::move(path))
{
    files::ExistingFile existing = files::AppendOnlyFile::openExisting(m_path);
    m_file = std::move(existing.file);
    switch (existing.status) {
    case files::ExistingFile::Status::Open:
        m_status = Status::Held;
        break;
    case files::ExistingFile::Status::Busy:
        m_status = Status::Busy;
        break;
    case files::ExistingFile::Status::Missing:
        m_status = Status::Gone;
        break;
    case files::ExistingFile::Status::Failed:
        m_status = Status::Failed;
        break;
    }
}

bool HeldJournal::markEnded()
{
    if (!m_file.isOpen()) {
        return false;
    }
    // The mark follows the last whole record, never a piece of one.
    const JournalRead read = readJournal(m_path);
    if (read.journal && !m_file.truncate(read.journal->wholeBytes)) {
        return false;
    }
    return m_file.append("E\n") && m_file.sync();
}

bool HeldJournal::remove()
{
    // Removed while still held: a program that opened it meanwhile finds it
    // gone once it has the lock, and takes it for nothing.
    return m_file.isOpen() && files::removeFile(m_path);
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

bool pruneJournals(const std::string& folder, std::size_t keep)
{
    const std::vector<std::string> paths = journalFiles(folder);
    std::size_t kept = 0;
    bool removed = true;
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        // An unfinished run stays until the user has decided what becomes of it.
        if (!journalEnded(*path) || ++kept <= keep) {
            continue;
        }
        // Taken first, so a run another program is undoing is left to that undo.
        HeldJournal held(*path);
        removed = (held.status() != HeldJournal::Status::Held || held.remove()) && removed;
    }
    return removed;
}

std::string journalFolder()
{
    const std::string state = files::userStateFolder();
    return state.empty() ? state : state + "/quorbit";
}

} // namespace quorbit
