#pragma once

#include "reader/LoadWhere.h"
#include "store/ErrorLog.h"
#include "store/Stores.h"
#include "store/SystemFolders.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class BrowserFactory;
class CWinInet_URL;
class HttpClient;
class QObject;
class QWidget;
class Shell;
class Ui;
class cFile;
class frmBrowser;
class Registry;
class Reader;

// One-letter codes to search-URL templates; "!" in a template stands for the query. Keys
// compare without regard to case and keep the order in which they were added.
class SearchEngines
{
public:
    void add(const QString &code, const QString &templateUrl)
    {
        for (auto &entry : m_entries) {
            if (entry.first.compare(code, Qt::CaseInsensitive) == 0) {
                entry.second = templateUrl;
                return;
            }
        }
        m_entries.append({code, templateUrl});
    }
    bool exists(const QString &code) const { return !item(code).isNull(); }
    // A null string for an unknown code.
    QString item(const QString &code) const
    {
        for (const auto &entry : m_entries) {
            if (entry.first.compare(code, Qt::CaseInsensitive) == 0)
                return entry.second;
        }
        return QString();
    }
    // The template with its "!" replaced by the query; empty for an unknown code.
    QString searchUrl(const QString &code, const QString &query) const
    {
        const QString t = item(code);
        return t.isNull() ? QString() : QString(t).replace(QLatin1Char('!'), query);
    }
    int count() const { return int(m_entries.size()); }
    QStringList codes() const
    {
        QStringList out;
        for (const auto &entry : m_entries)
            out << entry.first;
        return out;
    }
    void clear() { m_entries.clear(); }

private:
    QList<QPair<QString, QString>> m_entries;
};

// The program-wide state: made by Main, passed by reference to whatever needs it, torn down
// when the program ends. Tests make their own. Pointers are owned by whoever created the
// context (Main, or the test); a null pointer means that service is not there.
struct AppContext
{
    // Folders and files
    QDateTime gdStartTime;
    QString gsAppPath; // the program's pages; also gsHtmlFolder
    QString gsRegKey = QStringLiteral("Software\\Quillfern\\Skimline");
    Folders folders;
    ErrorLog errorLog;
    QString gsStyleLink;

    // Shared objects
    Stores *stores = nullptr;
    cFile *gFile = nullptr;
    CWinInet_URL *gURL = nullptr;
    Registry *registry = nullptr;
    BrowserFactory *browsers = nullptr; // the platform's control factory
    Ui *ui = nullptr;
    Shell *shell = nullptr;
    HttpClient *http = nullptr;
    QWidget *mainForm = nullptr;
    Reader *reader = nullptr; // the reading workflow: pool, queue, session log, report

    // Window pool: slot arrays, each starting with element 0
    QVector<frmBrowser *> gBrowsers{nullptr};
    QStringList gsWindowState{QString()};
    QVector<int> giWindowOrder{0};
    int giLastWindow = 0;
    int giCurrentWindow = 0;
    int giPreviousWindow = 0;
    int giWindowsOpen = 0;
    int giLoadingCount = 0;
    bool gbLoadBusy = false;
    // A load behind that makes no progress for this long is given up (tests shorten it).
    int glLoadStallMs = 60000;

    // Flags
    bool gbTextEntry = false;
    bool gbExiting = false;
    bool gbOffline = false;
    bool gbOnline = false;
    bool gbFullScreen = false;
    int giPageKind = 0;

    // History: the history-page switch (1 just written, 2 shown, 4 left with the headings on,
    // 0 off); a save of the store is due; the owner of that save's timer, gone with the context.
    int giHistoryPage = 0;
    bool gbHistorySavePending = false;
    std::shared_ptr<QObject> historySaveGuard;
    // Leaves the history view; the frame installs it, the document windows call it.
    std::function<void()> zHistoryDone;

    // Settings
    int giMaxWindows = 50;
    float gsngPageZoom = 0;
    float gsngTempZoom = 1.4f;
    int giNextOrder = 0;
    int giLaterOrder = 10000;
    int giBrowsingMode = 1;
    qint32 glOptionChecks = 4;
    bool gbOptBit1 = false;
    bool gbOptBit2 = false;
    bool gbOptBit4 = false;
    bool gbOptBit8 = false;
    qint32 glLCG = 0;

    // "Set Capture": the next form submission of a document window is kept for the favorite
    // editor, which takes it into a new favorite and clears it.
    struct FormCapture
    {
        bool armed = false;
        bool pending = false;
        QString url;
        QByteArray postData;
        QString headers;
        QString page; // the address of the page that held the form
    } formCapture;

    // The Open-URL dialog: 1 open an address, 2 enter a group name; the name typed in mode 2.
    int giOpenURLMode = 1;
    QString gsOpenURLResult;

    // Identity
    QString gsVersion;
    QString gsUserAgent;
    QString gsUserAgentLine;
    QString gsExtraHeaders;
    QString gsDefaultUserAgent;
    SearchEngines gSearchEngines;
    QString gsSupportMail; // option "SupportMail"

    // Flags of the command line meant for automation
    bool bNoFirstRun = false;
    bool bExitWhenIdle = false;

    // The loading routine; Main installs it. Until the queue exists it loads into window 0.
    std::function<void(const QString &url, LoadWhere where)> LoadDocument;
    // The dialogs of start-up, over the main frame; Main installs them (the frame and the
    // reader sit below start-up and cannot call it).
    struct Dialogs
    {
        std::function<void()> ShowOptions;
        std::function<void()> ShowOpenURL;
        // Asks for the name of a window group; answer gets it, or "" when the user cancelled.
        std::function<void(std::function<void(const QString &name)> answer)> AskGroupName;
        // The favorites window, 0 in Download Mode, 1 in Organize Mode.
        std::function<void(int mode)> ShowFavorites;
        // The favorite editor: 0 a new favorite (in the folder given), 1 the favorites with
        // Selected = 1, 3 a feed page's. Unset until the editor is in the program.
        std::function<void(int mode, const QString &keywords)> ShowFavoriteEditor;
        // File > Import Bookmarks...
        std::function<void()> ImportBookmarks;
        // The saved searches: their page in the active window, and their editor.
        std::function<void()> ShowSearchPage;
        std::function<void()> EditSearchRecords;
        // The editor of FormData.txt's snippets (modal).
        std::function<void()> ShowFormDataEditor;
    } dialogs;

    // The favorites subsystem's commands that the frame and the reading workflow call (they sit
    // beside or below it); Main installs them. Unset, the commands do nothing.
    struct FavoriteCommands
    {
        // The Scheduled Pages menu: 0 "Open Today's Pages", 1 the unread days too.
        std::function<void(int index)> DownloadList;
        // Home: the start-up favorites.
        std::function<void()> Home;
        // A feed or outline shown as a page: in that pool slot's window, or through
        // LoadDocument when slot < 0; bookmark 0 when it is not a favorite.
        std::function<void(const QString &url, double bookmark, int slot)> OpenFeedViewer;
        // The sidebar's link-check commands "C", "R", "S", "A", "B" and "Z".
        std::function<void(const QString &code)> LinkCheck;
    } favoriteCommands;

    QString pagePath(const QString &fileName) const
    {
        return gsAppPath + QLatin1Char('/') + fileName;
    }
};

// Keeps a form submission for the favorite editor and marks it pending.
inline void CaptureFormSubmission(AppContext &ctx, const QString &url, const QByteArray &postData,
                                  const QString &headers, const QString &page)
{
    ctx.formCapture.pending = true;
    ctx.formCapture.url = url;
    ctx.formCapture.postData = postData;
    ctx.formCapture.headers = headers;
    ctx.formCapture.page = page;
}
