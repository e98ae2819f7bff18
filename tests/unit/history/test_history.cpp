#include "ReaderRig.h"
#include "platform/PageWriter.h"
#include "reader/History.h"
#include "store/DateValue.h"
#include "store/Schemas.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kPage = QStringLiteral("http://site.test/a.htm");

struct HistoryRig : ReaderRig
{
    HistoryRig()
    {
        ctx.gbOptBit4 = true;
        OpenHistoryStore(stores);
    }
    void visit(const QString &url)
    {
        (void)window(0)->navigateHere(QUrl(url));
        settle();
    }
    Recordset &history() { return stores.rsHistory; }
};

double day(int daysAgo, int hour = 0)
{
    return DateValue::fromDateTime(
        QDateTime(QDate::currentDate().addDays(-daysAgo), QTime(hour, 0)));
}

void add(Recordset &rs, const QString &title, const QString &url, const QString &domain,
         double date, int visits, const QString &description = QString())
{
    rs.AddNew();
    (void)rs.SetField("Title", title);
    (void)rs.SetField("URL", url);
    (void)rs.SetField("Domain", domain);
    (void)rs.SetField("Date", date);
    (void)rs.SetField("Visits", visits);
    if (!description.isEmpty())
        (void)rs.SetField("Description", description);
    rs.Update();
}

// The page's headings ("H:" text) and entry titles in order, as written (escaped).
QStringList outline(const QString &html)
{
    static const QRegularExpression re(
        QStringLiteral("<h2>(.*?)</h2>|<div><b>[^<]*</b> <a href=\"[^\"]*\">(.*?)</a>"));
    QStringList out;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out << (m.capturedStart(1) >= 0 ? QStringLiteral("H:") + m.captured(1) : m.captured(2));
    }
    return out;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Two visits of one address make one record (its fields are the engine test's); some
    // pages are never kept.
    void pagesKept_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("historyOn");
        QTest::addColumn<int>("records");
        QTest::newRow("web page") << kPage << true << 1;
        QTest::newRow("about:blank") << QStringLiteral("about:blank") << true << 0;
        QTest::newRow("program page")
            << ProgramPages::url(QStringLiteral("Start.htm")).toString() << true << 0;
        QTest::newRow("history off") << kPage << false << 0;
    }
    void pagesKept()
    {
        QFETCH(QString, url);
        QFETCH(bool, historyOn);
        HistoryRig rig;
        rig.ctx.gbOptBit4 = historyOn;
        rig.visit(url);
        rig.visit(url);
        QTEST(rig.history().RecordCount(), "records");
    }

    void pageBySortOrder_data()
    {
        const QString today = HistoryPage::dateText(QDate::currentDate());
        const QString earlier = HistoryPage::dateText(QDate::currentDate().addDays(-3));
        const QString file = QStringLiteral("skl:locfile:///tmp/notes.htm");
        const QString gamma = QStringLiteral("&lt;i&gt;Gamma&lt;/i&gt;");
        QTest::addColumn<int>("sort");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("date") << 0 << QStringList{"H:" + today,   "Alpha", gamma,
                                                  "H:" + earlier, "Beta",  file};
        QTest::newRow("title") << 1 << QStringList{file, gamma, "Alpha", "Beta"};
        QTest::newRow("domain") << 2 << QStringList{"H:" + HistoryPage::kLocalFiles,
                                                    file,
                                                    "H:a.test",
                                                    "Alpha",
                                                    gamma,
                                                    "H:b.test",
                                                    "Beta"};
        QTest::newRow("visits") << 3 << QStringList{"Beta", file, gamma, "Alpha"};
    }
    // Headings by date or domain, the entries in order, and every text from a page escaped.
    void pageBySortOrder()
    {
        QFETCH(int, sort);
        QFETCH(QStringList, expected);
        Recordset rs = Recordset::Create(HistorySchema());
        add(rs, "Alpha", "http://a.test/", "a.test", day(0, 10), 1);
        add(rs, "Beta", "http://b.test/x", "b.test", day(3, 10), 5);
        add(rs, "", "file:///tmp/notes.htm", "", day(3, 9), 3);
        add(rs, "<i>Gamma</i>", "http://a.test/g?x=1&y=\"2\"", "a.test", day(0, 9), 2,
            "d <script>alert(1)</script>");
        const QString html = HistoryPage::pageHtml(rs, sort);
        QCOMPARE(outline(html), expected);
        QVERIFY(html.contains("<a href=\"skl:locfile:///tmp/notes.htm\">/tmp/notes.htm</a>"));
        QVERIFY(html.contains("href=\"http://a.test/g?x=1&amp;y=&quot;2&quot;\""));
        QVERIFY(html.contains("d &lt;script&gt;alert(1)&lt;/script&gt;"));
        QVERIFY(!html.contains("<script>"));
        QVERIFY(!html.contains("<i>"));
    }
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
