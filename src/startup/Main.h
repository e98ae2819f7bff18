#pragma once

#include "reader/AppContext.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class BrowserControl;
class FrameReaderHost;
class Reader;
class InstanceChannel;
class MDIForm1;
class frmBookmark;
class ScheduledPages;
class FeedViewers;
class LinkChecker;
class ShutdownSignals;

// The platform services the program runs on: the real ones in the executable, doubles in tests.
struct Platform
{
    BrowserFactory *browsers = nullptr;
    Ui *ui = nullptr;
    Shell *shell = nullptr;
    HttpClient *http = nullptr;
};

// The process command line, flags taken out.
struct StartArguments
{
    QString commandLine; // the address, file or /Setup, /Upgrade, /Uninstall
    QString workingDir;
    bool noFirstRun = false;     // --no-first-run
    bool exitWhenIdle = false;   // --exit-when-idle
    bool printCompleted = false; // --print-completed
    // The state of the Shift key at start; read from the keyboard when not set.
    std::optional<bool> shiftHeld;

    // Arguments after the program name. Unknown options starting with "--" are ignored.
    static StartArguments parse(const QStringList &arguments, const QString &workingDir);
};

// What the first window shows when the command line is empty (after a crashed session's pages
// were reloaded, when window 0 is still free).
enum class FirstDocument { QuickHelp, StartPage, ScheduledFavorites };

struct StartSituation
{
    bool firstRun = false; // bit 0x200 of "LCG" clear
    bool shiftHeld = false;
    int scheduledFavorites = 0; // favorites with "Period = 1"
};

FirstDocument ChooseFirstDocument(const StartSituation &situation);

// The start-up procedure and the program's lifetime: builds the context, the main frame and the
// first window, and owns them until the frame has unloaded.
class modMain : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Running,     // the main frame is up
        HandedOff,   // another running program took the command line: end, no window
        Declined,    // the agreement was declined: end, nothing kept
        Uninstalled, // "/Uninstall": the desktop entry and the settings removed; end
    };

    modMain(const Platform &platform, StartArguments arguments, QObject *parent = nullptr);
    ~modMain() override;

    Outcome Main();

    // Delay after start of the writes that need not precede the first page.
    static constexpr int kDeferredWritesMs = 2000;

    AppContext &context() { return m_ctx; }
    InstanceChannel *channel() const { return m_channel.get(); }
    const QStringList &completedDocuments() const { return m_completed; }

    // The program's pages: SKIMLINE_PAGES when set, else beside the executable (build tree or
    // installed share folder).
    static QString findPagesFolder();

    // The Shift-key state at start, for tests and for the real keyboard.
    static bool shiftKeyHeld();

    // The exit of File > Exit, asked for by a signal or the desktop's session end: runs once,
    // from the outermost event loop, and ends that loop with status 0.
    void requestExit();

Q_SIGNALS:
    // --exit-when-idle: the first document has completed and nothing loads or waits.
    void idle();

private:
    // The steps of Main, in their order.
    void takePlatform();
    [[nodiscard]] bool handOffToRunningProgram();
    void prepareFoldersAndLog(); // folders, and the log's start entry
    void checkProgramPages();    // a broken installation is told and its Read Me shown
    void openStores();
    void readSettings();
    // The main frame, and the first window's control (which tells the engine's user agent).
    std::unique_ptr<BrowserControl> createFrame();
    [[nodiscard]] bool acceptAgreement();
    void setUserAgent(BrowserControl *first);
    void createWindowZero(std::unique_ptr<BrowserControl> control);
    // Opens the favorites window in a mode, or brings the open one forward in that mode.
    void showFavorites(int mode);
    // A crashed run's pages, then the command line's address or the start documents.
    void showFirstDocuments();
    void showStartDocuments();
    void listenForLaterStarts();

    void loadInWindowZero(const QString &url, LoadWhere where);
    void handleCommandLine();
    // The sidebar's link-check commands.
    void linkCheckCommand(const QString &code);
    void fillSearchEngines();
    void startVersionCheck();
    void checkIdle();
    // The start's writes that need not precede the first page: the registry's program path,
    // an automated start's acceptance, the files of stores that opened empty.
    void writeDeferred();
    void logMainError(const QString &description);
    void discardRun();
    void watchForShutdownRequests();

    Platform m_platform;
    StartArguments m_args;
    AppContext m_ctx;
    std::unique_ptr<InstanceChannel> m_channel;
    std::unique_ptr<Stores> m_stores;
    std::unique_ptr<cFile> m_file;
    std::unique_ptr<CWinInet_URL> m_url;
    std::unique_ptr<Registry> m_registry;
    // Declared before the frame: its windows reach back into the reader while they go.
    std::unique_ptr<FrameReaderHost> m_readerHost;
    std::unique_ptr<Reader> m_reader;
    std::unique_ptr<MDIForm1> m_frame;
    std::unique_ptr<ScheduledPages> m_scheduled;
    std::unique_ptr<FeedViewers> m_feeds;
    std::unique_ptr<LinkChecker> m_linkChecker;
    QPointer<frmBookmark> m_organizer; // the favorites window while it is open
    QString m_importMessage;           // what the first start imported, for the status bar
    std::unique_ptr<ShutdownSignals> m_signals;
    int m_exitRetries = 0;
    QStringList m_completed;
    bool m_currentSessionCreatedHere = false;
    bool m_lcgPending = false;
    bool m_firstRun = false; // bit 0x200 of "LCG" clear
};
