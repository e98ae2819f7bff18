#include "startup/Main.h"

#include "favorites/ImportCommand.h"
#include "favorites/LinkChecker.h"
#include "favorites/ScheduledPages.h"
#include "favorites/SearchRecords.h"
#include "favorites/cXML.h"
#include "favorites/frmBookmark.h"
#include "favorites/frmFavAdd.h"
#include "frame/CommandLine.h"
#include "frame/FrameReaderHost.h"
#include "frame/MDIForm1.h"
#include "frame/Sidebar.h"
#include "frame/SidebarHtml.h"
#include "frame/cPopup.h"
#include "platform/BrowserControl.h"
#include "platform/DesktopApps.h"
#include "platform/Document.h"
#include "platform/HttpClient.h"
#include "platform/PageWriter.h"
#include "platform/Shell.h"
#include "platform/Ui.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "reader/frmBrowser.h"
#include "startup/AgreementDialog.h"
#include "startup/OpenURL.h"
#include "startup/Options.h"
#include "startup/Settings.h"
#include "startup/ShellIntegration.h"
#include "startup/ShutdownSignals.h"
#include "startup/SingleInstance.h"
#include "startup/frmEditor.h"
#include "store/CWinInet_URL.h"
#include "store/DateValue.h"
#include "store/Recordset.h"
#include "store/Stores.h"
#include "store/cFile.h"
#include "store/modRegistry.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>

namespace {

const QString kVersionNumber = QStringLiteral(SKIMLINE_VERSION);
const QString kMainError = QStringLiteral(" Error in Main: ");
// Bit values of "LCG".
constexpr qint32 kAcceptedMask = 0xFF;
constexpr qint32 kHasRunBefore = 0x200;

// The program's pages whose absence means a broken installation.
const char *const kRequiredPages[] = {"AddtoFavs.htm", "frmBookmarks.htm", "frmEditor.htm",
                                      "OpenURL.htm",   "frmOptions.htm",   "Start.htm"};

} // namespace

// ---------------------------------------------------------------------------------------------

StartArguments StartArguments::parse(const QStringList &arguments, const QString &workingDir)
{
    StartArguments a;
    a.workingDir = workingDir;
    QStringList rest;
    for (const QString &arg : arguments) {
        if (arg == QLatin1String("--no-first-run"))
            a.noFirstRun = true;
        else if (arg == QLatin1String("--exit-when-idle"))
            a.exitWhenIdle = true;
        else if (arg == QLatin1String("--print-completed"))
            a.printCompleted = true;
        else if (arg.startsWith(QLatin1String("--")))
            continue;
        else
            rest << arg;
    }
    // The shell has split the line; an address or path given in pieces is one again.
    a.commandLine = rest.join(QLatin1Char(' '));
    return a;
}

FirstDocument ChooseFirstDocument(const StartSituation &s)
{
    if (s.firstRun)
        return FirstDocument::QuickHelp;
    if (s.shiftHeld)
        return FirstDocument::StartPage;
    return s.scheduledFavorites > 0 ? FirstDocument::ScheduledFavorites : FirstDocument::StartPage;
}

// ---------------------------------------------------------------------------------------------

modMain::modMain(const Platform &platform, StartArguments arguments, QObject *parent)
    : QObject(parent), m_platform(platform), m_args(std::move(arguments))
{}

modMain::~modMain()
{
    // Children first: their controls must go before the platform that made them.
    if (m_frame && !m_frame->isUnloaded())
        m_frame->UnloadChildren();
    m_frame.reset();
    m_ctx.mainForm = nullptr;
    m_ctx.reader = nullptr;
}

QString modMain::findPagesFolder()
{
    const QString fromEnv = qEnvironmentVariable("SKIMLINE_PAGES");
    if (!fromEnv.isEmpty())
        return QDir(fromEnv).absolutePath();
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {exeDir + QStringLiteral("/pages"),
                                    exeDir + QStringLiteral("/../../pages"),
                                    exeDir + QStringLiteral("/../share/skimline/pages")};
    for (const QString &c : candidates) {
        if (QFileInfo::exists(c + QStringLiteral("/Start.htm")))
            return QDir(c).absolutePath();
    }
    return QDir(candidates.first()).absolutePath();
}

bool modMain::shiftKeyHeld()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

void modMain::logMainError(const QString &description)
{
    m_ctx.errorLog.LogError(description, kMainError);
}

modMain::Outcome modMain::Main()
{
    takePlatform();
    if (handOffToRunningProgram())
        return Outcome::HandedOff;
    prepareFoldersAndLog();
    // Before anything opens a store or writes a setting that the uninstall would remove.
    if (ParseCommandLine(m_args.commandLine, m_args.workingDir).kind ==
        CommandLineKind::Uninstall) {
        const Registry registry(m_ctx.folders.userHiveFile, m_ctx.folders.machineHiveFile);
        const ShellIntegration::Outcome done = ShellIntegration::Uninstall(DesktopApps(), registry);
        if (m_ctx.ui)
            (void)m_ctx.ui->messageBox(done.message, QStringLiteral("Skimline"));
        return Outcome::Uninstalled;
    }
    checkProgramPages();
    openStores();
    readSettings();
    std::unique_ptr<BrowserControl> first = createFrame();
    if (!acceptAgreement()) {
        first.reset();
        discardRun();
        return Outcome::Declined;
    }
    setUserAgent(first.get());
    createWindowZero(std::move(first));
    showFirstDocuments();
    m_frame->writePanes();
    m_ctx.gsWindowState[0] = QStringLiteral("a");
    fillSearchEngines();
    m_ctx.gbOnline = true;
    startVersionCheck();
    listenForLaterStarts();
    if (m_args.exitWhenIdle)
        connect(this, &modMain::idle, m_frame.get(), &QWidget::close, Qt::QueuedConnection);
    watchForShutdownRequests();
    QTimer::singleShot(kDeferredWritesMs, this, &modMain::writeDeferred);
    return Outcome::Running;
}

void modMain::takePlatform()
{
    AppContext &ctx = m_ctx;
    ctx.gdStartTime = QDateTime::currentDateTime();
    ctx.gsAppPath = findPagesFolder();
    ctx.browsers = m_platform.browsers;
    ctx.ui = m_platform.ui;
    ctx.shell = m_platform.shell;
    ctx.http = m_platform.http;
    ctx.bNoFirstRun = m_args.noFirstRun;
    ctx.bExitWhenIdle = m_args.exitWhenIdle;
}

bool modMain::handOffToRunningProgram()
{
    m_channel = std::make_unique<InstanceChannel>();
    return !m_args.commandLine.isEmpty() &&
           m_channel->handOff(AbsoluteIfLocalFile(m_args.commandLine, m_args.workingDir));
}

void modMain::prepareFoldersAndLog()
{
    AppContext &ctx = m_ctx;
    QString lastError;
    ctx.folders = Folders::resolve();
    if (!ctx.folders.create())
        lastError = QStringLiteral("Could not create the data folders");
    ctx.errorLog.setPath(ctx.folders.errorLogFile);
    ctx.errorLog.WriteStartEntry(lastError, kVersionNumber);
}

void modMain::checkProgramPages()
{
    AppContext &ctx = m_ctx;
    m_url = std::make_unique<CWinInet_URL>();
    ctx.gURL = m_url.get();
    bool pagesMissing = false;
    for (const char *page : kRequiredPages)
        pagesMissing = pagesMissing || !QFileInfo::exists(ctx.pagePath(QLatin1String(page)));
    if (!pagesMissing)
        return;
    const QString readme = ctx.pagePath(QStringLiteral("Readme.htm"));
    if (ctx.ui)
        ctx.ui->messageBox(
            QStringLiteral("This setup of Skimline is missing some files. To correct this, go "
                           "to ") +
                QDir::toNativeSeparators(readme) + QStringLiteral("#WhatsNew") +
                QStringLiteral(" and download the latest upgrade version."),
            QStringLiteral("Skimline"), MessageButtons::Ok);
    if (ctx.shell && QFileInfo::exists(readme) && !ctx.shell->openFile(readme))
        logMainError(QStringLiteral("Could not open ") + readme);
}

void modMain::openStores()
{
    AppContext &ctx = m_ctx;
    m_stores = std::make_unique<Stores>(ctx.errorLog);
    ctx.stores = m_stores.get();
    m_currentSessionCreatedHere = true;
    m_stores->favoritesImport = [this](Recordset &rs) {
        m_importMessage = ImportFirstRunBookmarks(rs, m_ctx.folders.userHome, m_ctx.errorLog);
    };
    // Empty stores get their files later: only the current session's must be there at once.
    OpenAllStores(*m_stores, ctx.folders.data, ctx.folders.commonData,
                  EmptyStoreFiles::AtFirstSave);
    m_file = std::make_unique<cFile>(
        [this](const QString &prompt) -> std::optional<QString> {
            return m_ctx.ui ? m_ctx.ui->inputBox(prompt, QStringLiteral("Skimline")) : std::nullopt;
        },
        &m_stores->rsOptions);
    ctx.gFile = m_file.get();
    m_registry = std::make_unique<Registry>(ctx.folders.userHiveFile, ctx.folders.machineHiveFile);
    ctx.registry = m_registry.get();
    // Num Lock stays as the user set it; the keypad keys act the same either way.
}

void modMain::readSettings()
{
    AppContext &ctx = m_ctx;
    LoadSettings(ctx, *m_file);
    if (ctx.gbOptBit4)
        OpenHistoryStore(*m_stores);
    ctx.gbOptBit2 = (ctx.glOptionChecks & OptionBit::LastSession) &&
                    QFileInfo::exists(m_stores->gsPastSessionFile);

    const RegResult lcg =
        m_registry->RegGetAppValue(QStringLiteral("LCG"), RegRoot::HKCU, REG_DWORD, 0);
    if (!lcg.ok())
        logMainError(lcg.description);
    ctx.glLCG = lcg.value.toInt();
    m_firstRun = !(ctx.glLCG & kHasRunBefore);

    ctx.gsStyleLink = QStringLiteral("<LINK REL=stylesheet STYLE=text/css HREF=\"") +
                      ProgramPages::url(QStringLiteral("sklStyle.css")).toString() +
                      QStringLiteral("\"><style>body {margin:3%}p {text-indent:0}h2,h3,h4 "
                                     "{text-align:left}</style>");

    ctx.giLaterOrder = 10000;
}

std::unique_ptr<BrowserControl> modMain::createFrame()
{
    AppContext &ctx = m_ctx;
    m_frame = std::make_unique<MDIForm1>(ctx, nullptr, MDIForm1::PaneStart::Later);
    // The engine's own user agent comes from the first window's control.
    std::unique_ptr<BrowserControl> first = ctx.browsers ? ctx.browsers->createControl() : nullptr;
    if (first)
        ctx.gsDefaultUserAgent = first->userAgent();
    m_frame->MDIForm_Load();
    const bool pastSession = QFileInfo::exists(m_stores->gsPastSessionFile);
    for (int i = 0; i <= 2; ++i)
        m_frame->setCommandEnabled(QStringLiteral("mnuOL_LastSession(%1)").arg(i), pastSession);
    // History stays enabled with history off: its message tells how to turn it on, and the
    // options dialog can turn it on without a restart.
    m_frame->show();
    return first;
}

bool modMain::acceptAgreement()
{
    AppContext &ctx = m_ctx;
    if ((ctx.glLCG & kAcceptedMask) != 1) {
        bool accepted = m_args.noFirstRun;
        if (!accepted) {
            AgreementDialog dialog(m_frame.get());
            accepted = dialog.exec() == QDialog::Accepted;
        }
        if (!accepted)
            return false;
        ctx.glLCG = (ctx.glLCG & ~kAcceptedMask) | 1;
        // A user's acceptance is kept at once; an automated start's can wait (the exit saves
        // the value too).
        if (m_args.noFirstRun)
            m_lcgPending = true;
        else
            (void)m_registry->RegSaveAppValue(QStringLiteral("LCG"), ctx.glLCG, RegRoot::HKCU,
                                              REG_DWORD);
    }
    if (m_args.noFirstRun && m_firstRun) {
        ctx.glLCG |= kHasRunBefore;
        m_firstRun = false;
    }
    return true;
}

void modMain::setUserAgent(BrowserControl *first)
{
    AppContext &ctx = m_ctx;
    ctx.gsVersion = QStringLiteral("Skimline ") + kVersionNumber;
    const QString token = ctx.gsVersion + QStringLiteral("; ");
    const QString engineAgent = QString(ctx.gsDefaultUserAgent).remove(token);
    const QString fullAgent = token + engineAgent + QStringLiteral("; ") + ctx.gsUserAgent;
    ctx.gsUserAgentLine = QStringLiteral("User-Agent: ") + fullAgent;
    ctx.gsExtraHeaders = ctx.gsUserAgentLine + QStringLiteral("\r\n");
    if (first)
        first->setUserAgent(fullAgent);
}

void modMain::showFirstDocuments()
{
    AppContext &ctx = m_ctx;
    ctx.gbOffline = false;
    m_reader->nav.SetOfflineMode(false);
    // The unread pages of a run that ended abnormally come back in the background, also when
    // this start brings an address: the next start would delete them unseen.
    if (m_stores->rsTempSession.State() || QFileInfo::exists(m_stores->gsTempSessionFile)) {
        // With an address to show, window 0 is taken: the old pages go to other windows.
        if (!m_args.commandLine.isEmpty())
            ctx.gsWindowState[0] = QStringLiteral("a");
        (void)m_reader->queue.continueAbortedSession();
    }
    if (!m_args.commandLine.isEmpty())
        handleCommandLine();
    else if (ctx.gsWindowState.value(0) == QLatin1String("f"))
        showStartDocuments();
    if (ctx.gbOptBit2)
        m_reader->queue.mnuOL_LastSession_Click(0);
    if (ctx.gbOptBit1 && ctx.favoriteCommands.DownloadList)
        ctx.favoriteCommands.DownloadList(0);
}

void modMain::showStartDocuments()
{
    StartSituation s;
    s.firstRun = m_firstRun;
    s.shiftHeld = m_args.shiftHeld.value_or(shiftKeyHeld());
    QList<double> scheduled;
    Recordset &fav = m_stores->rsFavorites;
    if (!s.firstRun && !s.shiftHeld && fav.State()) {
        if (fav.SetFilter(QStringLiteral("Period = 1"))) {
            for (fav.MoveFirst(); !fav.isEOF(); fav.MoveNext())
                scheduled.append(fav.Bookmark());
        }
        fav.ClearFilter();
    }
    s.scheduledFavorites = int(scheduled.size());
    switch (ChooseFirstDocument(s)) {
    case FirstDocument::QuickHelp:
        m_ctx.glLCG |= kHasRunBefore;
        (void)m_registry->RegSaveAppValue(QStringLiteral("LCG"), m_ctx.glLCG, RegRoot::HKCU,
                                          REG_DWORD);
        m_frame->mnuHelpAr_Click(0);
        break;
    case FirstDocument::StartPage:
        loadInWindowZero(ProgramPages::url(QStringLiteral("Start.htm")).toString(),
                         LoadWhere::Here);
        if (s.shiftHeld)
            m_frame->activateWindow();
        break;
    case FirstDocument::ScheduledFavorites:
        // Each as a favorite (its bookmark): its visit is counted, a saved form is sent
        // again, a feed goes to the feed viewer.
        for (double bookmark : std::as_const(scheduled)) {
            LoadRequest r;
            r.source = LoadSource::Favorite;
            r.bookmark = bookmark;
            r.where = LoadWhere::Background;
            (void)m_reader->queue.LoadDocument(r);
        }
        break;
    }
    // Shift asks for the start page alone.
    if (!s.firstRun && !s.shiftHeld)
        m_reader->queue.SaveNextSessionURL(1);
}

void modMain::listenForLaterStarts()
{
    m_channel->setAccepting([this] { return !m_ctx.gbExiting; });
    if (!m_channel->listen())
        return;
    QPointer<MDIForm1> frame = m_frame.get();
    connect(m_channel.get(), &InstanceChannel::received, this, [frame](const QString &text) {
        if (frame && !text.isEmpty())
            frame->URL->setText(text);
    });
}

void modMain::watchForShutdownRequests()
{
    // After the engine has started: it resets these signals to their defaults when it starts.
    m_signals = std::make_unique<ShutdownSignals>([this](int) { requestExit(); });
    if (!m_signals->isActive())
        logMainError(QStringLiteral("Cannot catch the termination signals"));
    // The desktop's session is ending: exit as File > Exit does rather than be killed.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { requestExit(); });
    // Whoever ends the event loop, the exit sequence runs before the stores go.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (m_frame && !m_frame->isUnloaded())
            m_frame->close();
    });
}

void modMain::requestExit()
{
    // A dialog's or menu's loop is running: the code that opened it still uses the windows
    // the exit closes. End it and come back from the outer loop.
    constexpr int kMaxRetries = 100;
    if (QThread::currentThread()->loopLevel() > 1 && ++m_exitRetries <= kMaxRetries) {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        if (QWidget *modal = QApplication::activeModalWidget()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
        QTimer::singleShot(20, this, &modMain::requestExit);
        return;
    }
    if (m_frame && !m_frame->isUnloaded())
        m_frame->close();
    QCoreApplication::exit(0);
}

void modMain::showFavorites(int mode)
{
    if (m_organizer) {
        if ((m_organizer->state() == frmBookmark::DownloadMode) != (mode == 0))
            m_organizer->runCommand(0);
        m_organizer->raise();
        m_organizer->activateWindow();
        return;
    }
    frmBookmark::Hooks hooks;
    hooks.openEditor = m_ctx.dialogs.ShowFavoriteEditor;
    QPointer<MDIForm1> frame = m_frame.get();
    hooks.quickFoldersChanged = [frame] {
        if (frame && frame->sidebar() && frame->sidebar()->mhchElem == QLatin1String("m5"))
            frame->sidebar()->SidebarLinks(SidebarHtml::ListType::QuickFolders);
    };
    m_organizer =
        new frmBookmark(m_ctx, mode == 0 ? frmBookmark::DownloadMode : frmBookmark::OrganizeMode,
                        std::move(hooks), m_frame.get());
    m_organizer->show();
}

void modMain::createWindowZero(std::unique_ptr<BrowserControl> control)
{
    AppContext &ctx = m_ctx;
    ctx.gBrowsers = {nullptr};
    ctx.gsWindowState = {QString()};
    ctx.giWindowOrder = {0};
    ctx.giLastWindow = 0;
    ctx.giCurrentWindow = 0;
    m_readerHost = std::make_unique<FrameReaderHost>(ctx, *m_frame);
    m_reader = std::make_unique<Reader>(ctx, *m_readerHost);
    ctx.reader = m_reader.get();
    m_frame->connectReader();
    ctx.LoadDocument = [this](const QString &url, LoadWhere where) {
        (void)m_reader->queue.LoadDocument(url, where);
    };
    ctx.dialogs.ShowOptions = [this] { (void)Options::Show(m_ctx, m_frame.get()); };
    ctx.dialogs.ShowOpenURL = [this] {
        (void)OpenURL::Show(m_ctx, OpenURL::OpenAddress, m_frame.get());
    };
    ctx.dialogs.ShowFormDataEditor = [this] { (void)frmEditor::Show(m_ctx, m_frame.get()); };
    ctx.dialogs.AskGroupName = [this](std::function<void(const QString &)> answer) {
        (void)OpenURL::Show(m_ctx, OpenURL::GroupName, m_frame.get(), std::move(answer));
    };
    ctx.dialogs.ShowFavorites = [this](int mode) { showFavorites(mode); };
    SearchRecords::connect(ctx, *m_reader, m_frame.get());
    m_scheduled = std::make_unique<ScheduledPages>(ctx);
    ctx.favoriteCommands.DownloadList = [this](int index) {
        (void)m_scheduled->mnuOL_DownloadList_Click(index);
    };
    ctx.favoriteCommands.Home = [this] { (void)m_scheduled->mnuHome_Click(); };
    m_feeds = std::make_unique<FeedViewers>(ctx);
    ctx.favoriteCommands.OpenFeedViewer = [this](const QString &url, double bookmark, int slot) {
        m_feeds->OpenFeedViewer(url, bookmark, slot);
    };
    if (ctx.http) {
        m_linkChecker = std::make_unique<LinkChecker>(ctx, *ctx.http);
        m_linkChecker->saveFavorites = [this] {
            if (m_stores)
                (void)SaveFavorites(*m_stores);
        };
        ctx.favoriteCommands.LinkCheck = [this](const QString &code) { linkCheckCommand(code); };
    }
    ctx.dialogs.ShowFavoriteEditor = [this](int mode, const QString &keywords) {
        frmFavAdd::Hooks hooks;
        // The organizer shows what the editor changed.
        hooks.closed = [this] {
            if (m_organizer)
                m_organizer->rebuild();
        };
        hooks.attachKeywordsDropDown = [this](QWidget &window, BrowserControl &control,
                                              const QString &fieldId, const QStringList &entries) {
            return frmFavAdd::Hooks::DropDown{
                AttachFieldDropDown(m_ctx, window, control, fieldId, entries),
                cDropDownPopup::eventRules(fieldId)};
        };
        (void)new frmFavAdd(m_ctx, mode, std::move(hooks), keywords, m_frame.get());
    };
    ctx.dialogs.ImportBookmarks = [this] {
        const QString told = ImportBookmarksCommand(m_ctx);
        if (!told.isEmpty())
            m_frame->SetStatusText(3, told);
        if (m_organizer)
            m_organizer->rebuild();
    };
    m_readerHost->onDocumentCompleted = [this](const QString &url) {
        m_completed << url;
        // After the first page's own status texts, which would hide it.
        if (!m_importMessage.isEmpty())
            QTimer::singleShot(0, m_frame.get(), [this] {
                m_frame->SetStatusText(3, std::exchange(m_importMessage, QString()));
            });
        if (m_args.printCompleted) {
            std::fprintf(stdout, "completed %s\n", qPrintable(url));
            std::fflush(stdout);
        }
        checkIdle();
    };
    if (!control) {
        logMainError(QStringLiteral("No browser control for the first window"));
        return;
    }
    m_readerHost->setUserAgent(control->userAgent());
    frmBrowser *form = m_readerHost->adoptWindow(0, std::move(control));
    if (!form)
        return;
    form->InitializeForm(0, false);
    m_frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(form->parentWidget()));
    // Free for the first document of this run.
    ctx.gsWindowState[0] = QStringLiteral("f");
    m_reader->pool.zBrowseMode(3);
}

void modMain::linkCheckCommand(const QString &code)
{
    DocumentWindow *w = m_reader ? m_reader->pool.current() : nullptr;
    if (code == QLatin1String("S")) {
        m_linkChecker->stop();
        return;
    }
    if (code == QLatin1String("A") || code == QLatin1String("B")) {
        if (!w || !w->brwWebBrowser)
            return;
        const bool all = code == QLatin1String("A");
        w->brwWebBrowser->document().addCssRule(
            all ? QStringLiteral(".C0, .C2, .C3, .C4, .C5, .Local")
                : QStringLiteral(".C2, .C3, .Local"),
            all ? QStringLiteral("display:block") : QStringLiteral("display:none"));
        return;
    }
    if (!w || !w->brwWebBrowser || m_linkChecker->isRunning())
        return;
    const QString title = QStringLiteral("Checking Links");
    // The window the report went to, while it still shows it.
    const int slot = w->miTag;
    const auto report = [this, w, slot, title]() -> DocumentWindow * {
        DocumentWindow *now = m_reader ? m_reader->pool.window(slot) : nullptr;
        return now == w && now->brwWebBrowser && now->strDocumentTitle == title ? now : nullptr;
    };
    // Entries go before a mark at the body's end: writes name the element they change.
    const QString end = QStringLiteral("LCEnd");
    LinkCheckOutput out;
    out.writePage = [w, title, end](const QString &html) {
        w->writeProgramPage(
            QString(html).replace(QStringLiteral("<body></body>"),
                                  QStringLiteral("<body><span id=%1></span></body>").arg(end)),
            QStringLiteral("CheckLinks.htm"), title);
    };
    out.append = [report, end](const QString &html) {
        DocumentWindow *shown = report();
        if (!shown)
            return;
        Document &doc = shown->brwWebBrowser->document();
        doc.insertAdjacentHTML(end, QStringLiteral("beforeBegin"), html);
        doc.scrollTo(0, 1 << 24);
    };
    out.showMenu = [this](const QString &html) {
        if (Sidebar *sb = m_frame ? m_frame->sidebar() : nullptr)
            sb->showMenuHtml(html);
    };
    out.progress = [this](const QString &text) { m_frame->SetStatusText(3, text); };
    out.finished = [this] {
        if (m_ctx.ui)
            m_ctx.ui->flashWindow(m_frame.get());
    };
    (void)m_linkChecker->start(code == QLatin1String("R") ? LinkCheckScope::Questionable
                                                          : LinkCheckScope::All,
                               std::move(out));
}

void modMain::loadInWindowZero(const QString &url, LoadWhere where)
{
    if (!url.isEmpty() && m_ctx.LoadDocument)
        m_ctx.LoadDocument(url, where);
}

void modMain::handleCommandLine()
{
    m_ctx.gsWindowState[0] = QStringLiteral("a");
    const CommandLineAction action = ParseCommandLine(m_args.commandLine, m_args.workingDir);
    switch (action.kind) {
    case CommandLineKind::Setup: {
        loadInWindowZero(
            ProgramPages::url(QStringLiteral("sklHelp.htm?Upgrade#NewFeatures")).toString(),
            LoadWhere::Here);
        const ShellIntegration::Outcome installed = ShellIntegration::InstallDesktopEntry(
            DesktopApps(), QCoreApplication::applicationFilePath());
        if (m_frame)
            m_frame->SetStatusText(3, installed.message);
        break;
    }
    case CommandLineKind::Uninstall:
        break; // handled before start-up opened anything
    case CommandLineKind::Address:
        m_ctx.LoadDocument(action.address, LoadWhere::Here);
        break;
    case CommandLineKind::Empty:
        break;
    }
}

void modMain::fillSearchEngines()
{
    SearchEngines &s = m_ctx.gSearchEngines;
    s.clear();
    const QString custom = QStringLiteral(
        "https://www.google.com/custom?q=!&sa=Search&client=pub-skimline&cof=FORID:1");
    s.add(QStringLiteral("1"),
          QStringLiteral("https://search.usa.gov/fedsearch2/index.jsp?db=www&mt=all&fr=0&mw=!&"
                         "submit=Search"));
    s.add(QStringLiteral("9"), QStringLiteral("https://duckduckgo.com/!"));
    s.add(QStringLiteral("a"), QStringLiteral("https://www.answers.com/main/ntquery?s=!"));
    s.add(QStringLiteral("d"), QStringLiteral("https://www.dictionary.com/search?q=!"));
    s.add(QStringLiteral("e"),
          QStringLiteral("https://www.ebay.com/search/search.dll?cgiurl=https%3A%2F%2Fwww.ebay.com"
                         "%2F&krd=1&from=R8&MfcISAPICommand=GetResult&ht=1&SortProperty="
                         "MetaEndSort&query=!"));
    s.add(QStringLiteral("f"), QStringLiteral("https://www.google.com/froogle?q=!"));
    s.add(QStringLiteral("g"), custom);
    s.add(QStringLiteral("i"),
          QStringLiteral("https://www.imdb.com/Find?select=All&for=!&Go.x=16&Go.y=10"));
    s.add(QStringLiteral("j"),
          QStringLiteral("https://www.ask.com/main/askjeeves.asp?ask=!&o=0&x=13&y=14"));
    s.add(QStringLiteral("l"),
          QStringLiteral("https://www.law.cornell.edu/cgi-bin/lc.pl?entry=!&sites=wlegal"));
    s.add(QStringLiteral("m"), QStringLiteral("https://www.bing.com/results.asp?q=!"));
    s.add(QStringLiteral("n"), QStringLiteral("https://news.google.com/news?hl=en&q=!"));
    s.add(QStringLiteral("o"), QStringLiteral("https://www.findarticles.com/p/search?qt=!&tb=art"));
    s.add(QStringLiteral("p"), QStringLiteral("https://www.google.com/images?q=!"));
    s.add(QStringLiteral("v"),
          QStringLiteral("https://search.yippy.com/search?v%3Aproject=query-site&query=!&"
                         "v%3Asources=Web"));
    s.add(QStringLiteral("y"), QStringLiteral("https://search.yahoo.com/bin/search?p=!"));
    s.add(QStringLiteral("w"),
          QStringLiteral("https://en.wikipedia.org/wiki/Special:Search?search=!&go=Go"));
    s.add(QStringLiteral("?"), custom);
}

void modMain::startVersionCheck()
{
    const QString address = m_file->GetOption(QStringLiteral("VersionURL"), QString()).toString();
    if (address.isEmpty() || !m_ctx.gbOnline || !m_ctx.http)
        return;
    HttpRequest request;
    request.url = QUrl(address);
    request.maxBodyBytes = 256 * 1024;
    QPointer<MDIForm1> frame = m_frame.get();
    m_ctx.http->request(request, [this, frame](const HttpResponse &response) {
        if (!response.ok() || !frame)
            return;
        QXmlStreamReader xml(response.body);
        QString current;
        while (!xml.atEnd() && current.isNull()) {
            if (xml.readNext() == QXmlStreamReader::StartElement &&
                xml.name() == QLatin1String("CurrentVersion"))
                current = xml.readElementText();
        }
        if (xml.hasError() || current.isNull())
            return;
        const QString known =
            m_file->GetOption(QStringLiteral("CurrentVersion"), QString()).toString();
        if (current == known)
            return;
        frame->mnuHelpAr_Click(3);
        (void)m_file->SetOption(QStringLiteral("CurrentVersion"), current);
    });
}

void modMain::writeDeferred()
{
    // The exit writes what it needs by itself.
    if (m_ctx.gbExiting || !m_registry || !m_stores)
        return;
    const QString appPath = m_ctx.gsAppPath + QLatin1Char('/');
    const RegResult pa =
        m_registry->RegGetAppValue(QStringLiteral("PA"), RegRoot::HKLM, REG_SZ, QString());
    if (!pa.ok() || pa.value.toString() != appPath)
        (void)m_registry->RegSaveAppValue(QStringLiteral("PA"), appPath, RegRoot::HKLM, REG_SZ);
    if (std::exchange(m_lcgPending, false))
        (void)m_registry->RegSaveAppValue(QStringLiteral("LCG"), m_ctx.glLCG, RegRoot::HKCU,
                                          REG_DWORD);
    CreatePendingStoreFiles(*m_stores);
}

void modMain::checkIdle()
{
    if (!m_args.exitWhenIdle || m_completed.isEmpty() || m_ctx.gbExiting)
        return;
    for (frmBrowser *f : std::as_const(m_ctx.gBrowsers)) {
        if (f && f->brwWebBrowser && f->brwWebBrowser->isLoading())
            return;
    }
    if (m_ctx.giLoadingCount > 0)
        return;
    if (m_stores && m_stores->rsCurrentSession.State()) {
        Recordset queued = m_stores->rsCurrentSession.Clone();
        if (queued.SetFilter(QStringLiteral("bRead = 0 AND bLoaded = 0")) &&
            queued.RecordCount() > 0)
            return;
    }
    Q_EMIT idle();
}

void modMain::discardRun()
{
    // Declined: end without the exit sequence, leaving no session behind.
    if (m_frame) {
        m_frame->UnloadChildren();
        m_frame->hide();
    }
    if (m_reader)
        m_reader->log.waitForSaves();
    if (m_stores) {
        m_stores->rsCurrentSession.Close();
        m_stores->rsCurrentSessionClone.Close();
        if (!m_stores->gsCurrentSessionFile.isEmpty())
            QFile::remove(m_stores->gsCurrentSessionFile);
    }
}
