#pragma once

#include "store/ErrorLog.h"
#include "store/Recordset.h"

#include <QByteArray>
#include <QLockFile>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The program's record stores, open from OpenAllStores until the main frame unloads.
struct Stores
{
    explicit Stores(const ErrorLog &log) : errorLog(log) {}

    Recordset rsFavorites;
    Recordset rsHistory;
    Recordset rsNotes;
    Recordset rsOptions;
    Recordset rsForms;
    Recordset rsSessions; // only created, never kept open
    Recordset rsCurrentSession;
    Recordset rsCurrentSessionClone;
    Recordset rsTempSession;
    Recordset rsSavedFiles;
    Recordset rsSearches;

    bool gbHistoryFromFile = false;
    // Whether the saved-files store had a file before it was opened (its menu entry).
    bool gbSavedFilesExist = false;

    QString gsFavoritesFile;
    QString gsHistoryFile;
    QString gsNotesFile;
    QString gsOptionsFile;
    QString gsFormsFile;
    QString gsSessionsFile;
    QString gsCurrentSessionFile;
    QString gsTempSessionFile;
    QString gsPastSessionFile;
    QString gsSavedFilesFile;
    QString gsSavedFilesPage;
    QString gsSearchesFile;

    // Held from OpenSessionStores until the session is rotated at exit: the lock of the shared
    // current-session file, or of this program's own one when another running program holds
    // that. A current-session file whose lock nobody holds is left from a run that ended
    // abnormally.
    std::unique_ptr<QLockFile> sessionLock;
    // Another running program owns the shared current-session file: this one keeps its session
    // in a file of its own and recovers nothing at start.
    bool gbOwnSessionFile = false;

    // Stores opened empty in memory whose files are still to be written (see EmptyStoreFiles).
    std::vector<Recordset Stores::*> pendingFiles;
    bool gbSessionsFilePending = false;

    // Fills a new favorites store on the first run (no favorites file yet).
    std::function<void(Recordset &rsFavorites)> favoritesImport;

    const ErrorLog &errorLog;
};

// Context texts of the log entries.
namespace StoreLog {
inline const QString Favorites = QStringLiteral(" Opening Favorites Database");
inline const QString History = QStringLiteral(" Opening History Database");
inline const QString Notes = QStringLiteral(" Opening Notes database.");
inline const QString Options = QStringLiteral(" Opening QuickFolders database.");
inline const QString SavedFiles = QStringLiteral(" Opening or creating saved files database.");
inline const QString Sessions = QStringLiteral(" Opening Sessions database.");
inline const QString Searches = QStringLiteral(" Opening search records.");
inline const QString AbortedSession = QStringLiteral(" Continuing Aborted Session");
inline const QString FinalUnload = QStringLiteral(" Final unloading of main form");
} // namespace StoreLog

// What opening does with a store whose file is missing and that starts out empty.
enum class EmptyStoreFiles {
    CreateNow,   // writes the empty file at once
    AtFirstSave, // keeps the store in memory; its first save or CreatePendingStoreFiles writes it
};

// The file paths of every store (and the saved-files page) in the two data folders.
void BuildStorePaths(Stores &stores, const QString &dataFolder, const QString &commonDataFolder);

// BuildStorePaths, then OpenSessionStores, OpenFavoritesStore, OpenSavedFilesStore,
// OpenNotesStore, OpenOptionsStore, OpenFormsStore, OpenSessionsStore, OpenSearchesStore. Each
// routine logs its own failure and the next one runs; a store that fails stays closed. The current
// session's file is always written at once: it marks a run in progress.
void OpenAllStores(Stores &stores, const QString &dataFolder, const QString &commonDataFolder,
                   EmptyStoreFiles emptyFiles = EmptyStoreFiles::CreateNow);
// The current session's file (a file of its own when another running program holds the shared
// one) and, when a run ended abnormally, the temporary session with its pages: the shared file
// when no live program holds it, and every program's own file whose owner is gone.
void OpenSessionStores(Stores &stores);
void OpenFavoritesStore(Stores &stores, EmptyStoreFiles emptyFiles = EmptyStoreFiles::CreateNow);
void OpenSavedFilesStore(Stores &stores);
void OpenNotesStore(Stores &stores, EmptyStoreFiles emptyFiles = EmptyStoreFiles::CreateNow);
void OpenOptionsStore(Stores &stores, EmptyStoreFiles emptyFiles = EmptyStoreFiles::CreateNow);
void OpenFormsStore(Stores &stores, EmptyStoreFiles emptyFiles = EmptyStoreFiles::CreateNow);
void OpenSessionsStore(Stores &stores, EmptyStoreFiles emptyFiles = EmptyStoreFiles::CreateNow);
void OpenSearchesStore(Stores &stores);
// Writes the files that opening with EmptyStoreFiles::AtFirstSave left out, unless a save has
// written them meanwhile; a store holds whatever it holds by now. Failures are logged.
void CreatePendingStoreFiles(Stores &stores);
// Writes every favorite at once (a failure goes to the error log), so that no edit of the
// menus, the organizer or the editor waits for the exit. False when it could not be written.
bool SaveFavorites(Stores &stores);
// A favorite is deleted by moving it under the trash folder, its own folder kept below; the
// exit empties the trash.
inline const QString kTrashFolder = QStringLiteral("Delete\\");
// The record at the cursor into the trash (held until the next move or Update).
bool MoveToTrash(Recordset &favorites);
// The favorites with these bookmarks into the trash, the store written at once; how many moved.
int TrashFavorites(Stores &stores, const QList<double> &bookmarks);
// Only when history is on; without a file the store stays in memory until its first save.
// An open history store is left as it is.
void OpenHistoryStore(Stores &stores);

using LoadDocumentFn =
    std::function<void(const QString &url, const QByteArray &postData, const QString &headers)>;

// Passes every unread record of the interrupted session to `loadDocument`, first to last, then
// closes the temporary session and deletes its file.
// pagesKept: called once the pages are handed over; true when they are safe on disk where
// they went. The temporary session is deleted only then (none given: at once).
void ContinueAbortedSession(Stores &stores, const LoadDocumentFn &loadDocument,
                            const std::function<bool()> &pagesKept = {});

// Writes every history record at once (a failure goes to the error log), so that a visit
// survives a killed program; the exit still trims. False when it could not be written.
bool SaveHistory(Stores &stores);
// Exit: with more than 600 records keeps only those newer than the 600th newest, then saves
// (to the history file, creating it) and closes. Logs with the final-unloading context.
void SaveHistoryAtExit(Stores &stores);
// Exit: the current session becomes the past session and its file is removed; both cursors close.
// When the past session cannot be written the current file stays, so that the next start finds
// the session as an interrupted one instead of losing it.
void RotateSessionAtExit(Stores &stores);

inline constexpr int kHistoryKeptAtExit = 600;
