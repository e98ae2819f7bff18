#include "NavRig.h"
#include "frame/MDIForm1.h"
#include "frame/PageTools.h"
#include "frame/SelectionCommands.h"
#include "frame/TopBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QtTest>

// The frame's menus on a document's right click (the document menu with the Selection
// commands, the form-field menu) and the Selection commands themselves, on the platform double.
class TestNavMenus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchQuery_data();
    void searchQuery();
    void searchItemsAddresses();
    void openUrlAddress_data();
    void openUrlAddress();

    void documentMenuOnAWord();
    void staleContextEventLeavesTheEngineMenu();
    void selectionCommandsOnASelection();
    void formFieldMenu();
    void pageTools();
};

namespace {

const QString kPage = QStringLiteral("http://site.test/index.html");

QString menuPage()
{
    return QStringLiteral("<title>Menus</title><body id=pagebody>"
                          "<p id=words style='color:green'>alpha beta</p>"
                          "<input id=q name=q value=1><input id=mail type=email name=m>"
                          "<textarea id=t name=t></textarea>"
                          "<div id=ed contenteditable=true>edit me</div>"
                          "<img id=pic src='/p.png'>"
                          "</body>");
}

// The navigator, the frame and its menus over the double, as in the program.
struct MenuRig : NavRig
{
    MenuRig()
    {
        ctx.reader = &reader;
        ctx.gSearchEngines.add("g", QStringLiteral("https://search.test/custom?q=!&sa=Search"));
        ctx.gSearchEngines.add("a", QStringLiteral("https://answers.test/main/ntquery?s=!"));
        ctx.gSearchEngines.add("d", QStringLiteral("https://dictionary.test/search?q=!"));
        ctx.gSearchEngines.add(
            "w", QStringLiteral("https://wiki.test/wiki/Special:Search?search=!&go=Go"));
        frame.connectReader();
        show(kPage, menuPage());
    }
    ~MenuRig()
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->hide();
    }

    QMenu *documentMenu() const { return frame.subMenu(QStringLiteral("mnuTools_Selection")); }
    QMenu *fieldMenu() const { return frame.subMenu(QStringLiteral("mnuFormData")); }
    QAction *item(const QString &name) const { return frame.menuItem(name); }
    static QMenu *popup() { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }

    // A right click as the engine reports it: the press, the page's contextmenu event with
    // the element and the word under the pointer, then the engine's menu request.
    bool rightClick(const QString &id, const QString &word, const QString &selection = QString())
    {
        DocumentWindow &w = *window(0);
        FakeBrowserControl *c = control(0);
        (void)nav.mouseButtonPressed(w,
                                     {Qt::RightButton, Qt::RightButton, Qt::NoModifier, {}, false});
        DomEvent event;
        event.type = DomEventType::ContextMenu;
        event.source = c->fakeDocument().elementSnapshot(c->dom().getElementById(id));
        event.word = word;
        event.button = 2;
        event.buttons = 2;
        nav.domEvent(w, event);
        ContextMenuInfo info;
        info.selectedText = selection;
        info.isEditable = event.source.isEditable;
        const bool engine = nav.OnContextMenu(w, info);
        (void)nav.mouseButtonReleased(w,
                                      {Qt::RightButton, Qt::NoButton, Qt::NoModifier, {}, false});
        return engine;
    }

    QString style(const QString &id) const
    {
        return control(0)->dom().getElementById(id)->attribute("style");
    }

    // Addresses handed to LoadDocument since the page was shown, in order.
    QStringList loadedAddresses() const
    {
        Recordset rs = reader.log.cursor();
        (void)rs.SetSort(QStringLiteral("Order"));
        QStringList out;
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            const QString url = rs.Field(QStringLiteral("URL")).toString();
            if (url != kPage)
                out << url;
        }
        return out;
    }

    MDIForm1 frame{ctx};
};

} // namespace

void TestNavMenus::searchQuery_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    const auto row = [](const char *name, const QString &text, const char *query) {
        QTest::newRow(name) << text << QString::fromLatin1(query);
    };
    row("trimmed, blanks as plus", "  two   words \n", "two+words");
    row("ampersand cannot end the query", "salt & pepper", "salt+%26+pepper");
    row("hash and plus kept as text", "C# C++", "C%23+C%2B%2B");
    row("non-ASCII in UTF-8", QStringLiteral("caf\u00e9"), "caf%C3%A9");
    row("blank", "   ", "");
}

void TestNavMenus::searchQuery()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QCOMPARE(SelectionCommands::searchQuery(text), query);
}

void TestNavMenus::searchItemsAddresses()
{
    SearchEngines engines;
    engines.add(QStringLiteral("w"), QStringLiteral("https://wiki.example/s?search=!&go=Go"));
    QCOMPARE(SelectionCommands::searchUrl(engines, 10, "salt & pepper").value_or(QString()),
             QStringLiteral("https://wiki.example/s?search=salt+%26+pepper&go=Go"));
    // The second encyclopedia has no letter in the table, yet its item works.
    const QString columbia = SelectionCommands::searchUrl(engines, 11, " big  cats ").value_or("");
    QVERIFY(columbia.contains(QStringLiteral("FILTER=col65&query=big+cats&x=11&y=8")));
    // A service missing from the table, a non-search item and a blank text load nothing.
    QVERIFY(!SelectionCommands::searchUrl(engines, 9, "word"));
    QVERIFY(!SelectionCommands::searchUrl(engines, 4, "word"));
    QVERIFY(!SelectionCommands::searchUrl(engines, 11, "  "));
}

void TestNavMenus::openUrlAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("address"); // empty: refused
    const auto row = [](const char *name, const char *text, const char *address) {
        QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(address);
    };
    row("full address", " https://example.org/a?b=1 ", "https://example.org/a?b=1");
    row("bare host and path", "example.org/page", "http://example.org/page");
    row("wrapped over two lines", "http://example.org/a/\nb.html", "http://example.org/a/b.html");
    row("local file", "file:///tmp/x.htm", "file:///tmp/x.htm");
    row("script", "javascript:alert(1)", "");
    row("program command", "skl:del3", "");
    row("a sentence", "see example.org now", "");
    row("blank", " ", "");
}

void TestNavMenus::openUrlAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, address);
    const std::optional<QString> got = SelectionCommands::openUrlAddress(text);
    QCOMPARE(got.value_or(QString()), address);
}

void TestNavMenus::documentMenuOnAWord()
{
    MenuRig rig;
    // The menu on a word and its mark are the engine test's. Beside the text, on the page
    // itself: the menu with the word, but the page is not marked.
    QVERIFY(!rig.rightClick(QStringLiteral("pagebody"), QStringLiteral("beta")));
    QCOMPARE(MenuRig::popup(), rig.documentMenu());
    rig.settle();
    QCOMPARE(rig.style(QStringLiteral("pagebody")), QString());
    rig.documentMenu()->hide();
    rig.settle();

    // Define: the word goes to the dictionary, through LoadDocument (a background window).
    rig.item(QStringLiteral("mnuPopSelection(9)"))->trigger();
    rig.settle();
    QCOMPARE(rig.loadedAddresses(),
             QStringList{QStringLiteral("https://dictionary.test/search?q=beta")});
    QCOMPARE(rig.control(0)->locationUrl(), QUrl(kPage));

    // Copy without a selection copies the word.
    rig.control(0)->setCommandEnabled(BrowserCommand::Copy, false);
    rig.item(QStringLiteral("mnuPopSelection(0)"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("beta"));

    // A second menu on another element: the first mark is gone, the new one restored on close.
    QVERIFY(!rig.rightClick(QStringLiteral("words"), QStringLiteral("alpha")));
    QCOMPARE(rig.nav.gsSelectedText, QStringLiteral("alpha"));
    rig.documentMenu()->hide();
    rig.settle();
    QCOMPARE(rig.style(QStringLiteral("words")), QStringLiteral("color:green"));
}

void TestNavMenus::staleContextEventLeavesTheEngineMenu()
{
    MenuRig rig;
    DocumentWindow &w = *rig.window(0);
    QVERIFY(!rig.rightClick(QStringLiteral("words"), QStringLiteral("beta")));
    rig.documentMenu()->hide();
    // Another right click whose page event has not arrived (a spot the page does not report):
    // the earlier word must not decide this menu.
    (void)rig.nav.mouseButtonPressed(w,
                                     {Qt::RightButton, Qt::RightButton, Qt::NoModifier, {}, false});
    QVERIFY(rig.nav.OnContextMenu(w, ContextMenuInfo()));
    QVERIFY(!MenuRig::popup());
    // Without the page's report a selection still gets the program's menu.
    (void)rig.nav.mouseButtonPressed(w,
                                     {Qt::RightButton, Qt::RightButton, Qt::NoModifier, {}, false});
    ContextMenuInfo info;
    info.selectedText = QStringLiteral("gamma");
    QVERIFY(!rig.nav.OnContextMenu(w, info));
    QCOMPARE(MenuRig::popup(), rig.documentMenu());
    QCOMPARE(rig.nav.gsSelectedText, QStringLiteral("gamma"));
    rig.documentMenu()->hide();
    // The page's report answers one menu only: a menu without a press of its own (the
    // keyboard's menu key) does not reuse it.
    QVERIFY(!rig.rightClick(QStringLiteral("words"), QStringLiteral("beta")));
    rig.documentMenu()->hide();
    QVERIFY(rig.nav.OnContextMenu(w, ContextMenuInfo()));
    QVERIFY(!MenuRig::popup());
}

void TestNavMenus::selectionCommandsOnASelection()
{
    MenuRig rig;
    FakeBrowserControl *c = rig.control(0);
    // A selection wins over the word under the pointer.
    QVERIFY(!rig.rightClick("words", "beta", "example.org/news"));
    QCOMPARE(rig.nav.gsSelectedText, QStringLiteral("example.org/news"));
    QVERIFY(rig.item(QStringLiteral("mnuPopSelection(1)"))->isEnabled());
    rig.documentMenu()->hide();

    // Copy with a selection is the document's own copy.
    rig.item(QStringLiteral("mnuPopSelection(0)"))->trigger();
    QCOMPARE(c->commands().last().first, BrowserCommand::Copy);

    // Open URL loads the selected address; Google Search sends it as a query.
    rig.item(QStringLiteral("mnuPopSelection(4)"))->trigger();
    rig.item(QStringLiteral("mnuPopSelection(7)"))->trigger();
    rig.settle();
    QCOMPARE(
        rig.loadedAddresses(),
        (QStringList{QStringLiteral("http://example.org/news"),
                     QStringLiteral("https://search.test/custom?q=example.org%2Fnews&sa=Search")}));

    // A selected script or command is not an address to open.
    for (const char *bad : {"javascript:alert(document.cookie)", "skl:del1"}) {
        QVERIFY(!rig.rightClick(QStringLiteral("words"), QString(), QString::fromLatin1(bad)));
        rig.documentMenu()->hide();
        rig.item(QStringLiteral("mnuPopSelection(4)"))->trigger();
    }
    rig.settle();
    QCOMPARE(rig.loadedAddresses().size(), 2);

    // The menu bar's Selection menu works on the page's selection, not an old word.
    c->setSelectedText(QStringLiteral("delta"));
    rig.frame.mnuTools_Click();
    QCOMPARE(rig.nav.gsSelectedText, QStringLiteral("delta"));
}

void TestNavMenus::formFieldMenu()
{
    MenuRig rig;
    FakeBrowserControl *c = rig.control(0);

    // A text input: the program's form-field menu; Paste follows the document's paste state.
    c->setCommandEnabled(BrowserCommand::Paste, false);
    QVERIFY(!c->contextClick(QStringLiteral("q")));
    QCOMPARE(MenuRig::popup(), rig.fieldMenu());
    QVERIFY(!rig.item(QStringLiteral("mnuPopFD(1)"))->isEnabled());
    rig.fieldMenu()->hide();

    c->setCommandEnabled(BrowserCommand::Paste, true);
    QVERIFY(!c->contextClick(QStringLiteral("t")));
    QVERIFY(rig.item(QStringLiteral("mnuPopFD(1)"))->isEnabled());
    rig.fieldMenu()->hide();
    rig.item(QStringLiteral("mnuPopFD(1)"))->trigger();
    QCOMPARE(c->commands().last().first, BrowserCommand::Paste);
    QCOMPARE(rig.nav.gsFormDataCommand, QStringLiteral("sklPaste"));

    // Edit opens the editor for the window whose field was clicked.
    QList<int> edited;
    rig.nav.hooks.formDataEditor = [&](DocumentWindow &w) { edited << w.miTag; };
    QVERIFY(!c->contextClick(QStringLiteral("q")));
    QVERIFY(rig.item(QStringLiteral("mnuPopFD(0)"))->isEnabled());
    rig.fieldMenu()->hide();
    rig.item(QStringLiteral("mnuPopFD(0)"))->trigger();
    QCOMPARE(edited, QList<int>{0});
    QCOMPARE(rig.nav.gsFormDataCommand, QStringLiteral("sklEdit"));

    // A snippet is typed into the field.
    rig.nav.FormFieldCommand(QStringLiteral("Kind regards"));
    const auto typed = c->fakeDocument().writesOf(QStringLiteral("execCommand"));
    QVERIFY(!typed.isEmpty());
    QCOMPARE(typed.last().name, QStringLiteral("insertText"));
    QCOMPARE(typed.last().value, QStringLiteral("Kind regards"));

    // The window went away meanwhile: the choice does nothing.
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/other.html"));
    rig.settle();
    QVERIFY(!c->contextClick(QStringLiteral("q")));
    rig.fieldMenu()->hide();
    rig.window(0)->zClose();
    rig.settle();
    QVERIFY(!rig.window(0));
    const int commands = int(c->commands().size());
    rig.item(QStringLiteral("mnuPopFD(1)"))->trigger();
    QCOMPARE(int(c->commands().size()), commands);
}

QTEST_MAIN(TestNavMenus)

// The services' addresses are checked on the engine; here: whois looks a bare domain up, the
// site's home page loads, Copy Link puts an escaped link on the clipboard, and a local file
// chosen in the dialog opens in the window.
void TestNavMenus::pageTools()
{
    MenuRig rig;
    const QString page = QStringLiteral("http://www.site.test/a/b.htm?x=1&y=2");
    rig.show(page, QStringLiteral("<title>A <b> page</title>"));
    const int before = int(rig.loadedAddresses().size());
    rig.item("mnuNav_GotoHomePageofThisSite")->trigger();
    rig.settle();
    QCOMPARE(rig.loadedAddresses().mid(before), QStringList{"http://www.site.test/"});
    QVERIFY(PageTools::webToolUrl("https://site.test/x", 2).endsWith("/site.test"));
    QVERIFY(PageTools::translationUrl("skl-app://pages/x.htm", 0).isEmpty());

    rig.item("mnuView_EnlargeFonts")->trigger();
    rig.settle();
    QCOMPARE(rig.control(0)->document().snapshot().bodyZoom, QStringLiteral("140%"));

    rig.item("mnuEdit_CopyLink")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("<a href=\"http://www.site.test/a/b.htm?x=1&amp;y=2\">A &lt;b&gt; "
                            "page</a>"));

    const QString local = QStringLiteral("/tmp/skimline-local-page.htm");
    rig.platform.web.servePage(QUrl::fromLocalFile(local).toString(), "<title>Local</title>");
    QString caption;
    rig.platform.ui.openFileAnswer = [&](const QString &c, const QString &) {
        caption = c;
        return std::optional<QString>(local);
    };
    rig.item("mnuOpenLocalFile")->trigger();
    rig.settle();
    QCOMPARE(caption, QStringLiteral("Open a file on this computer."));
    QCOMPARE(rig.window(0)->msURL, QUrl::fromLocalFile(local).toString());

    // Highlight Selection: the text goes into the search box and is highlighted.
    rig.nav.gsSelectedText = QStringLiteral("  Local ");
    rig.item("mnuPopSelection(5)")->trigger();
    QCOMPARE(rig.frame.topBar()->searchBoxText(), QStringLiteral("Local"));
    QVERIFY(rig.frame.topBar()->highlightOn());
}

#include "test_nav_menus.moc"
