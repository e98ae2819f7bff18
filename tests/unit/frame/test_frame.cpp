#include "FakeBrowserControl.h"
#include "FakeDocument.h"
#include "FakePlatform.h"
#include "TempProfile.h"
#include "frame/CommandLine.h"
#include "frame/ExitSequence.h"
#include "frame/FavoritesMenu.h"
#include "frame/FrameReaderHost.h"
#include "frame/MDIForm1.h"
#include "frame/MenuTable.h"
#include "frame/Pane.h"
#include "frame/PopupWindow.h"
#include "frame/TopBar.h"
#include "frame/cPopup.h"
#include "frame/cPopupMessage.h"
#include "reader/AppContext.h"
#include "reader/Reader.h"
#include "reader/frmBrowser.h"
#include "store/Schemas.h"
#include "store/Stores.h"
#include "store/modRegistry.h"

#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

// The main frame over the platform double: one document window, loads recorded.
struct FrameRig
{
    FakeWeb web;
    FakeBrowserFactory factory{web};
    FakeUi ui;
    FakeShell shell;
    AppContext ctx;
    std::unique_ptr<MDIForm1> form;
    std::unique_ptr<FrameReaderHost> host;
    std::unique_ptr<Reader> reader;
    QList<QPair<QString, LoadWhere>> loads;

    // panes: the two HTML panes on the double's controls.
    explicit FrameRig(int windows = 1, bool panes = false)
    {
        if (panes)
            ctx.browsers = &factory;
        ctx.ui = &ui;
        ctx.shell = &shell;
        ctx.gsVersion = QStringLiteral("Skimline 9.8.7");
        ctx.LoadDocument = [this](const QString &url, LoadWhere where) {
            loads.append({url, where});
        };
        form = std::make_unique<MDIForm1>(ctx);
        host = std::make_unique<FrameReaderHost>(ctx, *form);
        reader = std::make_unique<Reader>(ctx, *host);
        ctx.reader = reader.get();
        ctx.gBrowsers.clear();
        ctx.gsWindowState.clear();
        for (int i = 0; i < windows; ++i) {
            auto *f = new frmBrowser(ctx, factory.createControl());
            ctx.gBrowsers.append(f);
            ctx.gsWindowState.append(QStringLiteral("f"));
            f->InitializeForm(i, false);
            form->addDocumentWindow(f);
        }
        ctx.giWindowsOpen = windows;
        form->show();
        form->mdiArea()->setActiveSubWindow(form->mdiArea()->subWindowList().constFirst());
    }
    ~FrameRig() { form->UnloadChildren(); }
    frmBrowser *window(int i) const { return ctx.gBrowsers.at(i); }
    FakeBrowserControl *control(int i) const
    {
        return static_cast<FakeBrowserControl *>(ctx.gBrowsers.at(i)->brwWebBrowser);
    }
    QAction *item(const char *name) const { return form->menuItem(QString::fromLatin1(name)); }
    FakeDocument &topBarDoc() const
    {
        return static_cast<FakeDocument &>(form->topBarPane()->document());
    }
    // The search box holds text and Enter is pressed in it.
    void enterInSearchBox(const QString &text)
    {
        DomNode *box = topBarDoc().dom().getElementById(QStringLiteral("SearchTerms"));
        box->setValue(text);
        topBarDoc().dispatch(DomEventType::KeyPress, box, -1, Qt::NoModifier, 0, 0, 13);
        web.settle();
    }
};

// The address box of a top bar page on the double, over favorites and a session in memory.
struct AddressRig : FrameRig
{
    ErrorLog log;
    Stores stores{log};
    FakeDocument topBar{web};
    std::unique_ptr<cPopup> box;
    QStringList messages;
    QStringList searches;

    explicit AddressRig(const QStringList &favorites = {})
    {
        stores.rsFavorites = Recordset::Create(FavoritesSchema());
        stores.rsCurrentSession = Recordset::Create(SessionSchema());
        for (const QString &url : favorites)
            QVERIFY(stores.rsFavorites.AddNew({"URL", "Title"}, {url, "Title of " + url}));
        ctx.stores = &stores;
        topBar.beginDocument(QUrl("skl-app://pages/topbar.htm"), "<input id=AddrBox>");
        topBar.setReadyState(ReadyState::Complete);
        box = std::make_unique<cPopup>(ctx, form.get());
        box->PopupInitializeClass(topBar);
        box->SetAddrBoxDimensions(10, 20, 300);
        box->refused = [this](const QString &m) { messages << m; };
        box->OpenSearchShortcut = [this](const QString &t) { searches << t; };
    }
    void event(DomEventType type, int keyCode = 0)
    {
        DomEvent e;
        e.type = type;
        e.source.id = "AddrBox";
        e.source.tagName = "INPUT";
        e.source.value = box->text();
        e.keyCode = keyCode;
        box->domEvent(e);
    }
    // Typing ends with the box holding text.
    void type(const QString &text)
    {
        box->setText(text);
        event(DomEventType::KeyPress);
        event(DomEventType::KeyUp, text.isEmpty() ? 8 : text.back().toUpper().unicode());
    }
    void key(int keyCode)
    {
        event(DomEventType::KeyDown, keyCode);
        event(DomEventType::KeyUp, keyCode);
    }
    QString highlighted() const { return box->popup()->highlighted(); }
    QUrl requested()
    {
        web.settle();
        const QList<FakeRequest> r = control(0)->requests();
        return r.isEmpty() ? QUrl() : r.constLast().url;
    }
};

// Every store opened in a profile of its own, as the program opens them.
struct ProfileStores
{
    TempProfile profile;
    QString data = profile.file(QStringLiteral("data"));
    bool made = QDir().mkpath(data + QStringLiteral("/common"));
    ErrorLog log{data + QStringLiteral("/common/LoggedErrors.txt")};
    Stores stores{log};
    ProfileStores() { OpenAllStores(stores, data, data + QStringLiteral("/common")); }
    QString file(const QString &name) const { return profile.file(name); }
};

class TestFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // An item whose command is not in the program stays off even when asked; the keys users
    // press reach their command, also with the menu bar hidden.
    void laterItemsAndShortcuts()
    {
        using namespace MenuTable;
        FrameRig rig;
        for (const Row &row : kRows) {
            if (!(row.flags & Later))
                continue;
            rig.form->setCommandEnabled(QString::fromLatin1(row.name), true);
            QVERIFY2(!rig.item(row.name)->isEnabled(), row.name);
        }
        rig.form->menuBar()->hide();
        QApplication::setActiveWindow(rig.form.get());
        const std::pair<QKeySequence, const char *> keys[] = {
            {Qt::Key_F12, "mnuNextDoc"},
            {Qt::SHIFT | Qt::Key_F12, "mnuPreviousDoc"},
            {Qt::ALT | Qt::Key_Backspace, "mnuNav_PrevWin"}};
        for (const auto &[key, name] : keys) {
            QSignalSpy triggered(rig.item(name), &QAction::triggered);
            QTest::keySequence(rig.form.get(), key);
            QVERIFY2(triggered.size() == 1, name);
        }
    }

    // A separator is a thin line; one with text would be drawn as a row with the text beside it.
    void separatorsAreLines()
    {
        FrameRig rig;
        int separators = 0;
        for (const QString &name : rig.form->menuItemNames()) {
            QAction *a = rig.form->menuItem(name);
            if (!a->isSeparator() || !a->isVisible())
                continue;
            QMenu *menu = qobject_cast<QMenu *>(a->parent());
            QVERIFY2(menu, qPrintable(name));
            int row = 0;
            for (QAction *other : menu->actions())
                row = qMax(row, menu->actionGeometry(other).height());
            QVERIFY2(menu->actionGeometry(a).height() < row * 2 / 3, qPrintable(name));
            ++separators;
        }
        QVERIFY(separators >= 10);
    }

    // The toolbar's FS and the File menu's item toggle one state and show it alike; MK keeps
    // the page and goes on to the next window, as the menu's Keep in Memory does.
    void toolbarTogglesFollowTheMenu()
    {
        FrameRig rig(2);
        QAction *fs = rig.form->toolButton("FS");
        fs->trigger();
        QVERIFY(rig.window(0)->bOpenInSameWindow);
        QVERIFY(fs->isChecked());
        QVERIFY(rig.item("mnuOpenInSameWindow")->isChecked());
        rig.item("mnuOpenInSameWindow")->trigger();
        QVERIFY(!rig.window(0)->bOpenInSameWindow);
        QVERIFY(!fs->isChecked());

        rig.form->toolButton("MK")->trigger();
        QVERIFY(rig.window(0)->bKeep);
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
    }

    // Toolbar keys compare exactly; Stop stops the current window, with Ctrl all of them.
    void toolbarKeysAndStop()
    {
        {
            FrameRig rig;
            rig.form->tbToolBar_ButtonClick(QStringLiteral("ss"));
            QVERIFY(rig.control(0)->navigateCalls().isEmpty());
            rig.form->tbToolBar_ButtonClick(QStringLiteral("SS"));
            QCOMPARE(rig.control(0)->navigateCalls().constFirst().url.fileName(), "sklSearch.htm");
        }
        FrameRig rig(3);
        rig.web.setDefaultResponse(FakeResponse::pending());
        for (int i = 0; i < 3; ++i)
            QVERIFY(rig.control(i)->navigate(QUrl(QStringLiteral("http://site.test/slow"))));
        rig.web.settle();
        rig.form->tbToolBar_ButtonClick(QStringLiteral("Stop"));
        QVERIFY(!rig.control(0)->isLoading());
        QVERIFY(rig.control(1)->isLoading());
        rig.ui.setKeyboardModifiers(Qt::ControlModifier);
        rig.form->tbToolBar_ButtonClick(QStringLiteral("Stop"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(!rig.control(i)->isLoading());
    }

    void deleteThisFileEnabling_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("web page") << "web" << false;
        QTest::newRow("local file") << "file" << true;
        QTest::newRow("local file removed since") << "removed" << false;
        QTest::newRow("local folder") << "folder" << false;
    }
    void deleteThisFileEnabling()
    {
        QFETCH(QString, kind);
        QFETCH(bool, enabled);
        TempProfile profile;
        const QString path = profile.file(QStringLiteral("saved page.htm"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        FrameRig rig;
        rig.item("mnuFileDelete")->setEnabled(!enabled);
        if (kind == QLatin1String("web"))
            rig.window(0)->msURL = QStringLiteral("https://example.org/file:///x");
        else if (kind == QLatin1String("folder"))
            rig.window(0)->msURL = QUrl::fromLocalFile(profile.path()).toString();
        else
            rig.window(0)->msURL = QUrl::fromLocalFile(path).toString();
        if (kind == QLatin1String("removed"))
            QFile::remove(path);
        rig.form->mnuFile_Click();
        QCOMPARE(rig.item("mnuFileDelete")->isEnabled(), enabled);
        if (enabled) {
            rig.item("mnuFileDelete")->trigger();
            QCOMPARE(rig.shell.targetsOf(QStringLiteral("moveToTrash")), QStringList{path});
            QCOMPARE(rig.ui.messages().size(), 1);
            QVERIFY(rig.ui.messages().constFirst().text.endsWith(" has been deleted."));
        }
    }

    void fullScreenAndSidebar()
    {
        FrameRig rig;
        QVERIFY(rig.form->cPic->isVisible());
        rig.item("mnuView_FullScreen")->trigger();
        QVERIFY(rig.item("mnuView_FullScreen")->isChecked());
        QVERIFY(!rig.form->aPBTopBar->isVisible());
        QVERIFY(!rig.form->StatusBar1->isVisible());
        QVERIFY(!rig.form->cPic->isVisible());
        QVERIFY(rig.ctx.gbFullScreen);
        // The sidebar turned off while in full screen stays off on leaving it.
        rig.item("mnuView_Sidebar")->trigger();
        QVERIFY(!rig.item("mnuView_Sidebar")->isChecked());
        rig.item("mnuView_FullScreen")->trigger();
        QVERIFY(rig.form->aPBTopBar->isVisible());
        QVERIFY(rig.form->StatusBar1->isVisible());
        QVERIFY(!rig.form->cPic->isVisible());
        QVERIFY(!rig.form->mbSidebarVisible);
        rig.form->mnuView_Sidebar_Click();
        QVERIFY(rig.form->cPic->isVisible());
        QVERIFY(rig.item("mnuView_Sidebar")->isChecked());
    }

    void aboutMessage()
    {
        FrameRig rig;
        rig.item("mnuHelpAr(8)")->trigger();
        cPopupMessage *popup = rig.form->popupMessage();
        QVERIFY(popup);
        QVERIFY(popup->isVisible());
        QVERIFY(popup->html().contains("Skimline 9.8.7"));
        QVERIFY(popup->popupHeight() > 0);
        QVERIFY(popup->popupWidth() <= rig.form->width());
        // A second About reuses the box that is up.
        rig.item("mnuHelpAr(8)")->trigger();
        QCOMPARE(rig.form->popupMessage(), popup);
        QPointer<cPopupMessage> watch = popup;
        QTest::mouseClick(popup->findChild<QWidget *>(QStringLiteral("popupBody")), Qt::LeftButton);
        QVERIFY(!rig.form->popupMessage());
        QTRY_VERIFY(watch.isNull());
    }

    void aboutEscapesTheVersionText()
    {
        const QString html = cPopupMessage::aboutHtml(QStringLiteral("<b>x</b>"));
        QVERIFY(html.contains("&lt;b&gt;x&lt;/b&gt;"));
    }

    // The address another start hands over loads each time it comes, and an empty text does
    // nothing (shortcut files and quotes are the command line's).
    void handedOverAddress()
    {
        FrameRig rig;
        const QString address = QStringLiteral("http://example.org/a");
        for (const QString &text : {address, QString(), address})
            rig.form->URL->setText(text);
        QCOMPARE(rig.loads.size(), 2);
        QCOMPARE(rig.loads.constLast().first, address);
        QCOMPARE(rig.ui.flashes(), 2);
    }

    void shutdownEmptiesTrashAndWritesSettings()
    {
        ProfileStores profile;
        Stores &stores = profile.stores;
        QVERIFY(stores.rsFavorites.State());
        for (const char *keywords : {"Delete\\News", "Deleted", "Delete\\a\\b", "Work", "Delete"})
            QVERIFY(stores.rsFavorites.AddNew({"Keywords", "Title", "URL"},
                                              {QString::fromLatin1(keywords), "t", "http://x/"}));
        Registry reg(profile.file("HKCU.ini"), profile.file("HKLM.ini"));
        QVERIFY(reg.RegSaveAppValue("SidebarWidth", 350 * 15, RegRoot::HKCU, REG_DWORD).ok());
        QVERIFY(reg.RegSaveAppValue("bSidebarVisible", "False", RegRoot::HKCU, REG_SZ).ok());
        {
            // A run that never shows the sidebar keeps its width.
            FrameRig rig;
            rig.ctx.registry = &reg;
            rig.form->MDIForm_Load();
            rig.form->MDIForm_QueryUnload();
        }
        QCOMPARE(reg.RegGetAppValue("SidebarWidth", RegRoot::HKCU, REG_DWORD, {}).value.toInt(),
                 350 * 15);
        QVERIFY(reg.RegSaveAppValue("bSidebarVisible", "True", RegRoot::HKCU, REG_SZ).ok());
        {
            FrameRig rig;
            rig.ctx.stores = &stores;
            rig.ctx.registry = &reg;
            rig.ctx.glLCG = 0x201;
            rig.form->MDIForm_Load();
            rig.item("mnuView_Sidebar")->trigger();
            QVERIFY(rig.form->close());
            QVERIFY(rig.ctx.gbExiting);
            QVERIFY(rig.ctx.gBrowsers.constFirst() == nullptr);
        }
        auto value = [&](const char *name, RegRoot root, int type) {
            return reg.RegGetAppValue(QString::fromLatin1(name), root, type, QVariant()).value;
        };
        QCOMPARE(value("bSidebarVisible", RegRoot::HKCU, REG_SZ).toString(), "False");
        QCOMPARE(value("LCG", RegRoot::HKCU, REG_DWORD).toInt(), 0x201);
        QCOMPARE(value("Exit", RegRoot::HKLM, REG_DWORD).toInt(), 1);
        QVERIFY(!value("MSW", RegRoot::HKLM, REG_DWORD).isValid());
        QVERIFY(value("SidebarWidth", RegRoot::HKCU, REG_DWORD).toInt() > 0);

        auto favorites = Recordset::Open(stores.gsFavoritesFile);
        QVERIFY(favorites);
        QStringList left;
        for (favorites->MoveFirst(); !favorites->isEOF(); favorites->MoveNext())
            left << favorites->Field("Keywords").toString();
        left.sort();
        QCOMPARE(left, (QStringList{"Delete", "Deleted", "Work"}));
    }

    // History switched off: the exit writes none (the 600 kept are the store test's).
    void historyOffSavesNoHistory()
    {
        ProfileStores profile;
        Stores &stores = profile.stores;
        OpenHistoryStore(stores);
        QVERIFY(stores.rsHistory.Save());
        QVERIFY(stores.rsHistory.AddNew({"URL", "Date"}, {QStringLiteral("http://h/"), 40000.0}));
        // The exit's store steps need no main window.
        CloseStoresAtExit(stores, false, nullptr);
        auto history = Recordset::Open(stores.gsHistoryFile);
        QVERIFY(history);
        QCOMPARE(history->RecordCount(), 0);
    }

    // What the search box loads, or which sidebar tab it shows, for the text and Enter; the
    // words arrive as typed whatever they hold. "@" rows go through the address box's search
    // shortcuts instead.
    void searchBoxEnter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("boxAfter");
        // clang-format off
        QTest::newRow("web, & and #") << "g  cats & dogs #1 " << "https://www.google.com/custom?q=cats+%26+dogs+%231&sa=Search&ie=UTF-8&oe=UTF-8&hl=en"  << " cats & dogs #1 ";
        QTest::newRow("answers, + and prefix case") << "V 2+2=4" << "https://www.wolframalpha.com/input?i=2%2B2%3D4" << "2+2=4";
        QTest::newRow("dictionary, non-ASCII in the path") << "d naïve café" << "https://www.merriam-webster.com/dictionary/na%C3%AFve%20caf%C3%A9" << "naïve café";
        QTest::newRow("no prefix: the selected tab") << "gx y" << "https://www.google.com/custom?q=gx+y&sa=Search&ie=UTF-8&oe=UTF-8&hl=en" << "gx y";
        QTest::newRow("favorites filter") << "f news" << "sidebar s3 news" << "news";
        QTest::newRow("nothing to search") << "g   " << "" << "  ";
        QTest::newRow("shortcut") << "@w a&b c" << "next https://en.wikipedia.org/wiki/Special:Search?search=a%26b+c&go=Go" << "";
        QTest::newRow("shortcut here") << "@W/ x#y" << "here https://en.wikipedia.org/wiki/Special:Search?search=x%23y&go=Go" << "";
        QTest::newRow("shortcut, unknown letter") << "@q cats" << "" << "";
        // clang-format on
    }
    void searchBoxEnter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QFETCH(QString, boxAfter);
        FrameRig rig(1, true);
        rig.ctx.gSearchEngines.add(
            "w", QStringLiteral("https://en.wikipedia.org/wiki/Special:Search?search=!&go=Go"));
        TopBar *bar = rig.form->topBar();
        QStringList shown;
        bar->xShowSidebarTab = [&](const QString &tab, int) {
            shown << QStringLiteral("sidebar ") + tab + QLatin1Char(' ') + bar->searchBoxText();
        };
        rig.web.settle();
        QVERIFY(rig.form->topBarPane()->isReady());
        if (typed.startsWith(QLatin1Char('@')))
            bar->OpenSearchShortcut(typed.mid(1));
        else
            rig.enterInSearchBox(typed);
        QStringList got = shown;
        for (const auto &load : std::as_const(rig.loads))
            got << (load.second == LoadWhere::Background ? QString()
                    : load.second == LoadWhere::Next     ? QStringLiteral("next ")
                                                         : QStringLiteral("here ")) +
                       load.first;
        QCOMPARE(got.join(QLatin1Char('|')), result);
        if (!typed.startsWith(QLatin1Char('@')))
            QCOMPARE(rig.topBarDoc().dom().getElementById(QStringLiteral("SearchTerms"))->value(),
                     boxAfter);
    }

    // Marking the search words is for the window being read: leaving it stops its marking,
    // "_" clicked again takes the marks from every window.
    void highlightFollowsTheCurrentWindow()
    {
        FrameRig rig(2, true);
        rig.web.settle();
        rig.enterInSearchBox(QStringLiteral("_ cats`dogs"));
        FakeDocument &first = static_cast<FakeDocument &>(rig.control(0)->document());
        FakeDocument &second = static_cast<FakeDocument &>(rig.control(1)->document());
        QCOMPARE(first.writesOf(QStringLiteral("highlight")).size(), 1);
        QCOMPARE(first.writesOf(QStringLiteral("highlight")).at(0).name, "cats\ndogs");
        QVERIFY(second.writesOf("highlight").isEmpty());
        rig.reader->pool.ActivateWindow(1);
        QVERIFY(!first.writesOf(QStringLiteral("stopHighlight")).isEmpty());

        DomNode *sh = rig.topBarDoc().dom().getElementById(QStringLiteral("sh"));
        rig.topBarDoc().dispatch(DomEventType::Click, sh, -1);
        rig.web.settle();
        QVERIFY(!rig.form->topBar()->highlightOn());
        QCOMPARE(first.writesOf(QStringLiteral("removeHighlights")).size(), 1);
        QCOMPARE(second.writesOf(QStringLiteral("removeHighlights")).size(), 1);
    }

    // Text from outside goes into the top bar as text, never as markup.
    void topBarTakesTextAsText()
    {
        FrameRig rig(1, true);
        rig.web.settle();
        TopBar *bar = rig.form->topBar();
        const QString markup = QStringLiteral("<b id=x>a</b>' \"&amp;");
        bar->setSearchBoxText(markup);
        bar->showBrowseMode(markup, markup);
        FakeDocument &doc = rig.topBarDoc();
        QVERIFY(!doc.dom().getElementById(QStringLiteral("x")));
        QCOMPARE(doc.dom().getElementById(QStringLiteral("SearchTerms"))->value(), markup);
        QCOMPARE(doc.dom().getElementById(QStringLiteral("mode"))->textContent(), markup);
        QCOMPARE(doc.dom().getElementById(QStringLiteral("mode"))->attribute("title"), markup);
        QCOMPARE(bar->searchBoxText(), markup);
    }

    // Typing into one of the program's own fields turns the single keys off, as a page's
    // field does; the pointer over a page then leaves the keyboard where it is.
    void programFieldsHoldTheKeyboard()
    {
        FrameRig rig;
        auto *field = new QLineEdit(rig.form.get());
        auto *readOnly = new QLineEdit(rig.form.get());
        readOnly->setReadOnly(true);
        auto *button = new QPushButton(rig.form.get());
        for (QWidget *w : {static_cast<QWidget *>(field), static_cast<QWidget *>(readOnly),
                           static_cast<QWidget *>(button)})
            w->show();
        QApplication::setActiveWindow(rig.form.get());
        QVERIFY(QTest::qWaitForWindowActive(rig.form.get()));
        QVERIFY(rig.host->isInForeground());

        field->setFocus();
        QVERIFY(rig.ctx.gbTextEntry);
        readOnly->setFocus();
        QVERIFY(!rig.ctx.gbTextEntry);
        field->setFocus();
        button->setFocus();
        QVERIFY(!rig.ctx.gbTextEntry);

        // Another window in front: the program is not where the user works.
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!rig.host->isInForeground());
    }

    // Alt+D holds the keyboard at once, before the box reports its focus: neither the page
    // being read completing nor its field reporting the focus lost gives the keys back to it.
    void addressBoxHoldsTheKeyboardAtOnce()
    {
        FrameRig rig(1, true);
        rig.web.serve("http://site.test/slow.html", FakeResponse::pending());
        FakeBrowserControl *page = rig.control(0);
        QVERIFY(page->navigate(QUrl("http://site.test/slow.html")));
        rig.web.settle();

        rig.item("mnuViewSetFocusAB")->trigger();
        page->fakeDocument().clearWrites();
        page->completePendingLoad("<p>slow</p>");
        rig.web.settle();
        QVERIFY(rig.ctx.gbTextEntry);
        QVERIFY(page->fakeDocument().writesOf(QStringLiteral("focus")).isEmpty());
    }

    // The keys the engine test does not press, an apostrophe as text, and F4; the list's
    // opening, its entries and loading the one chosen are the engine test's.
    void addressBoxList()
    {
        QStringList favorites;
        for (int i = 0; i < 24; ++i)
            favorites << QStringLiteral("http://h%1.test/anews").arg(i);
        favorites << "http://o'neil.test/";
        AddressRig rig(favorites);
        PopupWindow *popup = rig.box->popup();
        rig.event(DomEventType::FocusIn);
        rig.type("anews");
        QCOMPARE(popup->count(), 24);
        const std::pair<int, const char *> steps[] = {{40, "d0"}, {38, "d0"}, {33, "d23"},
                                                      {34, "d0"}, {40, "d1"}, {9, "d0"}};
        for (const auto &[code, id] : steps) {
            rig.key(code);
            QVERIFY2(rig.highlighted() == QLatin1String(id), id);
        }

        rig.type("o'n");
        QCOMPARE(popup->count(), 1);
        QCOMPARE(popup->entryText("d0"), QString("http://o'neil.test/"));
        rig.key(115); // F4 empties the box and closes the list
        QVERIFY(rig.box->text().isEmpty());
        rig.event(DomEventType::KeyUp, 'X');
        QVERIFY(!rig.box->mbShown);
    }

    void addressBoxEnter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("loaded"); // empty: nothing loads
        QTest::addColumn<QString>("searched");
        const char *const rows[][3] = {{"cats", "http://www.cats.com/", ""},
                                       {"example.org/a b", "http://example.org/a%20b", ""},
                                       {"localhost:8080", "http://localhost:8080", ""},
                                       {"w/cats", "", "w/cats"},
                                       {"javascript:alert(1)", "", ""},
                                       {"cats dogs", "", ""}};
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]) << QString(row[2]);
    }

    void addressBoxEnter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, loaded);
        QFETCH(QString, searched);
        AddressRig rig;
        rig.box->showAddress("http://now.test/");
        rig.event(DomEventType::FocusIn);
        rig.type(typed);
        rig.key(13);
        QCOMPARE(rig.requested(), loaded.isEmpty() ? QUrl() : QUrl(loaded));
        QCOMPARE(rig.searches, searched.isEmpty() ? QStringList() : QStringList{searched});
        // Neither loaded nor searched: the user is told why.
        QCOMPARE(rig.messages.size(), loaded.isEmpty() && searched.isEmpty() ? 1 : 0);
        if (!searched.isEmpty())
            QCOMPARE(rig.box->text(), QString("http://now.test/"));
    }

    // The session list holds the pages read and no longer loaded; the button closes it again.
    void addressBoxSessionList()
    {
        AddressRig rig;
        Recordset &s = rig.stores.rsCurrentSession;
        QVERIFY(s.AddNew({"URL", "bRead", "bLoaded"}, {"http://read.test/", 1, 0}));
        QVERIFY(s.AddNew({"URL", "bRead", "bLoaded"}, {"http://open.test/", 1, 1}));
        QVERIFY(s.AddNew({"URL", "bRead", "bLoaded"}, {"http://queued.test/", 0, 0}));
        DomEvent click;
        click.source.id = "selHistory";
        rig.box->domEvent(click);
        QVERIFY(rig.box->mbShown);
        QCOMPARE(rig.box->miListKind, -1);
        QCOMPARE(rig.box->popup()->count(), 1);
        QCOMPARE(rig.box->popup()->entryText("d0"), QString("http://read.test/"));
        rig.box->domEvent(click);
        QVERIFY(!rig.box->mbShown);
        QCOMPARE(rig.box->miListKind, 0);
    }
    // Window groups are saved under a path without "\\" in the name and listed in the menu;
    // deleting the favorite a window came from sends it to the trash.
    void windowGroupsAndThisFavorite()
    {
        AddressRig rig({QStringLiteral("http://kept.test/")});
        frmBrowser *w = rig.window(0);
        w->msURL = QStringLiteral("http://a.test/");
        w->strDocumentTitle = QStringLiteral("A & co");
        rig.ctx.dialogs.AskGroupName = [](std::function<void(const QString &)> answer) {
            answer(QStringLiteral("a\\b"));
        };
        rig.item("mnuFav_Group(0)")->trigger();
        Recordset &fav = rig.stores.rsFavorites;
        QVERIFY(fav.Find(QStringLiteral("Keywords = '!skl\\Groups\\a-b'")));
        QCOMPARE(fav.Field("URL").toString(), QStringLiteral("http://a.test/"));
        QMenu *groups = rig.form->subMenu(QStringLiteral("mnuFav_Groups_"));
        for (int i = 0; i < 2; ++i) // made again each time, never twice
            Q_EMIT groups->aboutToShow();
        QCOMPARE(groups->actions().size(), 4);
        QCOMPARE(groups->actions().last()->text(), QStringLiteral("a-b"));

        fav.MoveFirst();
        const double kept = fav.Bookmark();
        w->mdFavBookmark = kept;
        rig.form->mnuFavorites_Click();
        QVERIFY(rig.item("mnuFav_Edit(1)")->isEnabled());
        rig.item("mnuFav_Edit(1)")->trigger();
        QCOMPARE(w->mdFavBookmark, 0.0);
        QVERIFY(fav.SetBookmark(kept));
        QCOMPARE(fav.Field("Keywords").toString(), QStringLiteral("Delete\\"));
        QCOMPARE(rig.form->StatusText(3), QStringLiteral("This Favorite deleted."));
        QVERIFY(!rig.item("mnuFav_Edit(1)")->isEnabled());
    }

    // The top bar's favorite cells show for a page from a favorite; the cross trashes it and
    // hides them again.
    void favoriteCellsOfTheTopBar()
    {
        FrameRig rig(1, true);
        ErrorLog log;
        Stores stores{log};
        stores.rsFavorites = Recordset::Create(FavoritesSchema());
        QVERIFY(stores.rsFavorites.AddNew({"Keywords", "URL"}, {"News", "http://n.test/"}));
        rig.ctx.stores = &stores;
        rig.web.settle();
        FakeDocument &doc = rig.topBarDoc();
        DomNode *cross = doc.dom().getElementById(QStringLiteral("FavDelete"));
        rig.window(0)->mdFavBookmark = stores.rsFavorites.Bookmark();
        rig.form->topBar()->zTopBar();
        QCOMPARE(cross->style("display"), QStringLiteral("table-cell"));
        doc.dispatch(DomEventType::Click, cross, -1);
        QCOMPARE(stores.rsFavorites.Field("Keywords").toString(), QStringLiteral("Delete\\News"));
        QCOMPARE(cross->style("display"), QStringLiteral("none"));
        rig.ctx.stores = nullptr;
    }

    void shortcutFilesOfAFolder()
    {
        TempProfile p;
        QVERIFY(QDir().mkpath(p.file("my links")));
        const auto write = [&p](const QString &name, const QByteArray &text) {
            QFile f(p.file("my links/" + name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(text);
        };
        write("b.URL", "[InternetShortcut]\r\nURL=http://b.test/\r\n");
        write("a.url",
              "[Other]\r\nURL=http://not.test/\r\n[InternetShortcut]\r\nURL=http://a.test/\r\n");
        write("c.url", "[InternetShortcut]\r\n");
        write("d.txt", "[InternetShortcut]\r\nURL=http://d.test/\r\n");
        QCOMPARE(UrlFilesInFolder(p.file("my%20links")),
                 (QStringList{"http://a.test/", "http://b.test/"}));
    }
};

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
