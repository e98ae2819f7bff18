#pragma once

#include "reader/AppContext.h"

#include <QByteArray>
#include <QString>

class DocumentWindow;
class Reader;

// What LoadDocument loads: an address, the next queued record, or a favorite.
enum class LoadSource { Url, NextQueued, Favorite };

struct LoadRequest
{
    LoadSource source = LoadSource::Url;
    QString url;
    LoadWhere where = LoadWhere::Background; // becomes Here when the current window took it
    QByteArray postData;
    QString headers;
    double bookmark = 0; // the favorite (Favorite, and stored with a new record)
    bool bQuiet = false;
    int scrollTop = 0; // 0: the record's; -1: none
    QString title;
};

enum class LoadOutcome {
    Loading,    // a window is loading it
    Queued,     // recorded; waits for a window or a free download
    Nothing,    // nothing to do (empty queue, download limit, empty address)
    FeedViewer, // handed to the feed viewer
    Failed,     // the address could not be loaded
};

// At most this many downloads run at once.
inline constexpr int kMaxDownloads = 4;

// LoadDocument and the rest of the session log: the navigation log, the last session, the
// next-session address, and the navigation commands on the active window.
class LoadingQueue
{
public:
    explicit LoadingQueue(Reader &reader);

    LoadOutcome LoadDocument(LoadRequest &request);
    LoadOutcome LoadDocument(const QString &url, LoadWhere where = LoadWhere::Background,
                             bool bQuiet = false);
    // A page the engine opens in a pool window by itself (target=_blank, Shift+click, a pop-up
    // the program allows) is logged and counted like any page LoadDocument loads: the slot
    // that takes it, or -1 when it waits in the queue instead (downloads or windows all taken).
    int newWindowFor(const QString &url, bool bNext);
    // Starts queued records while downloads are free and LoadDocument is not running (any
    // caller may ask at any time); how many started.
    int startQueued();
    // Records still waiting for a window, in the order they will load.
    int queuedCount() const;

    // A window's top-level document changed (NavigateComplete2).
    void LogNavigation(double &oldBookmark, double &currentBookmark, const QString &url, int slot);

    // The window ends a download that LoadDocument started in it.
    void releaseDownload(DocumentWindow &window);

    // Hands every unread page of an interrupted run to LoadDocument, in reading order.
    int continueAbortedSession();
    // 0 All Pages, 1 Unread Pages, 2 Unread Pages + Scheduled Pages; of the past session, or
    // of an earlier session's file.
    void mnuOL_LastSession_Click(int index, const QString &sessionFile = QString());
    // 0 stores the active window's address and scroll position for the next start, 1 reopens.
    void SaveNextSessionURL(int iAction);

    void mnuRefresh_Click();
    void mnuBack_Click();
    void mnuForward_Click();
    void GoSearch();
    void mnuNav_Stop_Click();
    void mnuOL_Start_Click();
    void mnuOffline_Click();

    // The request headers for an address: the browser's own user agent for the listed sites,
    // the program's for every other one, then the caller's headers.
    QString headersFor(const QString &url, const QString &extra) const;
    static const QStringList &ownAgentSites();

private:
    LoadOutcome load(LoadRequest &request);
    bool takeQueued(LoadRequest &request, double &record, int &order);
    bool takeFavorite(LoadRequest &request, bool &repost);

    Reader &m_reader;
};
