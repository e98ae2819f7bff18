#include "FakeBrowserControl.h"
#include "ReaderRig.h"
#include "frame/MDIForm1.h"
#include "frame/Pane.h"
#include "frame/Sidebar.h"
#include "frame/SidebarHtml.h"
#include "frame/TopBar.h"
#include "store/DateValue.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

namespace {

// The main frame over the reading workflow's rig: its panes are controls of the double.
struct SidebarRig
{
    ReaderRig r;
    MDIForm1 frame{r.ctx};
    Sidebar &sidebar = *frame.sidebar();
    FakeBrowserControl &pane = static_cast<FakeBrowserControl &>(frame.sidebarPane()->control());

    SidebarRig()
    {
        r.ctx.reader = &r.reader;
        OpenHistoryStore(r.stores);
        r.settle();
    }
    void setBox(const QString &text) { frame.topBar()->setSearchBoxText(text); }
    DomNode *el(const QString &id) { return pane.dom().getElementById(id); }
    // The entries of a list: the text of every anchor or div entry, in order.
    QStringList entries(const QString &id)
    {
        QStringList out;
        for (DomNode *n : el(id)->querySelectorAll("a, div.qf, div.gr, div.W, div.QL"))
            out << n->innerText();
        return out;
    }
    double favorite(const QString &title, const QString &keywords, int bfFav = 0, int period = 0,
                    const QString &url = QStringLiteral("http://fav.test/"))
    {
        Recordset &f = r.stores.rsFavorites;
        f.AddNew();
        (void)f.SetField("Title", title);
        (void)f.SetField("Keywords", keywords);
        (void)f.SetField("URL", url);
        (void)f.SetField("bfFav", bfFav);
        (void)f.SetField("Period", period);
        f.Update();
        return f.Bookmark();
    }
    void visit(const QString &title, const QString &url, double daysAgo)
    {
        Recordset &h = r.stores.rsHistory;
        h.AddNew();
        (void)h.SetField("Title", title);
        (void)h.SetField("URL", url);
        (void)h.SetField("Date", DateValue::now() - daysAgo);
        h.Update();
    }
    // Shows a tab and waits until its list is in the pane.
    void show(const QString &tab)
    {
        QSignalSpy written(&sidebar, &Sidebar::listWritten);
        sidebar.xShowSidebarTab(tab, 1);
        QElapsedTimer clock;
        clock.start();
        while (written.isEmpty() && clock.elapsed() < 5000) {
            r.settle();
            QCoreApplication::processEvents();
        }
        r.settle();
    }
};

} // namespace

class TestSidebar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every list type against real stores: filter, sort, the trash left out, markup as text.
    void linkLists_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("shown");
        const auto rows = [](const char *name, const char *tab, const char *box,
                             const QStringList &shown) {
            QTest::newRow(name) << QString::fromLatin1(tab) << QString::fromLatin1(box) << shown;
        };
        rows("quick links", "m2", "", {"<b>Alpha</b>", "Zeta"});
        rows("scheduled", "m4", "", {"Daily"});
        rows("feeds", "m6", "", {"Feed"});
        rows("quick folders", "m5", "", {"A&B", "News\\Local"});
        rows("favorites by word", "s3", "o'b", {"O'Brien"});
        rows("favorites by folder", "s3", "\\news", {"Daily", "O'Brien"});
        rows("history newest first", "s4", "it's",
             {"It's new", "file:///tmp/it's.htm", "It's old"});
        rows("history by address", "s4", "script", {"Run"});
        rows("empty box", "s3", "Search, Filter, or Highlight Textbox", {});
    }
    void linkLists()
    {
        QFETCH(QString, tab);
        QFETCH(QString, box);
        QFETCH(QStringList, shown);
        SidebarRig s;
        s.favorite(QStringLiteral("Zeta"), QStringLiteral("Links"), 1);
        s.favorite(QStringLiteral("<b>Alpha</b>"), QStringLiteral("Links"), 1);
        s.favorite(QStringLiteral("Gone"), QStringLiteral("Delete\\Links"), 1);
        s.favorite(QStringLiteral("Daily"), QStringLiteral("News"), 0, 1);
        s.favorite(QStringLiteral("Feed"), QString(), 2);
        s.favorite(QStringLiteral("O'Brien"), QStringLiteral("News\\Local"));
        for (const char *folder : {"News\\Local", "A&B"})
            (void)s.r.stores.rsOptions.AddNew({QStringLiteral("key"), QStringLiteral("value")},
                                              {QStringLiteral("qf"), QString::fromLatin1(folder)});
        s.visit(QStringLiteral("It's old"), QStringLiteral("http://h.test/1"), 3);
        s.visit(QStringLiteral("It's new"), QStringLiteral("http://h.test/2"), 1);
        s.visit(QString(), QStringLiteral("file:///tmp/it's.htm"), 2);
        s.visit(QStringLiteral("Run"), QStringLiteral("javascript:x()"), 2);
        s.setBox(box);
        s.show(tab);
        QCOMPARE(s.entries(QStringLiteral("LB")), shown);
        QVERIFY(s.el(QStringLiteral("LB"))->querySelectorAll(QStringLiteral("b")).isEmpty());
        if (shown.isEmpty())
            QVERIFY(s.el("LB")->innerText().contains(SidebarHtml::kEmptyBoxMessage));
        // Only web addresses are followed in the pane; anything else goes through the program.
        for (DomNode *a : s.el(QStringLiteral("LB"))->querySelectorAll(QStringLiteral("a"))) {
            const QString href = a->href();
            QVERIFY2(href.startsWith(QLatin1String("http://")) ||
                         href.startsWith(QLatin1String("skl:")),
                     qPrintable(href));
        }
    }

    // A long list goes in a screenful first, then in slices; a list asked for meanwhile takes
    // its place without entries of the old one coming after.
    void longListsInSlices()
    {
        SidebarRig s;
        constexpr int kPages = 3000;
        for (int i = 0; i < kPages; ++i)
            s.visit(QStringLiteral("Page %1").arg(i), QStringLiteral("http://h.test/%1").arg(i), i);
        s.favorite(QStringLiteral("Quick"), QStringLiteral("Links"), 1);
        s.setBox(QStringLiteral("page"));
        s.sidebar.xShowSidebarTab(QStringLiteral("s4"), 1);
        s.r.settle();
        QCOMPARE(s.entries(QStringLiteral("LB")).size(), 60);
        QCOMPARE(s.entries(QStringLiteral("LB")).constFirst(), QStringLiteral("Page 0"));
        s.show(QStringLiteral("m2"));
        QCoreApplication::processEvents();
        s.r.settle();
        QCOMPARE(s.entries(QStringLiteral("LB")), QStringList{QStringLiteral("Quick")});
        s.show(QStringLiteral("s4"));
        const QStringList all = s.entries(QStringLiteral("LB"));
        QCOMPARE(all.size(), kPages);
        QCOMPARE(all.constLast(), QStringLiteral("Page %1").arg(kPages - 1));
        QCOMPARE(s.el(QStringLiteral("LB"))->childElements().constLast()->tagName(), "HR");
    }

    // The favorite's menu changes the record, in the store and in its file; the list follows.
    void favoriteMenuWritesBack()
    {
        SidebarRig s;
        const double quick = s.favorite(QStringLiteral("Quick"), QStringLiteral("Links"), 1, 2);
        const double other = s.favorite(QStringLiteral("Other"), QStringLiteral("Links"), 1);
        s.show(QStringLiteral("m2"));
        const auto rightClick = [&](double b) {
            DomNode *a = s.el(QStringLiteral("B") + SidebarHtml::bookmarkText(b));
            QVERIFY(a);
            s.pane.fakeDocument().dispatch(DomEventType::ContextMenu, a, -1);
            s.frame.subMenu(QStringLiteral("mnuPopSidebar"))->hide();
        };
        rightClick(quick);
        QVERIFY(s.frame.menuItem(QStringLiteral("mnuPopSB(2)"))->isVisible());
        QVERIFY(s.frame.menuItem(QStringLiteral("mnuPopSB(3)"))->isVisible());
        s.frame.menuItem(QStringLiteral("mnuPopSB(3)"))->trigger();
        s.frame.menuItem(QStringLiteral("mnuPopSB(2)"))->trigger();
        s.show(QStringLiteral("m2"));
        QCOMPARE(s.entries(QStringLiteral("LB")), QStringList{QStringLiteral("Other")});
        rightClick(other);
        QVERIFY(!s.frame.menuItem(QStringLiteral("mnuPopSB(3)"))->isVisible());
        s.frame.menuItem(QStringLiteral("mnuPopSB(1)"))->trigger();
        s.r.settle();
        QVERIFY(s.entries(QStringLiteral("LB")).isEmpty());

        auto saved = Recordset::Open(s.r.stores.rsFavorites.path());
        QVERIFY(saved);
        QVERIFY(saved->SetBookmark(quick));
        QCOMPARE(saved->Field("bfFav").toInt(), 0);
        QCOMPARE(saved->Field("Period").toInt(), 0);
        QVERIFY(saved->SetBookmark(other));
        QCOMPARE(saved->Field("Keywords").toString(), QStringLiteral("Delete\\Links"));
        QCOMPARE(saved->Field("bfFav").toInt(), 1);
    }

    // What is followed in the pane loads in a document window; the pane stays where it is.
    void linksLoadInDocumentWindows()
    {
        SidebarRig s;
        const double fav = s.favorite("Fav", QString(), 0, 0, "http://fav.test/page");
        const QUrl paneUrl = s.pane.locationUrl();
        QVERIFY(s.sidebar.cWB_BeforeNavigate2(QStringLiteral("http://web.test/")));
        QVERIFY(s.sidebar.cWB_BeforeNavigate2(QStringLiteral("skl:L") +
                                              SidebarHtml::bookmarkText(fav)));
        s.r.settle();
        QCOMPARE(s.r.records(), (QStringList{QStringLiteral("http://web.test/:0:1"),
                                             QStringLiteral("http://fav.test/page:0:1")}));
        QVERIFY(s.r.stores.rsFavorites.SetBookmark(fav));
        QCOMPARE(s.r.stores.rsFavorites.Field("Accesses").toInt(), 1);
        QCOMPARE(s.pane.locationUrl(), paneUrl);
    }
};

QTEST_MAIN(TestSidebar)
#include "test_sidebar.moc"
