#include "frame/MDIForm1.h"

#include "frame/DesktopPrograms.h"
#include "frame/FormData.h"

#include "frame/CommandLine.h"
#include "frame/EarlierSessions.h"
#include "frame/ExitSequence.h"
#include "frame/FavoritesMenu.h"
#include "frame/Icons.h"
#include "frame/MenuTable.h"
#include "frame/Notes.h"
#include "frame/PageTools.h"
#include "frame/Pane.h"
#include "frame/PanePages.h"
#include "frame/SavedFiles.h"
#include "frame/SelectionCommands.h"
#include "frame/Sidebar.h"
#include "frame/TopBar.h"
#include "frame/cPopup.h"
#include "frame/cPopupMessage.h"
#include "platform/BrowserControl.h"
#include "platform/PageWriter.h"
#include "platform/Shell.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/OpenAllLinks.h"
#include "reader/Reader.h"
#include "reader/frmBrowser.h"
#include "store/Recordset.h"
#include "store/Stores.h"
#include "store/cFile.h"
#include "store/modRegistry.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Twips per pixel at the usual 96 dots per inch.
constexpr int kTwipsPerPixel = 15;

// A toolbar button's command; nullptr while its feature is not in the program (the button
// is then shown disabled).
using ToolCommand = void (*)(MDIForm1 &frame, Reader &reader);

struct ToolButtonSpec
{
    const char *key;
    const char *tooltip;
    const char *icon;  // freedesktop icon name
    const char *glyph; // drawn when the theme has no such icon
    ToolCommand run;
};

void stopButton(MDIForm1 &, Reader &r)
{
    const Qt::KeyboardModifiers mods =
        r.ctx.ui ? r.ctx.ui->keyboardModifiers() : QApplication::keyboardModifiers();
    if (mods & Qt::ControlModifier)
        r.pool.mnuNav_WinManSub_Click(2); // stop all downloads
    else
        r.queue.mnuNav_Stop_Click();
}

void openSelectedLinksButton(MDIForm1 &frame, Reader &r)
{
    r.nav.mnuOL_OpenAllLinks_Click(4);
    if (QAction *button = frame.toolButton(QStringLiteral("Open")))
        button->setToolTip(openButtonTooltip());
}

// clang-format off
const ToolButtonSpec kToolButtons[] = {
    {"Back", "Back", "go-previous", "<", [](MDIForm1 &, Reader &r) { r.queue.mnuBack_Click(); }},
    {"Forward", "Forward", "go-next", ">", [](MDIForm1 &, Reader &r) { r.queue.mnuForward_Click(); }},
    {"Stop", "Stop - CTRL+click to stop all downloads.", "process-stop", "x", stopButton},
    {"Refresh", "Refresh", "view-refresh", "R", [](MDIForm1 &, Reader &r) { r.queue.mnuRefresh_Click(); }},
    {"Home", "Home", "go-home", "H", [](MDIForm1 &f, Reader &) { f.menuItem("mnuHome")->trigger(); }},
    {"Find", "Find Files, Folders. Ctrl-F to search for text.", "system-search", "F", [](MDIForm1 &f, Reader &) { f.menuItem("mnuFind")->trigger(); }},
    {"Help", "Help", "help-browser", "?", [](MDIForm1 &f, Reader &) { f.mnuHelpAr_Click(1); }},
    {"Open", "Open All Selected Links", "window-new", "O", openSelectedLinksButton},
    {"Copy", "Copy", "edit-copy", "C", [](MDIForm1 &f, Reader &) { f.mnuCopy_Click(); }},
    {"Paste", "Paste", "edit-paste", "P", [](MDIForm1 &f, Reader &) { f.mnuPaste_Click(); }},
    {"Print", "Print", "document-print", "Pr", [](MDIForm1 &f, Reader &) { f.mnuPrint_Click(); }},
    {"Save", "Save", "document-save-as", "S", [](MDIForm1 &f, Reader &) { f.mnuSaveAs_Click(); }},
    {"FS", "Open in Same Window", "go-jump", "=", [](MDIForm1 &, Reader &r) { r.pool.mnuOpenInSameWindow_Click(); }},
    {"Favorites", "Favorites", "user-bookmarks", "*", [](MDIForm1 &f, Reader &) { f.menuItem("mnuFav_Sub(0)")->trigger(); }},
    {"AddtoFavorites", "Add to Favorites", "bookmark-new", "+*", [](MDIForm1 &f, Reader &) { f.menuItem("mnuFav_Sub(1)")->trigger(); }},
    {"ViewSource", "View Source", "text-x-generic", "</>", [](MDIForm1 &f, Reader &) { f.menuItem("mnuViewSource")->trigger(); }},
    {"MK", "Keep this page in memory", "emblem-important", "K",
     [](MDIForm1 &, Reader &r) { r.pool.zKeepInMemory(r.ctx.giCurrentWindow, true); }},
    {"ML", "Load this page in Internet Explorer", "web-browser", "W", [](MDIForm1 &f, Reader &) { f.mnuLoadPageInIE_Click(); }},
    {"SS", "Search Page", "edit-find", "S?", [](MDIForm1 &f, Reader &) { f.mnuSearch_Click(); }},
    {"PW", "Previous Window", "media-skip-backward", "|<", [](MDIForm1 &, Reader &r) { r.pool.mnuPreviousDoc_Click(); }},
    {"NW", "Next Window", "media-skip-forward", ">|", [](MDIForm1 &, Reader &r) { r.pool.mnuNextDoc_Click(); }},
};
// clang-format on

} // namespace

MDIForm1::MDIForm1(AppContext &ctx, QWidget *parent, PaneStart panes)
    : QMainWindow(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Skimline"));
    setWindowIcon(themedIcon("web-browser", "S"));
    setDockOptions(QMainWindow::AnimatedDocks);
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setViewMode(QMdiArea::SubWindowView);
    m_mdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    m_mdiArea->setBackground(QColor(0x8a, 0x94, 0xa0));
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &MDIForm1::onSubWindowActivated);

    URL = new QLineEdit(this);
    URL->setObjectName(QStringLiteral("URL"));
    URL->hide();
    connect(URL, &QLineEdit::textChanged, this, [this] { URL_Change(); });

    m_pageTools = std::make_unique<PageTools>(m_ctx, *this);
    m_savedFiles = std::make_unique<SavedFiles>(m_ctx, *this);
    buildMenus();
    buildPanes();
    buildToolBar();
    buildStatusBar();
    connectCommands();
    connectSidebar();
    // Shown until the saved setting says otherwise.
    menuItem(QStringLiteral("mnuView_Sidebar"))->setChecked(mbSidebarVisible);
    // At a large scale the default size would reach past the screen.
    QSize size(1100, 800);
    if (const QScreen *shown = screen())
        size = size.boundedTo(shown->availableGeometry().size());
    resize(size);
    ctx.mainForm = this;
    if (panes == PaneStart::AtOnce)
        writePanes();
}

MDIForm1::~MDIForm1()
{
    if (m_ctx.mainForm == this)
        m_ctx.mainForm = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Building

void MDIForm1::buildMenus()
{
    using namespace MenuTable;
    QList<QMenu *> stack;
    QMenu *holder = nullptr; // the never-shown holder of context menus
    for (const Row &row : kRows) {
        if (row.flags & End) {
            if (!stack.isEmpty())
                stack.removeLast();
            continue;
        }
        const QString name = QString::fromLatin1(row.name);
        const QString caption = QString::fromUtf8(row.caption);
        QAction *action = nullptr;
        if (row.flags & Begin) {
            QMenu *menu = nullptr;
            if (row.flags & NoBar) {
                menu = new QMenu(caption, this);
                holder = menu;
            } else if (stack.isEmpty()) {
                menu = menuBar()->addMenu(caption);
            } else {
                menu = stack.last()->addMenu(caption);
            }
            menu->setObjectName(name);
            menu->setToolTipsVisible(true);
            action = menu->menuAction();
            m_menus.insert(name, menu);
            stack.append(menu);
        } else if (caption == QLatin1String("-")) {
            // No text: styles draw a separator with text as a row with the text beside it.
            action = stack.last()->addSeparator();
        } else {
            action = stack.last()->addAction(caption);
        }
        Q_UNUSED(holder);
        action->setObjectName(name);
        if (row.shortcut && *row.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        if (row.flags & (Checkable | Checked))
            action->setCheckable(true);
        if (row.flags & Checked)
            action->setChecked(true);
        if (row.flags & Hidden)
            action->setVisible(false);
        if (row.flags & (Disabled | Later))
            action->setEnabled(false);
        if (row.flags & Later) {
            m_unavailable.insert(name);
            // Greyed items say why when the pointer rests on them.
            action->setToolTip(QString(caption).remove(QLatin1Char('&')) +
                               QStringLiteral(": not in the program yet"));
        }
        m_items.insert(name, action);
        m_menuOrder.append(name);
    }
    // The shortcuts of the menus must work while the menu bar is hidden too (full screen).
    for (QAction *a : std::as_const(m_items)) {
        if (!a->shortcut().isEmpty())
            addAction(a);
    }
}

void MDIForm1::buildPanes()
{
    // Top bar: toolbar above the address-box pane, docked across the whole width.
    aPBTopBar = new QDockWidget(this);
    aPBTopBar->setObjectName(QStringLiteral("aPBTopBar"));
    aPBTopBar->setFeatures(QDockWidget::NoDockWidgetFeatures);
    aPBTopBar->setTitleBarWidget(new QWidget(aPBTopBar));
    auto *top = new QWidget(aPBTopBar);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    tbToolBar = new QToolBar(top);
    tbToolBar->setObjectName(QStringLiteral("tbToolBar"));
    tbToolBar->setIconSize(QSize(22, 22));
    tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    topLayout->addWidget(tbToolBar);
    if (m_ctx.browsers) {
        if (std::unique_ptr<BrowserControl> control = m_ctx.browsers->createControl())
            m_topBarPane = std::make_unique<Pane>(std::move(control), QStringLiteral("aWBTopBar"));
        if (std::unique_ptr<BrowserControl> control = m_ctx.browsers->createControl())
            m_sidebarPane = std::make_unique<Pane>(std::move(control), QStringLiteral("cWB"));
    }
    if (m_topBarPane) {
        aWBTopBar = m_topBarPane->widget();
        // Until the page tells its height: two rows of cells.
        aWBTopBar->setFixedHeight(52);
        m_topBar = std::make_unique<TopBar>(m_ctx, *m_topBarPane);
        buildAddressBox();
    } else {
        aWBTopBar = new QWidget(top);
        aWBTopBar->setObjectName(QStringLiteral("aWBTopBar"));
        aWBTopBar->hide();
    }
    topLayout->addWidget(aWBTopBar);
    aPBTopBar->setWidget(top);
    addDockWidget(Qt::TopDockWidgetArea, aPBTopBar);

    // Sidebar
    cPic = new QDockWidget(this);
    cPic->setObjectName(QStringLiteral("cPic"));
    cPic->setFeatures(QDockWidget::NoDockWidgetFeatures);
    cPic->setTitleBarWidget(new QWidget(cPic));
    if (m_sidebarPane) {
        cWB = m_sidebarPane->widget();
        // The view has no minimum size of its own; the dock's layout needs one.
        cWB->setMinimumSize(80, 40);
        connect(m_sidebarPane.get(), &Pane::domEvent, this,
                [this](const DomEvent &event) { TrackTextEntry(m_ctx, event); });
        // Verdana is rarely there: the same face as the top bar's, not the default serif one.
        connect(m_sidebarPane.get(), &Pane::ready, this, [this] {
            m_sidebarPane->document().addCssRule(
                QStringLiteral("body,td,.W,input,textarea"),
                QStringLiteral("font-family:Verdana,'DejaVu Sans',sans-serif"));
        });
    } else {
        auto *sidebar = new QLabel(cPic);
        sidebar->setObjectName(QStringLiteral("cWB"));
        sidebar->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        sidebar->setWordWrap(true);
        sidebar->setMargin(8);
        sidebar->setText(QStringLiteral("<b>Sidebar</b>"));
        cWB = sidebar;
    }
    cPic->setWidget(cWB);
    cPic->setMinimumWidth(120);
    addDockWidget(Qt::LeftDockWidgetArea, cPic);
    resizeDocks({cPic}, {240}, Qt::Horizontal);
}

void MDIForm1::writePanes()
{
    // Written once; afterwards only parts of them change.
    if (std::exchange(m_panesWritten, true))
        return;
    if (m_topBarPane)
        m_topBarPane->write(PanePages::topBarPage());
    if (m_sidebarPane)
        m_sidebarPane->write(PanePages::sidebarPage());
}

void MDIForm1::connectSidebar()
{
    m_sidebar = std::make_unique<Sidebar>(m_ctx, *this);
    Sidebar *sb = m_sidebar.get();
    if (m_topBar) {
        TopBar *bar = m_topBar.get();
        bar->xShowSidebarTab = [sb](const QString &tab, int flag) {
            sb->xShowSidebarTab(tab, flag);
        };
        bar->flipHeadingsSwitch = [sb] { sb->giHeadings = sb->giHeadings < 1 ? 4 : 0; };
        sb->topBar.searchBoxText = [bar] { return bar->searchBoxText(); };
        sb->topBar.setSearchBoxText = [bar](const QString &t) { bar->setSearchBoxText(t); };
        sb->topBar.markCell = [bar](const QString &id, bool on) { bar->markCell(id, on); };
        sb->topBar.selectedTab = [bar] { return bar->selectedTab(); };
        // The history tab re-filters the history page while it is shown.
        bar->zHistoryShow = [sb] {
            if (!sb->historyShown())
                return false;
            sb->zHistoryShow(0, false);
            return true;
        };
    }
    if (m_sidebarPane) {
        Pane *pane = m_sidebarPane.get();
        sb->attach(pane->document());
        connect(pane, &Pane::ready, sb, &Sidebar::paneReady);
        m_notes = std::make_unique<Notes>(m_ctx, this);
        Notes *notes = m_notes.get();
        notes->attach(pane->document());
        // F2 in the text area saves the note rather than reaching the menu's F2.
        pane->control().setTextFieldKeys({Qt::Key_F2, Qt::Key_Escape});
        connect(pane, &Pane::ready, notes, [notes] { notes->zNotes(Notes::Fill); });
        connect(pane, &Pane::domEvent, sb, [sb, notes](const DomEvent &event) {
            if (!notes->domEvent(event))
                sb->domEvent(event);
        });
        notes->shownChanged = [this](bool shown) {
            if (m_topBar)
                m_topBar->markCell(QStringLiteral("Notes"), shown);
            if (shown && !mbSidebarVisible)
                showSidebar(true);
        };
        notes->showEntryMenu = [this] {
            if (QMenu *menu = subMenu(QStringLiteral("cmNotes_")))
                menu->popup(QCursor::pos());
        };
        if (m_topBar)
            m_topBar->showNotes = [notes] { notes->zNotes(Notes::ShowOrHide); };
        notes->appendToResearch = [this](const QString &note) {
            m_pageTools->AppendToCurrentResearchFile(true, note);
        };
        if (QAction *a = menuItem(QStringLiteral("cmNotes(0)")))
            connect(a, &QAction::triggered, notes, [notes] { notes->cmNotes_Click(0); });
        pane->onBeforeNavigate = [sb](const BeforeNavigateInfo &info) {
            (void)sb->cWB_BeforeNavigate2(info.url.toString());
        };
    }
    const auto on = [this](const QString &name, auto handler) {
        if (QAction *a = menuItem(name))
            connect(a, &QAction::triggered, m_sidebar.get(), handler);
    };
    for (int i = 1; i <= 3; ++i)
        on(QStringLiteral("mnuPopSB(%1)").arg(i), [sb, i] { sb->mnuPopSB_Click(i); });
    for (int i = 0; i <= 1; ++i)
        on(QStringLiteral("cmQF(%1)").arg(i), [sb, i] { sb->cmQF_Click(i); });
    on(QStringLiteral("cmGroups(0)"), [sb] { sb->cmGroups_Click(0); });
    on(QStringLiteral("mnuFav_Group(1)"), [sb] { sb->listGroups(); });
    m_favoritesMenu = new FavoritesMenu(m_ctx, *this);
}

void MDIForm1::buildAddressBox()
{
    m_addressBox = std::make_unique<cPopup>(m_ctx, this);
    cPopup *box = m_addressBox.get();
    box->setPane(m_topBarPane->control());
    m_topBar->setAddressBoxRules(cPopup::eventRules());
    m_topBar->addressBoxEvent = [box](const DomEvent &event) { box->domEvent(event); };
    box->OpenSearchShortcut = [this](const QString &text) { m_topBar->OpenSearchShortcut(text); };
    box->refused = [this](const QString &message) {
        // Told after the page's event: a message box runs a loop of its own.
        QTimer::singleShot(0, this, [this, message] {
            if (m_ctx.ui)
                m_ctx.ui->messageBox(message, QStringLiteral("Skimline"), MessageButtons::Ok,
                                     MessageIcon::Information);
        });
    };
    connect(m_topBarPane.get(), &Pane::ready, box,
            [this, box] { box->PopupInitializeClass(m_topBarPane->document()); });
}

void MDIForm1::buildToolBar()
{
    for (const ToolButtonSpec &def : kToolButtons) {
        const QString key = QString::fromLatin1(def.key);
        QAction *button = tbToolBar->addAction(themedIcon(def.icon, def.glyph), key);
        button->setObjectName(key);
        button->setToolTip(QString::fromUtf8(def.tooltip));
        button->setEnabled(def.run != nullptr);
        if (key == QLatin1String("FS") || key == QLatin1String("MK"))
            button->setCheckable(true);
        if (!def.run) {
            m_unavailable.insert(QStringLiteral("tb:") + key);
            button->setToolTip(button->toolTip() + QStringLiteral(": not in the program yet"));
        }
        connect(button, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
        m_buttons.insert(key, button);
        m_buttonOrder.append(key);
    }
    // The favorites buttons are their menu items and greyed with them.
    const std::pair<const char *, const char *> mirrored[] = {{"Favorites", "mnuFav_Sub(0)"},
                                                              {"AddtoFavorites", "mnuFav_Sub(1)"}};
    for (const auto &[key, name] : mirrored) {
        QAction *button = m_buttons.value(QString::fromLatin1(key));
        QAction *item = menuItem(QString::fromLatin1(name));
        button->setEnabled(item->isEnabled());
        connect(item, &QAction::enabledChanged, button, &QAction::setEnabled);
    }
}

void MDIForm1::buildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    for (int i = 0; i < 3; ++i) {
        auto *panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(i == 0 ? 200 : (i == 1 ? 110 : 220));
        if (i == 0)
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        StatusBar1->addPermanentWidget(panel, i == 0 ? 1 : 0);
        m_panels[i] = panel;
    }
}

void MDIForm1::connectCommands()
{
    auto on = [this](const char *name, auto handler) {
        if (QAction *a = menuItem(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, handler);
    };
    connect(subMenu(QStringLiteral("mnuFile")), &QMenu::aboutToShow, this,
            &MDIForm1::mnuFile_Click);
    connect(subMenu(QStringLiteral("mnuEdit")), &QMenu::aboutToShow, this,
            &MDIForm1::mnuEdit_Click);
    connect(subMenu(QStringLiteral("mnuTools")), &QMenu::aboutToShow, this,
            &MDIForm1::mnuTools_Click);
    connect(subMenu(QStringLiteral("mnuView")), &QMenu::aboutToShow, this,
            &MDIForm1::mnuView_Click);
    connect(subMenu(QStringLiteral("mnuFavorites")), &QMenu::aboutToShow, this,
            &MDIForm1::mnuFavorites_Click);

    on("mnuQuit", &MDIForm1::mnuQuit_Click);
    on("mnuFileDelete", &MDIForm1::mnuFileDelete_Click);
    on("mnuSaveAs", &MDIForm1::mnuSaveAs_Click);
    on("mnuPageSetup", &MDIForm1::mnuPageSetup_Click);
    on("mnuPrintPreview", &MDIForm1::mnuPrintPreview_Click);
    on("mnuPrint", &MDIForm1::mnuPrint_Click);
    on("mnuCut", &MDIForm1::mnuCut_Click);
    on("mnuCopy", &MDIForm1::mnuCopy_Click);
    on("mnuPaste", &MDIForm1::mnuPaste_Click);
    on("mnuSelectAll", &MDIForm1::mnuSelectAll_Click);
    on("mnuSearch", &MDIForm1::mnuSearch_Click);
    on("mnuView_FullScreen", &MDIForm1::mnuView_FullScreen_Click);
    on("mnuView_Sidebar", &MDIForm1::mnuView_Sidebar_Click);
    on("mnuView_History", &MDIForm1::mnuView_History_Click);
    on("mnuViewSetFocusAB", &MDIForm1::mnuViewSetFocusAB_Click);
    on("mnuOpen", &MDIForm1::mnuOpen_Click);
    on("mnuOptions", &MDIForm1::mnuOptions_Click);
    on("mnuLoadPageInIE", &MDIForm1::mnuLoadPageInIE_Click);
    on("mnuEditPage", &MDIForm1::mnuEditPage_Click);
    on("mnuNewMessage", &MDIForm1::mnuNewMessage_Click);
    on("mnuInternetOptions(0)", &MDIForm1::mnuInternetOptions_Click);
    for (const DesktopPrograms::ClientKind &client : DesktopPrograms::kClients)
        on(client.menu, [this, &client] { runClient(client); });
    // The reading workflow's commands: the pool's and the loader's.
    const auto pool = [this](auto action) {
        return [this, action] {
            if (m_ctx.reader)
                action(m_ctx.reader->pool);
        };
    };
    const auto queue = [this](auto action) {
        return [this, action] {
            if (m_ctx.reader)
                action(m_ctx.reader->queue);
        };
    };
    on("mnuOL_Start", queue([](LoadingQueue &q) { q.mnuOL_Start_Click(); }));
    on("mnuNextDoc", pool([](WindowPool &p) { p.mnuNextDoc_Click(); }));
    on("mnuPreviousDoc", pool([](WindowPool &p) { p.mnuPreviousDoc_Click(); }));
    on("mnuNav_PrevWin", pool([](WindowPool &p) { p.mnuNav_PrevWin_Click(); }));
    on("mnuKeepInMemory", pool([](WindowPool &p) { p.mnuKeepInMemory_Click(); }));
    on("mnuOpenInSameWindow", pool([](WindowPool &p) { p.mnuOpenInSameWindow_Click(); }));
    for (int i = 0; i <= 2; ++i)
        on(qPrintable(QStringLiteral("mnuBrowseMode(%1)").arg(i)),
           pool([i](WindowPool &p) { p.zBrowseMode(i); }));
    for (int i = 0; i <= 1; ++i)
        on(qPrintable(QStringLiteral("mnuNav_Win(%1)").arg(i)),
           pool([this, i](WindowPool &p) { p.mnuNav_Win_Click(i, m_ctx.giCurrentWindow); }));
    for (int i = 0; i <= 3; ++i)
        on(qPrintable(QStringLiteral("mnuNav_WinManSub(%1)").arg(i)),
           pool([i](WindowPool &p) { p.mnuNav_WinManSub_Click(i); }));
    on("mnuRefresh", queue([](LoadingQueue &q) { q.mnuRefresh_Click(); }));
    on("mnuNav_Stop", queue([](LoadingQueue &q) { q.mnuNav_Stop_Click(); }));
    on("mnuBack", queue([](LoadingQueue &q) { q.mnuBack_Click(); }));
    on("mnuForward", queue([](LoadingQueue &q) { q.mnuForward_Click(); }));
    on("mnuOffline", queue([](LoadingQueue &q) { q.mnuOffline_Click(); }));
    on("mnuFav_Sub2", queue([](LoadingQueue &q) { q.SaveNextSessionURL(0); }));
    for (int i = 0; i <= 2; ++i)
        on(qPrintable(QStringLiteral("mnuOL_LastSession(%1)").arg(i)),
           queue([i](LoadingQueue &q) { q.mnuOL_LastSession_Click(i); }));
    // The sessions kept before the last one, read again when the menu opens: an exit of
    // another program may have added one.
    connect(subMenu(QStringLiteral("mnuOL_LastSession_")), &QMenu::aboutToShow, this, [this] {
        if (!m_ctx.stores)
            return;
        FillEarlierSessionsMenu(*subMenu(QStringLiteral("mnuOL_EarlierSessions_")), *m_ctx.stores,
                                [this](const QString &file, int index) {
                                    if (m_ctx.reader)
                                        m_ctx.reader->queue.mnuOL_LastSession_Click(index, file);
                                });
    });
    // Open all links: item 4 only with a selection.
    for (int i = 0; i <= 4; ++i)
        on(qPrintable(QStringLiteral("mnuOL_OpenAllLinks(%1)").arg(i)), [this, i] {
            if (m_ctx.reader)
                m_ctx.reader->nav.mnuOL_OpenAllLinks_Click(i);
        });
    on("mnuHome", [this] {
        if (m_ctx.favoriteCommands.Home)
            m_ctx.favoriteCommands.Home();
    });
    for (int i = 0; i <= 1; ++i)
        on(qPrintable(QStringLiteral("mnuOL_DownloadList(%1)").arg(i)), [this, i] {
            if (m_ctx.favoriteCommands.DownloadList)
                m_ctx.favoriteCommands.DownloadList(i);
        });
    PageTools *tools = m_pageTools.get();
    for (int i = 0; i < PageTools::kTranslationPairs; ++i)
        on(qPrintable(QStringLiteral("mnuTranslate(%1)").arg(i)),
           [tools, i] { tools->mnuTranslate_Click(i); });
    for (int i = 0; i < PageTools::kWebTools; ++i)
        on(qPrintable(QStringLiteral("mnuTools_Web(%1)").arg(i)),
           [tools, i] { tools->mnuTools_Web_Click(i); });
    on("mnuNav_GotoHomePageofThisSite", [tools] { tools->mnuNav_GotoHomePageofThisSite_Click(); });
    on("mnuView_EnlargeFonts", [tools] { tools->mnuView_EnlargeFonts_Click(); });
    on("mnuView_IncreaseImageSizes", [tools] { tools->mnuView_IncreaseImageSizes_Click(); });
    on("mnuEdit_CopyLink", [tools] { tools->mnuEdit_CopyLink_Click(); });
    on("mnuOpenLocalFile", [tools] { tools->mnuOpenLocalFile_Click(); });
    on("mnuViewSource", [tools] { tools->mnuViewSource_Click(); });
    on("mnuView_StyleSheets", [tools] { tools->mnuView_StyleSheets_Click(); });
    on("mnuFind", [tools] { tools->mnuFind_Click(); });
    SavedFiles *saved = m_savedFiles.get();
    on("mnuFile_Save(0)", [saved] { saved->mnuFile_Save_Click(); });
    on("mnuView_SavedFiles", [saved] { saved->mnuView_SavedFiles_Click(); });
    for (int i = 0; i <= 11; ++i)
        on(qPrintable(QStringLiteral("mnuPopSelection(%1)").arg(i)),
           [this, i] { mnuPopSelection_Click(i); });
    for (int i = 0; i <= 1; ++i)
        on(qPrintable(QStringLiteral("mnuPopFD(%1)").arg(i)), [this, i] { mnuPopFD_Click(i); });
    on("mnuEdit_FormData", [this] {
        if (m_ctx.dialogs.ShowFormDataEditor)
            m_ctx.dialogs.ShowFormDataEditor();
    });
    if (m_ctx.gFile)
        FillFormDataMenu(m_ctx.gFile->ReadFileToVariable(m_ctx.folders.formDataFile));
    // The document menu marks the element under the pointer while it is open.
    connect(subMenu(QStringLiteral("mnuTools_Selection")), &QMenu::aboutToHide, this, [this] {
        if (m_ctx.reader)
            m_ctx.reader->nav.contextMenuClosed();
    });
    connect(subMenu(QStringLiteral("mnuOpenLinks")), &QMenu::aboutToShow, this, [this] {
        if (QAction *selected = menuItem(QStringLiteral("mnuOL_OpenAllLinks(4)")))
            selected->setEnabled(m_ctx.reader && m_ctx.reader->nav.mnuOpenLinks_Click());
    });
    on("mnuReport", [this] {
        if (m_ctx.reader)
            m_ctx.reader->report.mnuReport_Click();
    });
    connect(subMenu(QStringLiteral("mnuWindow")), &QMenu::aboutToShow, this, [this] {
        if (m_ctx.reader)
            m_ctx.reader->pool.mnuWindow_Click();
    });
    for (int i = 0; i <= 4; ++i)
        on(qPrintable(QStringLiteral("mnuTS(%1)").arg(i)), [this, i] { mnuTS_Click(i); });
    for (int i = 0; i <= 10; ++i)
        on(qPrintable(QStringLiteral("mnuHelpAr(%1)").arg(i)), [this, i] { mnuHelpAr_Click(i); });
}

// ---------------------------------------------------------------------------------------------
// Lookups

QAction *MDIForm1::menuItem(const QString &name) const
{
    return m_items.value(name, nullptr);
}

QMenu *MDIForm1::subMenu(const QString &name) const
{
    return m_menus.value(name, nullptr);
}

bool MDIForm1::isCommandAvailable(const QString &name) const
{
    return !m_unavailable.contains(name);
}

void MDIForm1::setCommandEnabled(const QString &name, bool enabled)
{
    if (QAction *a = menuItem(name))
        a->setEnabled(enabled && isCommandAvailable(name));
}

QAction *MDIForm1::toolButton(const QString &key) const
{
    return m_buttons.value(key, nullptr);
}

QStringList MDIForm1::toolButtonKeys() const
{
    return m_buttonOrder;
}

// ---------------------------------------------------------------------------------------------
// Document windows and status bar

QMdiSubWindow *MDIForm1::addDocumentWindow(frmBrowser *form)
{
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(form);
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setWindowIcon(themedIcon("text-html", "W"));
    connect(form, &frmBrowser::titleChange, sub,
            [sub](const QString &title) { sub->setWindowTitle(title); });
    sub->showMaximized();
    return sub;
}

frmBrowser *MDIForm1::ActiveForm() const
{
    QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
    if (!sub)
        sub = m_mdiArea->currentSubWindow();
    if (sub)
        return qobject_cast<frmBrowser *>(sub->widget());
    // No child has been activated yet: the current slot is the one the user sees.
    if (m_ctx.giCurrentWindow >= 0 && m_ctx.giCurrentWindow < m_ctx.gBrowsers.size())
        return m_ctx.gBrowsers.at(m_ctx.giCurrentWindow);
    return nullptr;
}

void MDIForm1::onSubWindowActivated(QMdiSubWindow *window)
{
    if (!window)
        return;
    if (auto *form = qobject_cast<frmBrowser *>(window->widget())) {
        if (!window->isMaximized())
            window->showMaximized();
        Q_EMIT documentWindowActivated(form);
    }
}

void MDIForm1::SetStatusText(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 3)
        m_panels[panel - 1]->setText(text);
}

QString MDIForm1::StatusText(int panel) const
{
    return panel >= 1 && panel <= 3 ? m_panels[panel - 1]->text() : QString();
}

// ---------------------------------------------------------------------------------------------
// Menu enabling

void MDIForm1::mnuFile_Click()
{
    frmBrowser *f = ActiveForm();
    if (QAction *same = menuItem(QStringLiteral("mnuOpenInSameWindow")))
        same->setChecked(f && f->bOpenInSameWindow);
    bool deletable = false;
    if (f && f->msURL.left(8).toLower() == QLatin1String("file:///")) {
        const QString path = QUrl(f->msURL).toLocalFile();
        const QFileInfo info(path);
        deletable = !path.isEmpty() && info.exists() && info.isFile();
    }
    menuItem(QStringLiteral("mnuFileDelete"))->setEnabled(deletable);
}

void MDIForm1::mnuEdit_Click()
{
    frmBrowser *f = ActiveForm();
    const struct
    {
        const char *name;
        BrowserCommand command;
    } items[] = {{"mnuCut", BrowserCommand::Cut},
                 {"mnuCopy", BrowserCommand::Copy},
                 {"mnuPaste", BrowserCommand::Paste},
                 {"mnuSelectAll", BrowserCommand::SelectAll}};
    for (const auto &item : items) {
        const bool enabled =
            f && f->brwWebBrowser && f->brwWebBrowser->queryCommandEnabled(item.command);
        menuItem(QString::fromLatin1(item.name))->setEnabled(enabled);
    }
}

void MDIForm1::runClient(const DesktopPrograms::ClientKind &client)
{
    const std::optional<DesktopApp> app = DesktopApps().defaultFor(QLatin1String(client.mimeType));
    const QStringList command = app ? DesktopApps::commandLine(*app, {}) : QStringList();
    if (command.isEmpty() || !m_ctx.shell ||
        !m_ctx.shell->runProgram(command.first(), command.mid(1)))
        SetStatusText(
            3, QStringLiteral("No %1 program could be started.").arg(QLatin1String(client.kind)));
}

// Each desktop program's item says why it is greyed when the desktop has none.
void MDIForm1::showDesktopPrograms()
{
    const DesktopApps apps;
    auto show = [this](const QString &name, bool available, const QString &why) {
        if (QAction *a = menuItem(name)) {
            a->setEnabled(available);
            a->setToolTip(available ? QString() : why);
        }
    };
    for (const DesktopPrograms::ClientKind &client : DesktopPrograms::kClients)
        show(QLatin1String(client.menu),
             apps.defaultFor(QLatin1String(client.mimeType)).has_value(),
             QStringLiteral("This desktop has no default %1 program.")
                 .arg(QLatin1String(client.kind)));
    show(QStringLiteral("mnuNewMessage"),
         apps.defaultFor(QStringLiteral("x-scheme-handler/mailto")).has_value(),
         QStringLiteral("This desktop has no default mail program."));
    show(QStringLiteral("mnuInternetOptions(0)"), !DesktopPrograms::networkSettings().isEmpty(),
         QStringLiteral("This desktop has no network settings program (GNOME's or KDE's)."));
}

void MDIForm1::mnuNewMessage_Click()
{
    if (!m_ctx.shell || !m_ctx.shell->openUrl(QUrl(QStringLiteral("mailto:"))))
        SetStatusText(3, QStringLiteral("No mail program could be started."));
}

void MDIForm1::mnuInternetOptions_Click()
{
    const QStringList command = DesktopPrograms::networkSettings();
    if (command.isEmpty() || !m_ctx.shell ||
        !m_ctx.shell->runProgram(command.first(), command.mid(1)))
        SetStatusText(3, QStringLiteral("The desktop's network settings could not be opened."));
}

void MDIForm1::mnuLoadPageInIE_Click()
{
    const frmBrowser *f = ActiveForm();
    const QString address = f ? f->msURL : QString();
    if (address.isEmpty() || ProgramPages::hasProgramScheme(QUrl(address)))
        return; // the program's own pages open nowhere else
    const std::optional<DesktopApp> browser =
        DesktopPrograms::otherBrowser(DesktopApps(), QCoreApplication::applicationFilePath());
    const QStringList command =
        browser ? DesktopApps::commandLine(*browser, {address}) : QStringList();
    if (command.isEmpty()) {
        SetStatusText(3, QStringLiteral("This desktop has no other web browser."));
        return;
    }
    if (!m_ctx.shell || !m_ctx.shell->runProgram(command.first(), command.mid(1)))
        SetStatusText(3, browser->name + QStringLiteral(" could not be started."));
}

void MDIForm1::mnuEditPage_Click()
{
    frmBrowser *f = ActiveForm();
    if (!f || !f->brwWebBrowser || f->msURL.isEmpty())
        return;
    const std::optional<DesktopApp> editor =
        DesktopPrograms::htmlEditor(DesktopApps(), QCoreApplication::applicationFilePath());
    if (!editor) {
        SetStatusText(3, QStringLiteral("This desktop has no HTML or text editor."));
        return;
    }
    auto edit = [this, app = *editor](const QString &path) {
        const QStringList command = DesktopApps::commandLine(app, {path});
        if (command.isEmpty() || !m_ctx.shell ||
            !m_ctx.shell->runProgram(command.first(), command.mid(1)))
            SetStatusText(3, app.name + QStringLiteral(" could not be started."));
    };
    const QUrl url(f->msURL);
    if (url.isLocalFile()) {
        edit(url.toLocalFile());
        return;
    }
    // A web page is edited as a copy in the documents folder, as Save HTML Only keeps one.
    const QString title = f->strDocumentTitle.trimmed();
    const std::optional<QString> name =
        m_ctx.gFile ? m_ctx.gFile->ValidFilename(title.isEmpty() ? QStringLiteral("page") : title)
                    : std::nullopt;
    if (!name)
        return;
    const QString path = QDir(m_ctx.folders.documents).filePath(*name + QStringLiteral(".htm"));
    QPointer<MDIForm1> self(this);
    f->brwWebBrowser->document().queryOuterHTML([self, path, edit](const QString &html) {
        if (!self)
            return;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile out(path);
        if (html.isEmpty() || !out.open(QIODevice::WriteOnly) ||
            out.write(QByteArrayLiteral("<!DOCTYPE html>\n") + html.toUtf8()) < 0 ||
            !out.commit()) {
            self->SetStatusText(3, QStringLiteral("The page could not be saved to ") + path);
            return;
        }
        edit(path);
    });
}

void MDIForm1::mnuTools_Click()
{
    showDesktopPrograms();
    frmBrowser *f = ActiveForm();
    const bool selection =
        f && f->brwWebBrowser && f->brwWebBrowser->queryCommandEnabled(BrowserCommand::Copy);
    menuItem(QStringLiteral("mnuTools_Selection"))->setEnabled(selection);
    setCommandEnabled(QStringLiteral("mnuPopSelection(1)"), selection);
    // From the menu bar the Selection commands work on the page's selection.
    if (m_ctx.reader) {
        BrowserControl *c = readingControl();
        m_ctx.reader->nav.gsSelectedText =
            c && c->queryCommandEnabled(BrowserCommand::Copy) ? c->selectedText() : QString();
    }
}

BrowserControl *MDIForm1::readingControl() const
{
    if (m_ctx.reader) {
        if (DocumentWindow *w = m_ctx.reader->pool.current(); w && w->brwWebBrowser)
            return w->brwWebBrowser;
    }
    frmBrowser *f = ActiveForm();
    return f ? f->brwWebBrowser : nullptr;
}

void MDIForm1::mnuView_Click()
{
    frmBrowser *f = ActiveForm();
    if (!f || !f->brwWebBrowser)
        return;
    mvTextSize = f->brwWebBrowser->textSize();
    setCommandEnabled(QStringLiteral("mnuView_SavedFiles"),
                      m_ctx.stores && m_ctx.stores->rsSavedFiles.State() &&
                          m_ctx.stores->rsSavedFiles.RecordCount() > 0);
    for (int i = 0; i <= 4; ++i)
        menuItem(QStringLiteral("mnuTS(%1)").arg(i))->setChecked(i == mvTextSize);
}

void MDIForm1::mnuFavorites_Click()
{
    frmBrowser *f = ActiveForm();
    const bool fromFavorite = f && f->mdFavBookmark != 0;
    setCommandEnabled(QStringLiteral("mnuFav_Edit(0)"), fromFavorite);
    setCommandEnabled(QStringLiteral("mnuFav_Edit(1)"), fromFavorite);
}

// ---------------------------------------------------------------------------------------------
// Commands

void MDIForm1::mnuQuit_Click()
{
    close();
}

void MDIForm1::mnuFileDelete_Click()
{
    frmBrowser *f = ActiveForm();
    if (!f || f->msURL.left(8).toLower() != QLatin1String("file:///"))
        return;
    const QString path = QUrl(f->msURL).toLocalFile();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    // To the trash rather than gone: Ctrl+D is easy to press by mistake.
    if (!m_ctx.shell || !m_ctx.shell->moveToTrash(path))
        return;
    if (m_ctx.ui)
        m_ctx.ui->messageBox(QDir::toNativeSeparators(path) + QStringLiteral(" has been deleted."),
                             QStringLiteral("Skimline"));
    menuItem(QStringLiteral("mnuFileDelete"))->setEnabled(false);
}

bool MDIForm1::execOnActive(int command, int prompt)
{
    frmBrowser *f = ActiveForm();
    if (!f || !f->brwWebBrowser)
        return false;
    return f->brwWebBrowser->execCommand(static_cast<BrowserCommand>(command),
                                         static_cast<CommandPrompt>(prompt));
}

void MDIForm1::mnuSaveAs_Click()
{
    (void)execOnActive(int(BrowserCommand::SaveAs), int(CommandPrompt::PromptUser));
}

void MDIForm1::mnuPageSetup_Click()
{
    (void)execOnActive(int(BrowserCommand::PageSetup), int(CommandPrompt::PromptUser));
}

void MDIForm1::mnuPrintPreview_Click()
{
    (void)execOnActive(int(BrowserCommand::PrintPreview), int(CommandPrompt::PromptUser));
}

void MDIForm1::mnuPrint_Click()
{
    (void)execOnActive(int(BrowserCommand::Print), int(CommandPrompt::PromptUser));
}

void MDIForm1::mnuCut_Click()
{
    (void)execOnActive(int(BrowserCommand::Cut), int(CommandPrompt::Default));
}

void MDIForm1::mnuCopy_Click()
{
    (void)execOnActive(int(BrowserCommand::Copy), int(CommandPrompt::Default));
}

void MDIForm1::mnuPaste_Click()
{
    (void)execOnActive(int(BrowserCommand::Paste), int(CommandPrompt::Default));
}

void MDIForm1::mnuSelectAll_Click()
{
    (void)execOnActive(int(BrowserCommand::SelectAll), int(CommandPrompt::Default));
}

void MDIForm1::mnuTS_Click(int index)
{
    frmBrowser *f = ActiveForm();
    if (!f || !f->brwWebBrowser || index < 0 || index > 4)
        return;
    f->brwWebBrowser->setTextSize(index);
    mvTextSize = index;
}

void MDIForm1::mnuSearch_Click()
{
    frmBrowser *f = ActiveForm();
    if (f)
        (void)f->navigateHere(ProgramPages::url(QStringLiteral("sklSearch.htm")));
}

void MDIForm1::mnuView_FullScreen_Click()
{
    const bool F = mbFullScreen;
    aPBTopBar->setVisible(F);
    StatusBar1->setVisible(F);
    menuBar()->setVisible(F);
    showSidebar(F ? menuItem(QStringLiteral("mnuView_Sidebar"))->isChecked() : false);
    mbFullScreen = !F;
    m_ctx.gbFullScreen = mbFullScreen;
    menuItem(QStringLiteral("mnuView_FullScreen"))->setChecked(mbFullScreen);
    if (mbFullScreen) {
        m_stateBeforeFullScreen = windowState();
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(m_stateBeforeFullScreen & ~Qt::WindowFullScreen);
    }
}

void MDIForm1::mnuView_History_Click()
{
    if (m_ctx.gbOptBit4) {
        if (m_sidebar)
            m_sidebar->zHistoryShow(0, true);
    } else if (m_ctx.ui) {
        (void)m_ctx.ui->messageBox(Sidebar::noHistoryMessage(), QStringLiteral("Skimline"));
    }
}

void MDIForm1::mnuView_Sidebar_Click()
{
    QAction *item = menuItem(QStringLiteral("mnuView_Sidebar"));
    // The check mark has already toggled when the menu triggers the item; when called
    // directly, toggle it here.
    if (sender() != item)
        item->setChecked(!item->isChecked());
    mbSidebarVisible = item->isChecked();
    showSidebar(mbSidebarVisible);
}

void MDIForm1::mnuViewSetFocusAB_Click()
{
    // The address box lives in the top bar pane; without it there is nothing to focus.
    if (!m_topBarPane || !aPBTopBar->isVisible())
        return;
    m_addressBox->focusBox();
}

QString MDIForm1::helpPageUrl(int index) const
{
    switch (index) {
    case 3:
        return ProgramPages::url(QStringLiteral("Readme.htm?skl#WhatsNew")).toString();
    case 4:
        return ProgramPages::url(QStringLiteral("sklHelp.htm?skl#NewFeatures")).toString();
    case 5:
        return ProgramPages::url(QStringLiteral("Readme.htm?skl#Home")).toString();
    case 10:
        return ProgramPages::url(QStringLiteral("Readme.htm#Blog")).toString();
    default:
        return QString();
    }
}

void MDIForm1::loadProgramPage(const QString &relative, bool clearOtherWindow)
{
    frmBrowser *f = ActiveForm();
    if (clearOtherWindow && f)
        f->bNavigateInOtherWindow = false;
    const QString url =
        relative.contains(QLatin1Char(':')) ? relative : ProgramPages::url(relative).toString();
    if (m_ctx.LoadDocument)
        m_ctx.LoadDocument(url, LoadWhere::Here);
}

void MDIForm1::mnuHelpAr_Click(int index)
{
    switch (index) {
    case 0:
        m_ctx.giPageKind = 1;
        loadProgramPage(QStringLiteral("sklQuickHelp.htm"), true);
        break;
    case 1:
        m_ctx.giPageKind = 1;
        loadProgramPage(QStringLiteral("sklHelp.htm"), true);
        break;
    case 3:
    case 4:
        m_ctx.giPageKind = 1;
        loadProgramPage(helpPageUrl(index), false);
        break;
    case 5:
    case 10:
        loadProgramPage(helpPageUrl(index), false);
        break;
    case 6: {
        // The support address is a setting; without one the mail program opens unaddressed.
        if (m_ctx.shell)
            (void)m_ctx.shell->openUrl(QUrl(QStringLiteral("mailto:") + m_ctx.gsSupportMail +
                                            QStringLiteral("?subject=Skimline")));
        break;
    }
    case 8:
        if (!m_popup)
            m_popup = std::make_unique<cPopupMessage>(this, [this] { releasePopupMessage(); });
        m_popup->PopupShow(
            cPopupMessage::aboutHtml(m_ctx.gsVersion.isEmpty() ? QStringLiteral("Skimline")
                                                               : m_ctx.gsVersion),
            aWBTopBar && aWBTopBar->isVisible() ? aWBTopBar->width() : m_mdiArea->width());
        break;
    case 9:
        loadProgramPage(QStringLiteral("Readme.htm"), true);
        break;
    default:
        break;
    }
}

void MDIForm1::releasePopupMessage()
{
    if (m_popup)
        m_popup.release()->deleteLater();
}

void MDIForm1::mnuPopSelection_Click(int index)
{
    Reader *reader = m_ctx.reader;
    if (!reader || !isCommandAvailable(QStringLiteral("mnuPopSelection(%1)").arg(index)))
        return;
    const QString t = reader->nav.gsSelectedText;
    switch (index) {
    case 0: {
        BrowserControl *c = readingControl();
        if (c && c->queryCommandEnabled(BrowserCommand::Copy))
            (void)c->execCommand(BrowserCommand::Copy);
        else if (!t.isEmpty())
            QGuiApplication::clipboard()->setText(t); // the word under the pointer
        return;
    }
    case 1:
        reader->nav.mnuOL_OpenAllLinks_Click(4);
        return;
    case 2:
        if (m_notes)
            m_notes->zNotes(Notes::AppendSelection);
        return;
    case 4:
        if (const std::optional<QString> address = SelectionCommands::openUrlAddress(t))
            (void)reader->queue.LoadDocument(*address);
        return;
    case 3:
        m_pageTools->AppendToCurrentResearchFile(false);
        return;
    case 6:
        m_pageTools->viewSelectionSource();
        return;
    case 5:
        if (m_topBar && !t.trimmed().isEmpty()) {
            m_topBar->setSearchBoxText(t.trimmed());
            m_topBar->zHighlight();
        }
        return;
    default:
        if (const std::optional<QString> address =
                SelectionCommands::searchUrl(m_ctx.gSearchEngines, index, t))
            (void)reader->queue.LoadDocument(*address);
        return;
    }
}

void MDIForm1::mnuPopFD_Click(int index)
{
    if (!m_ctx.reader)
        return;
    QString command;
    if (index == 0)
        command = QStringLiteral("sklEdit");
    else if (index == 1)
        command = QStringLiteral("sklPaste");
    else if (QAction *snippet = menuItem(QStringLiteral("mnuPopFD(%1)").arg(index)))
        command = snippet->data().toString();
    m_ctx.reader->nav.FormFieldCommand(command);
}

void MDIForm1::FillFormDataMenu(const QString &text)
{
    QMenu *menu = subMenu(QStringLiteral("mnuFormData"));
    if (!menu)
        return;
    for (auto it = m_items.begin(); it != m_items.end();) {
        const QString &name = it.key();
        const int index = name.startsWith(QLatin1String("mnuPopFD("))
                              ? name.mid(9, name.size() - 10).toInt()
                              : -1;
        if (index >= 3) {
            menu->removeAction(it.value());
            it.value()->deleteLater();
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
    for (const FormDataSnippet &snippet : FormDataSnippets(text)) {
        // A caption's "&" is text, not a mnemonic.
        QAction *a = menu->addAction(QString(snippet.caption).replace(u'&', QStringLiteral("&&")));
        a->setData(snippet.text);
        m_items.insert(QStringLiteral("mnuPopFD(%1)").arg(snippet.index), a);
        connect(a, &QAction::triggered, this, [this, i = snippet.index] { mnuPopFD_Click(i); });
    }
}

void MDIForm1::showDocumentMenu(DocumentWindow &w, const QPoint &pos)
{
    QMenu *menu = subMenu(QStringLiteral("mnuTools_Selection"));
    QWidget *view = w.brwWebBrowser ? w.brwWebBrowser->widget() : nullptr;
    if (!menu || !view) {
        if (m_ctx.reader)
            m_ctx.reader->nav.contextMenuClosed();
        return;
    }
    // Open Selected Links needs a selection; the rest work on the word too.
    setCommandEnabled(QStringLiteral("mnuPopSelection(1)"),
                      w.brwWebBrowser->queryCommandEnabled(BrowserCommand::Copy));
    menu->popup(view->mapToGlobal(pos));
}

void MDIForm1::showFormFieldMenu(DocumentWindow &w, const QPoint &pos)
{
    QMenu *menu = subMenu(QStringLiteral("mnuFormData"));
    QWidget *view = w.brwWebBrowser ? w.brwWebBrowser->widget() : nullptr;
    if (!menu || !view || !m_ctx.reader)
        return;
    menuItem(QStringLiteral("mnuPopFD(0)"))
        ->setEnabled(bool(m_ctx.reader->nav.hooks.formDataEditor));
    setCommandEnabled(QStringLiteral("mnuPopFD(1)"),
                      w.brwWebBrowser->queryCommandEnabled(BrowserCommand::Paste));
    menu->popup(view->mapToGlobal(pos));
}

void MDIForm1::connectReader()
{
    if (!m_ctx.reader)
        return;
    if (m_favoritesMenu)
        m_favoritesMenu->registerCommandLinks(*m_ctx.reader);
    m_savedFiles->registerCommandLinks(*m_ctx.reader);
    Navigator &nav = m_ctx.reader->nav;
    // The reader may outlive the frame (shutdown, tests): a gone frame shows no menu.
    const QPointer<MDIForm1> self(this);
    nav.hooks.documentMenu = [self, n = &nav](DocumentWindow &w, const QString &,
                                              const QPoint &pos) {
        if (self)
            self->showDocumentMenu(w, pos);
        else
            n->contextMenuClosed();
    };
    nav.hooks.formFieldMenu = [self](DocumentWindow &w, const QPoint &pos) {
        if (self)
            self->showFormFieldMenu(w, pos);
    };
    nav.hooks.formDataEditor = [self](DocumentWindow &) {
        if (self && self->m_ctx.dialogs.ShowFormDataEditor)
            self->m_ctx.dialogs.ShowFormDataEditor();
    };
    nav.hooks.startPageOption = [this](int option) {
        if ((option == 0 || option == 9) && m_ctx.dialogs.ShowFavorites) {
            m_ctx.dialogs.ShowFavorites(option == 0 ? 1 : 0);
            return true;
        }
        if (option == 6 && m_sidebar) {
            m_sidebar->xShowSidebarTab(QStringLiteral("m1"), 1);
            return true;
        }
        if (option == 8) {
            mnuView_History_Click();
            return true;
        }
        if (option != 7)
            return false;
        mnuOptions_Click();
        return true;
    };
    m_ctx.reader->nav.hooks.frameCommand = [this](KeyCommand command, DocumentWindow &) {
        switch (command) {
        case KeyCommand::FocusAddressBox:
            mnuViewSetFocusAB_Click();
            return true;
        case KeyCommand::ShowSidebarNotes:
            if (!m_sidebar)
                return false;
            m_sidebar->xShowSidebarTab(QStringLiteral("m3"), 1);
            return true;
        case KeyCommand::SaveAs:
            mnuSaveAs_Click();
            return true;
        case KeyCommand::PrintPreview:
            mnuPrintPreview_Click();
            return true;
        case KeyCommand::OpenUrl:
            mnuOpen_Click();
            return true;
        case KeyCommand::EnlargeFonts:
            m_pageTools->mnuView_EnlargeFonts_Click();
            return true;
        case KeyCommand::SiteHome:
            m_pageTools->mnuNav_GotoHomePageofThisSite_Click();
            return true;
        default:
            return false; // the frame has no such command yet
        }
    };
}

void MDIForm1::tbToolBar_ButtonClick(const QString &key)
{
    // Keys compare exactly; any other does nothing.
    if (!m_ctx.reader)
        return;
    for (const ToolButtonSpec &def : kToolButtons) {
        if (key == QLatin1String(def.key)) {
            if (def.run)
                def.run(*this, *m_ctx.reader);
            return;
        }
    }
}

void MDIForm1::mnuOpen_Click()
{
    m_ctx.giOpenURLMode = 1;
    if (m_ctx.dialogs.ShowOpenURL)
        m_ctx.dialogs.ShowOpenURL();
}

void MDIForm1::mnuOptions_Click()
{
    if (m_ctx.dialogs.ShowOptions)
        m_ctx.dialogs.ShowOptions();
}

void MDIForm1::URL_Change()
{
    const QString text = URL->text();
    if (text.isEmpty())
        return;
    if (m_ctx.ui)
        m_ctx.ui->flashWindow(this);
    else
        QApplication::alert(this);
    const CommandLineAction action = ParseCommandLine(text, QDir::currentPath());
    // Clear the box so that the same address handed over twice loads twice.
    const QSignalBlocker block(URL);
    URL->clear();
    if (action.kind == CommandLineKind::Address && !action.address.isEmpty() && m_ctx.LoadDocument)
        m_ctx.LoadDocument(action.address, LoadWhere::Background);
}

// ---------------------------------------------------------------------------------------------
// Shutdown

void MDIForm1::closeEvent(QCloseEvent *event)
{
    if (!m_unloaded) {
        MDIForm_QueryUnload();
        MDIForm_Unload();
        m_unloaded = true;
    }
    event->accept();
}

void MDIForm1::MDIForm_Load()
{
    Registry *reg = m_ctx.registry;
    if (!reg)
        return;
    // The running program's hand-off is the local socket; "MSW" marks that one is listening.
    (void)reg->RegSaveAppValue(QStringLiteral("MSW"), int(QCoreApplication::applicationPid()),
                               RegRoot::HKLM, REG_DWORD);
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1280;
    const RegResult width = reg->RegGetAppValue(QStringLiteral("SidebarWidth"), RegRoot::HKCU,
                                                REG_DWORD, screenWidth * kTwipsPerPixel / 4);
    const int px = qBound(80, width.value.toInt() / kTwipsPerPixel, qMax(200, screenWidth - 200));
    resizeDocks({cPic}, {px}, Qt::Horizontal);
    m_sidebarWidth = px;
    const RegResult visible = reg->RegGetAppValue(QStringLiteral("bSidebarVisible"), RegRoot::HKCU,
                                                  REG_SZ, QStringLiteral("True"));
    mbSidebarVisible =
        visible.value.toString().compare(QLatin1String("False"), Qt::CaseInsensitive) != 0;
    menuItem(QStringLiteral("mnuView_Sidebar"))->setChecked(mbSidebarVisible);
    cPic->setVisible(mbSidebarVisible);
}

void MDIForm1::showSidebar(bool show)
{
    // A hidden sidebar is never laid out: its width is the one it had when it was shown.
    if (cPic->isVisible() && !show)
        m_sidebarWidth = cPic->width();
    cPic->setVisible(show);
    if (show)
        resizeDocks({cPic}, {m_sidebarWidth}, Qt::Horizontal);
}

int MDIForm1::sidebarWidthTwips() const
{
    return (cPic->isVisible() ? cPic->width() : m_sidebarWidth) * kTwipsPerPixel;
}

void MDIForm1::setSidebarWidthTwips(int twips)
{
    const int px = qMax(cPic->minimumWidth(), twips / kTwipsPerPixel);
    m_sidebarWidth = px;
    if (cPic->isVisible())
        resizeDocks({cPic}, {px}, Qt::Horizontal);
}

void MDIForm1::UnloadChildren()
{
    // The active child first, as long as one is left.
    while (QMdiSubWindow *sub = m_mdiArea->activeSubWindow()
                                    ? m_mdiArea->activeSubWindow()
                                    : (m_mdiArea->subWindowList().isEmpty()
                                           ? nullptr
                                           : m_mdiArea->subWindowList().constFirst())) {
        auto *form = qobject_cast<frmBrowser *>(sub->widget());
        sub->close();
        if (form) {
            const int slot = m_ctx.gBrowsers.indexOf(form);
            if (slot >= 0) {
                m_ctx.gBrowsers[slot] = nullptr;
                m_ctx.gsWindowState[slot] = QString();
            }
        }
        m_mdiArea->removeSubWindow(sub);
        delete sub;
    }
    m_ctx.giWindowsOpen = 0;
}

void MDIForm1::MDIForm_QueryUnload()
{
    showMinimized();
    m_ctx.gbExiting = true;
    releasePopupMessage();

    if (Registry *reg = m_ctx.registry) {
        (void)reg->RegSaveAppValues(
            RegRoot::HKCU,
            {{QStringLiteral("bSidebarVisible"),
              mbSidebarVisible ? QStringLiteral("True") : QStringLiteral("False"), REG_SZ},
             {QStringLiteral("LCG"), m_ctx.glLCG, REG_DWORD},
             {QStringLiteral("SidebarWidth"), sidebarWidthTwips(), REG_DWORD}});
        (void)reg->RegDeleteValue(RegRoot::HKLM, m_ctx.gsRegKey, QStringLiteral("MSW"));
    }

    if (m_ctx.stores)
        PrepareStoresForExit(*m_ctx.stores);

    UnloadChildren();

    if (Registry *reg = m_ctx.registry)
        (void)reg->RegSaveAppValue(QStringLiteral("Exit"), 1, RegRoot::HKLM, REG_DWORD);
}

void MDIForm1::MDIForm_Unload()
{
    if (m_notes)
        m_notes->zNotes(Notes::SaveAndClose);
    if (m_ctx.stores)
        CloseStoresAtExit(*m_ctx.stores, m_ctx.gbOptBit4,
                          m_ctx.reader ? &m_ctx.reader->log : nullptr);
}
