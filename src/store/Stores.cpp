#include "store/Stores.h"

#include "store/StoreFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace {

QString inFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

void logError(const Stores &s, const QString &description, const QString &context)
{
    s.errorLog.LogError(description, context);
}

// Moves an unreadable file out of the way so that a fresh store can take its name.
void setAside(const Stores &s, const QString &path, const QString &why, const QString &context)
{
    const QString kept = StoreFile::setAside(path);
    if (kept.isEmpty()) {
        QFile::remove(path);
        logError(s, why + QStringLiteral("; the file could not be kept and was removed"), context);
    } else {
        logError(s,
                 why + QStringLiteral("; the file was kept as ") + QDir::toNativeSeparators(kept),
                 context);
    }
}

// The file at `path` as a store of `schema`, or nullopt (logged, file set aside) when it cannot
// be read or holds another schema.
std::optional<Recordset> openExisting(const Stores &s, const QString &path, const Schema &schema,
                                      const QString &context)
{
    QString error;
    auto rs = Recordset::Open(path, &error);
    if (rs && !SameSchema(rs->schema(), schema)) {
        error = QStringLiteral("%1: the file holds different fields")
                    .arg(QDir::toNativeSeparators(path));
        rs.reset();
    }
    if (!rs)
        setAside(s, path, error, context);
    return rs;
}

void applyIndexAndOrder(const Stores &s, Recordset &rs, const char *index, const char *order,
                        const QString &context)
{
    if (index && !rs.SetIndexed(QString::fromLatin1(index)))
        logError(s, rs.lastError(), context);
    if (order && !rs.SetSort(QString::fromLatin1(order)))
        logError(s, rs.lastError(), context);
}

// The shared pattern: create the file when missing, then load it.
Recordset openStandard(Stores &s, Recordset Stores::*member, const QString &path,
                       const Schema &schema, const char *index, const char *order,
                       const QString &context, EmptyStoreFiles emptyFiles)
{
    StoreFile::removeStaleTemps(path);
    if (QFileInfo::exists(path)) {
        if (auto rs = openExisting(s, path, schema, context)) {
            applyIndexAndOrder(s, *rs, index, order, context);
            return std::move(*rs);
        }
    }
    Recordset rs = Recordset::Create(schema, path);
    if (emptyFiles == EmptyStoreFiles::AtFirstSave) {
        s.pendingFiles.push_back(member);
    } else if (!rs.Save()) {
        logError(s, rs.lastError(), context);
        return Recordset();
    }
    applyIndexAndOrder(s, rs, index, order, context);
    return rs;
}

// Every record of an open store, whatever its cursor's filter (a clone has none), written at
// once; a failure goes to the error log.
bool saveWhole(const Stores &s, const Recordset &rs, const QString &file, const QString &context)
{
    if (!rs.State())
        return false;
    Recordset all = rs.Clone();
    if (all.Save(all.path().isEmpty() ? file : all.path()))
        return true;
    logError(s, all.lastError(), context);
    return false;
}

QString pendingContext(Recordset Stores::*member)
{
    if (member == &Stores::rsFavorites)
        return StoreLog::Favorites;
    if (member == &Stores::rsOptions)
        return StoreLog::Options;
    return StoreLog::Notes; // the notes and the forms store share theirs
}

} // namespace

void BuildStorePaths(Stores &s, const QString &dataFolder, const QString &commonDataFolder)
{
    s.gsFavoritesFile = inFolder(dataFolder, QStringLiteral("Favorites.skl"));
    s.gsHistoryFile = inFolder(dataFolder, QStringLiteral("History8.skl"));
    s.gsNotesFile = inFolder(dataFolder, QStringLiteral("NotesTxt.skl"));
    s.gsOptionsFile = inFolder(dataFolder, QStringLiteral("Options.skl"));
    s.gsFormsFile = inFolder(dataFolder, QStringLiteral("Forms.skl"));
    s.gsSessionsFile = inFolder(commonDataFolder, QStringLiteral("Sessions.skl"));
    s.gsCurrentSessionFile = inFolder(dataFolder, QStringLiteral("sklCurrentSession.skl"));
    s.gsTempSessionFile = inFolder(dataFolder, QStringLiteral("sklTempSession.skl"));
    s.gsPastSessionFile = inFolder(dataFolder, QStringLiteral("sklPastSession.skl"));
    s.gsSavedFilesFile = inFolder(dataFolder, QStringLiteral("sklSavedHTMfile.skl"));
    s.gsSavedFilesPage = inFolder(dataFolder, QStringLiteral("SavedFiles.htm"));
    s.gsSearchesFile = inFolder(dataFolder, QStringLiteral("Searches.skl"));
}

void OpenAllStores(Stores &s, const QString &dataFolder, const QString &commonDataFolder,
                   EmptyStoreFiles emptyFiles)
{
    BuildStorePaths(s, dataFolder, commonDataFolder);
    OpenSessionStores(s);
    OpenFavoritesStore(s, emptyFiles);
    OpenSavedFilesStore(s);
    OpenNotesStore(s, emptyFiles);
    OpenOptionsStore(s, emptyFiles);
    OpenFormsStore(s, emptyFiles);
    OpenSessionsStore(s, emptyFiles);
    OpenSearchesStore(s);
}

void CreatePendingStoreFiles(Stores &s)
{
    const auto pending = std::exchange(s.pendingFiles, {});
    for (Recordset Stores::*member : pending) {
        Recordset &rs = s.*member;
        if (!rs.State() || rs.path().isEmpty() || QFileInfo::exists(rs.path()))
            continue;
        // A clone keeps the caller's filter and position out of the save.
        Recordset all = rs.Clone();
        all.ClearFilter();
        if (!all.Save(rs.path()))
            logError(s, all.lastError(), pendingContext(member));
    }
    if (std::exchange(s.gbSessionsFilePending, false))
        OpenSessionsStore(s, EmptyStoreFiles::CreateNow);
}

namespace {

// A lock that counts only while its owner lives, however long that is.
std::unique_ptr<QLockFile> sessionLockFor(const QString &sessionFile)
{
    auto lock = std::make_unique<QLockFile>(sessionFile + QStringLiteral(".lock"));
    lock->setStaleLockTime(0);
    return lock;
}

QString ownSessionFile(const QString &sharedFile, const QString &pid)
{
    const QFileInfo shared(sharedFile);
    return shared.dir().filePath(shared.completeBaseName() + QLatin1Char('-') + pid +
                                 QLatin1Char('.') + shared.suffix());
}

// Adds every record of `from` to `to`.
void appendRecords(Recordset &to, Recordset &from)
{
    from.ClearFilter();
    for (from.MoveFirst(); !from.isEOF(); from.MoveNext()) {
        to.AddNew();
        for (int f = 0; f < from.FieldCount() && f < to.FieldCount(); ++f)
            to.SetField(f, from.Field(f));
        to.Update();
    }
}

// Own session files of other programs whose owners are gone, each locked for this caller.
std::vector<std::pair<QString, std::unique_ptr<QLockFile>>>
orphanedSessionFiles(const QString &sharedFile)
{
    std::vector<std::pair<QString, std::unique_ptr<QLockFile>>> out;
    const QFileInfo shared(sharedFile);
    const QStringList names = shared.dir().entryList(
        {shared.completeBaseName() + QStringLiteral("-*.") + shared.suffix()}, QDir::Files,
        QDir::Name);
    for (const QString &name : names) {
        const QString path = shared.dir().filePath(name);
        auto lock = sessionLockFor(path);
        if (lock->tryLock(0))
            out.emplace_back(path, std::move(lock));
    }
    return out;
}

} // namespace

void OpenSessionStores(Stores &s)
{
    const QString &context = StoreLog::Sessions;
    s.rsTempSession.Close();
    s.sessionLock.reset();
    s.gbOwnSessionFile = false;

    auto lock = sessionLockFor(s.gsCurrentSessionFile);
    if (!lock->tryLock(0)) {
        if (lock->error() == QLockFile::LockFailedError) {
            // A live program writes the shared file: leave it and its recovery alone.
            const QString pid = QString::number(QCoreApplication::applicationPid());
            s.gsCurrentSessionFile = ownSessionFile(s.gsCurrentSessionFile, pid);
            s.gsTempSessionFile = ownSessionFile(s.gsTempSessionFile, pid);
            s.gbOwnSessionFile = true;
            lock = sessionLockFor(s.gsCurrentSessionFile);
            if (!lock->tryLock(0))
                logError(s,
                         QStringLiteral("Cannot lock ") +
                             QDir::toNativeSeparators(s.gsCurrentSessionFile),
                         context);
        } else {
            logError(s,
                     QStringLiteral("Cannot lock ") +
                         QDir::toNativeSeparators(s.gsCurrentSessionFile),
                     context);
        }
    }
    if (lock->isLocked())
        s.sessionLock = std::move(lock);

    StoreFile::removeStaleTemps(s.gsCurrentSessionFile);
    StoreFile::removeStaleTemps(s.gsTempSessionFile);
    if (s.gbOwnSessionFile && QFileInfo::exists(s.gsTempSessionFile) &&
        !QFile::remove(s.gsTempSessionFile))
        logError(s,
                 QStringLiteral("Cannot delete ") + QDir::toNativeSeparators(s.gsTempSessionFile),
                 context);

    if (!s.gbOwnSessionFile) {
        // A temporary session still there is a recovery that never finished (the run that
        // was to load its pages ended first): its pages are still to come back.
        if (QFileInfo::exists(s.gsTempSessionFile)) {
            if (auto temp = openExisting(s, s.gsTempSessionFile, SessionSchema(), context))
                s.rsTempSession = std::move(*temp);
        }
        // A current-session file left behind means the last run did not end normally.
        if (QFileInfo::exists(s.gsCurrentSessionFile)) {
            if (s.rsTempSession.State()) {
                // Both runs' pages: on disk together before the current file is reused.
                if (auto current =
                        openExisting(s, s.gsCurrentSessionFile, SessionSchema(), context)) {
                    appendRecords(s.rsTempSession, *current);
                    current->Close();
                    if (!s.rsTempSession.Save())
                        logError(s, s.rsTempSession.lastError(), context);
                    else if (!QFile::remove(s.gsCurrentSessionFile))
                        logError(s,
                                 QStringLiteral("Cannot delete ") +
                                     QDir::toNativeSeparators(s.gsCurrentSessionFile),
                                 context);
                }
            } else if (!QFile::rename(s.gsCurrentSessionFile, s.gsTempSessionFile)) {
                logError(s,
                         QStringLiteral("Cannot rename ") +
                             QDir::toNativeSeparators(s.gsCurrentSessionFile),
                         context);
            } else if (auto temp = openExisting(s, s.gsTempSessionFile, SessionSchema(), context)) {
                s.rsTempSession = std::move(*temp);
            }
            // Whatever could not be moved aside stays untouched: this run keeps its session
            // in a file of its own rather than write over pages not yet recovered.
            if (QFileInfo::exists(s.gsCurrentSessionFile)) {
                const QString pid = QString::number(QCoreApplication::applicationPid());
                s.gsCurrentSessionFile = ownSessionFile(s.gsCurrentSessionFile, pid);
                // Locked like any own file, so no other start takes it for a dead one.
                auto own = sessionLockFor(s.gsCurrentSessionFile);
                if (own->tryLock(0))
                    s.sessionLock = std::move(own);
            }
        }
        // So do the own files of programs that ran beside another one and are gone.
        for (auto &[path, orphanLock] : orphanedSessionFiles(s.gsCurrentSessionFile)) {
            StoreFile::removeStaleTemps(path);
            auto orphan = openExisting(s, path, SessionSchema(), context);
            if (!orphan) {
                continue; // set aside and logged
            }
            if (!s.rsTempSession.State()) {
                s.rsTempSession = Recordset::Create(SessionSchema(), s.gsTempSessionFile);
            }
            appendRecords(s.rsTempSession, *orphan);
            orphan->Close();
            // Its pages must be on disk in the temporary session before their file goes.
            if (!s.rsTempSession.Save()) {
                logError(s, s.rsTempSession.lastError(), context);
                continue;
            }
            if (!QFile::remove(path))
                logError(s, QStringLiteral("Cannot delete ") + QDir::toNativeSeparators(path),
                         context);
        }
        if (s.rsTempSession.State() && !s.rsTempSession.SetFilter(QStringLiteral("bRead = 0")))
            logError(s, s.rsTempSession.lastError(), context);
    }

    s.rsCurrentSessionClone.Close();
    s.rsCurrentSession = Recordset::Create(SessionSchema(), s.gsCurrentSessionFile);
    if (!s.rsCurrentSession.Save()) {
        logError(s, s.rsCurrentSession.lastError(), context);
        s.rsCurrentSession.Close();
        return;
    }
    applyIndexAndOrder(s, s.rsCurrentSession, StoreOrder::SessionIndex, StoreOrder::SessionOrder,
                       context);
    s.rsCurrentSessionClone = s.rsCurrentSession.Clone();
}

void OpenFavoritesStore(Stores &s, EmptyStoreFiles emptyFiles)
{
    const QString &context = StoreLog::Favorites;
    const QString &path = s.gsFavoritesFile;
    const Schema schema = FavoritesSchema();
    StoreFile::removeStaleTemps(path);

    const bool existed = QFileInfo::exists(path);
    std::optional<Recordset> old;
    if (existed) {
        QString error;
        old = Recordset::Open(path, &error);
        if (!old)
            setAside(s, path, error, context);
    }

    Recordset rs;
    if (old && SameSchema(old->schema(), schema)) {
        rs = std::move(*old);
    } else {
        rs = Recordset::Create(schema, path);
        if (old) {
            // An older layout: carry over every field that kept its name.
            std::vector<std::pair<int, int>> pairs; // new field, old field
            for (int f = 0; f < rs.FieldCount(); ++f) {
                const int from = old->FieldIndex(schema[f].name);
                if (from >= 0)
                    pairs.emplace_back(f, from);
            }
            old->ClearFilter();
            for (old->MoveFirst(); !old->isEOF(); old->MoveNext()) {
                rs.AddNew();
                for (const auto &[to, from] : pairs)
                    rs.SetField(to, old->Field(from)); // a value that no longer fits stays empty
                rs.Update();
            }
            old->Close();
            // The converted store replaces the old file through the atomic save below, so a
            // failed save leaves the old file to convert again next time.
        } else if (!existed && s.favoritesImport) {
            s.favoritesImport(rs);
            rs.ClearFilter();
        }
        // Imported or converted records are written at once; an empty store can wait.
        const bool deferred =
            !old && rs.RecordCount() == 0 && emptyFiles == EmptyStoreFiles::AtFirstSave;
        if (deferred) {
            s.pendingFiles.push_back(&Stores::rsFavorites);
        } else if (!rs.Save()) {
            logError(s, rs.lastError(), context);
            s.rsFavorites = Recordset();
            return;
        }
    }
    applyIndexAndOrder(s, rs, StoreOrder::FavoritesIndex, StoreOrder::FavoritesOrder, context);
    s.rsFavorites = std::move(rs);
}

void OpenSavedFilesStore(Stores &s)
{
    const QString &context = StoreLog::SavedFiles;
    StoreFile::removeStaleTemps(s.gsSavedFilesFile);
    s.gbSavedFilesExist = QFileInfo::exists(s.gsSavedFilesFile);
    if (s.gbSavedFilesExist) {
        if (auto rs = openExisting(s, s.gsSavedFilesFile, SavedFilesSchema(), context)) {
            s.rsSavedFiles = std::move(*rs);
            return;
        }
        s.gbSavedFilesExist = false;
    }
    // In memory until the first saved page writes it.
    s.rsSavedFiles = Recordset::Create(SavedFilesSchema(), s.gsSavedFilesFile);
}

void OpenNotesStore(Stores &s, EmptyStoreFiles emptyFiles)
{
    s.rsNotes =
        openStandard(s, &Stores::rsNotes, s.gsNotesFile, NotesSchema(), StoreOrder::NotesIndex,
                     StoreOrder::NotesOrder, StoreLog::Notes, emptyFiles);
}

void OpenOptionsStore(Stores &s, EmptyStoreFiles emptyFiles)
{
    s.rsOptions = openStandard(s, &Stores::rsOptions, s.gsOptionsFile, OptionsSchema(),
                               StoreOrder::OptionsIndex, nullptr, StoreLog::Options, emptyFiles);
}

void OpenFormsStore(Stores &s, EmptyStoreFiles emptyFiles)
{
    s.rsForms = openStandard(s, &Stores::rsForms, s.gsFormsFile, FormsSchema(),
                             StoreOrder::FormsIndex, nullptr, StoreLog::Notes, emptyFiles);
}

void OpenSearchesStore(Stores &s)
{
    StoreFile::removeStaleTemps(s.gsSearchesFile);
    if (QFileInfo::exists(s.gsSearchesFile)) {
        if (auto rs = openExisting(s, s.gsSearchesFile, SearchesSchema(), StoreLog::Searches)) {
            s.rsSearches = std::move(*rs);
            return;
        }
    }
    // Most users never save a search: the file comes with the first one.
    s.rsSearches = Recordset::Create(SearchesSchema(), s.gsSearchesFile);
}

void OpenSessionsStore(Stores &s, EmptyStoreFiles emptyFiles)
{
    s.rsSessions.Close();
    StoreFile::removeStaleTemps(s.gsSessionsFile);
    if (QFileInfo::exists(s.gsSessionsFile))
        return;
    if (emptyFiles == EmptyStoreFiles::AtFirstSave) {
        s.gbSessionsFilePending = true;
        return;
    }
    Recordset rs = Recordset::Create(SessionsSchema(), s.gsSessionsFile);
    if (!rs.Save())
        logError(s, rs.lastError(), StoreLog::Sessions);
}

void OpenHistoryStore(Stores &s)
{
    const QString &context = StoreLog::History;
    // Switched off and on again: the open store holds this run's visits, which the file lacks.
    if (s.rsHistory.State())
        return;
    StoreFile::removeStaleTemps(s.gsHistoryFile);
    s.gbHistoryFromFile = false;
    if (QFileInfo::exists(s.gsHistoryFile)) {
        if (auto rs = openExisting(s, s.gsHistoryFile, HistorySchema(), context)) {
            s.rsHistory = std::move(*rs);
            s.gbHistoryFromFile = true;
            return;
        }
    }
    // In memory only until the first visit is saved (or the exit).
    s.rsHistory = Recordset::Create(HistorySchema(), s.gsHistoryFile);
}

void ContinueAbortedSession(Stores &s, const LoadDocumentFn &loadDocument,
                            const std::function<bool()> &pagesKept)
{
    const QString &context = StoreLog::AbortedSession;
    Recordset &rs = s.rsTempSession;
    if (!loadDocument)
        return; // nothing to hand the pages to: keep them for a caller that can
    if (rs.State() && rs.RecordCount() > 0) {
        for (rs.MoveFirst(); rs.State() && !rs.isEOF(); rs.MoveNext()) {
            loadDocument(rs.Field(QStringLiteral("URL")).toString(),
                         rs.Field(QStringLiteral("PostData")).toByteArray(),
                         rs.Field(QStringLiteral("Headers")).toString());
        }
    }
    rs.Close();
    // Kept for the next start while the pages are not yet on disk in this run's session.
    if (pagesKept && !pagesKept())
        return;
    if (QFileInfo::exists(s.gsTempSessionFile) && !QFile::remove(s.gsTempSessionFile))
        logError(s,
                 QStringLiteral("Cannot delete ") + QDir::toNativeSeparators(s.gsTempSessionFile),
                 context);
}

bool SaveHistory(Stores &s)
{
    if (!saveWhole(s, s.rsHistory, s.gsHistoryFile, QStringLiteral(" Saving History")))
        return false;
    s.gbHistoryFromFile = true;
    return true;
}

void SaveHistoryAtExit(Stores &s)
{
    const QString &context = StoreLog::FinalUnload;
    Recordset &rs = s.rsHistory;
    if (!rs.State())
        return;
    rs.ClearFilter();
    if (rs.RecordCount() > kHistoryKeptAtExit) {
        if (!rs.SetSort(QStringLiteral("Date DESC")) ||
            !rs.SetAbsolutePosition(kHistoryKeptAtExit)) {
            logError(s, rs.lastError(), context);
        } else {
            const QVariant d = rs.Field(QStringLiteral("Date"));
            // The full day count rather than the general date format: that format drops the
            // milliseconds and would keep records from the same second as the 600th newest.
            if (d.isValid() &&
                !rs.SetFilter(QStringLiteral("Date > ") + QString::number(d.toDouble(), 'g', 17)))
                logError(s, rs.lastError(), context);
        }
    }
    const QString target = rs.path().isEmpty() ? s.gsHistoryFile : rs.path();
    if (!rs.Save(target))
        logError(s, rs.lastError(), context);
    rs.Close();
}

void RotateSessionAtExit(Stores &s)
{
    const QString &context = StoreLog::FinalUnload;
    Recordset &rs = s.rsCurrentSession;
    if (rs.State())
        rs.ClearFilter();
    // The save replaces the past session whole, or leaves it as it was when it fails.
    bool keepCurrent = false;
    if (rs.State() && !rs.Save(s.gsPastSessionFile)) {
        logError(s, rs.lastError(), context);
        // The session must survive somewhere: as an interrupted one for the next start.
        if (!rs.Save(s.gsCurrentSessionFile))
            logError(s, rs.lastError(), context);
        keepCurrent = true;
    }
    if (!keepCurrent && QFileInfo::exists(s.gsCurrentSessionFile) &&
        !QFile::remove(s.gsCurrentSessionFile))
        logError(
            s, QStringLiteral("Cannot delete ") + QDir::toNativeSeparators(s.gsCurrentSessionFile),
            context);
    rs.Close();
    s.rsCurrentSessionClone.Close();
    // Only now that the file is gone may another start take the name over.
    if (!keepCurrent)
        s.sessionLock.reset();
}

bool MoveToTrash(Recordset &favorites)
{
    const QString keywords = QStringLiteral("Keywords");
    return favorites.SetField(keywords, kTrashFolder + favorites.Field(keywords).toString());
}

int TrashFavorites(Stores &s, const QList<double> &bookmarks)
{
    if (!s.rsFavorites.State())
        return 0;
    Recordset rs = s.rsFavorites.Clone();
    int moved = 0;
    for (double b : bookmarks) {
        if (rs.SetBookmark(b) && MoveToTrash(rs)) {
            rs.Update();
            ++moved;
        }
    }
    rs.Close();
    if (moved > 0)
        (void)SaveFavorites(s);
    return moved;
}

bool SaveFavorites(Stores &s)
{
    return saveWhole(s, s.rsFavorites, s.gsFavoritesFile, QStringLiteral(" Saving Favorites"));
}
