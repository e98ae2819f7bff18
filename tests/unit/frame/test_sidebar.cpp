#include "FakeBrowserControl.h"
#include "ReaderRig.h"
#include "frame/MDIForm1.h"
#include "frame/Sidebar.h"
#include "frame/SidebarHtml.h"
#include "store/DateValue.h"

#include <QAction>
#include <QtTest>

namespace {

// The sidebar over the reading workflow's rig, its pane a control of the double.
struct SidebarRig
{
    ReaderRig r;
    MDIForm1 frame{r.ctx};
    FakeBrowserControl pane{r.platform.web};
    Sidebar sidebar{r.ctx, frame};
    QString box;

    SidebarRig()
    {
        OpenHistoryStore(r.stores);
        const QUrl url(QStringLiteral("skl-app://pages/sidebar"));
        r.platform.web.servePage(
            url.toString(), QStringLiteral("<div id=menu style=display:none></div><div id=Headings "
                                           "style=display:none></div><div id=LB style=display:none>"
                                           "</div><div id=MW></div><div id=qul></div>"));
        (void)pane.navigate(url);
        r.settle();
        sidebar.attach(pane.document());
        sidebar.topBar.searchBoxText = [this] { return box; };
        sidebar.topBar.setSearchBoxText = [this](const QString &t) { box = t; };
    }
    DomNode *el(const QString &id) { return pane.dom().getElementById(id); }
    // The entries of a list: the text of every anchor or div entry, in order.
    QStringList entries(const QString &id)
    {
        QStringList out;
        for (DomNode *n :
             el(id)->querySelectorAll(QStringLiteral("a, div.qf, div.gr, div.W, div.QL")))
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
        s.box = box;
        s.show(tab);
        QCOMPARE(s.entries(QStringLiteral("LB")), shown);
        QVERIFY(s.el(QStringLiteral("LB"))->querySelectorAll(QStringLiteral("b")).isEmpty());
        if (shown.isEmpty())
            QVERIFY(
                s.el(QStringLiteral("LB"))->innerText().contains(SidebarHtml::kEmptyBoxMessage));
        // Only web addresses are followed in the pane; anything else goes through the program.
        for (DomNode *a : s.el(QStringLiteral("LB"))->querySelectorAll(QStringLiteral("a"))) {
            const QString href = a->href();
            QVERIFY2(href.startsWith(QLatin1String("http://")) ||
                         href.startsWith(QLatin1String("skl:")),
                     qPrintable(href));
        }
    }
};

QTEST_MAIN(TestSidebar)
#include "test_sidebar.moc"
