#include "HttpFixture.h"
#include "StoredContext.h"
#include "TempProfile.h"
#include "favorites/LinkChecker.h"
#include "platform/HttpClient.h"
#include "store/Recordset.h"

#include <QRegularExpression>
#include <QSslConfiguration>
#include <QTest>

namespace {

struct Run
{
    QString page;
    QString menu;
    bool finished = false;
    QStringList progress;

    LinkCheckOutput output()
    {
        LinkCheckOutput out;
        out.writePage = [this](const QString &html) { page = html; };
        out.append = [this](const QString &html) { page += html; };
        out.showMenu = [this](const QString &html) { menu = html; };
        out.progress = [this](const QString &text) { progress << text; };
        out.finished = [this] { finished = true; };
        return out;
    }
    // The report's entries in report order: "class title".
    QStringList entries() const
    {
        QStringList out;
        static const QRegularExpression entry(
            QStringLiteral("class=(\\w+)>.*?Delete</a><b>(.*?)</b><br>"));
        for (auto m = entry.globalMatch(page); m.hasNext();) {
            const auto hit = m.next();
            out << hit.captured(1) + QLatin1Char(' ') + hit.captured(2);
        }
        return out;
    }
};

} // namespace

class TestLinkChecker : public QObject
{
    Q_OBJECT

    HttpFixture m_http;

    double add(StoredContext &c, const QString &title, const QString &url, int status = 0,
               const QByteArray &post = {})
    {
        Recordset &rs = c.stores.rsFavorites;
        rs.AddNew();
        (void)rs.SetField("Title", title);
        (void)rs.SetField("URL", url);
        (void)rs.SetField("StatusCode", status);
        (void)rs.SetField("PostData", post);
        rs.Update();
        return rs.Bookmark();
    }
    QString url(const char *path) { return m_http.url(QString::fromLatin1(path)).toString(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_http.listenSecure());
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificate(HttpFixture::certificate());
        QSslConfiguration::setDefaultConfiguration(tls);
        m_http.addHtml("/ok", "ok", "ok");
        m_http.addSlow("/slow", "slow", 400);
        m_http.addHandler("/moved", [](const HttpFixture::Request &) {
            HttpFixture::Response r;
            r.status = 301;
            r.headers = {{"Location", "/ok"}};
            return r;
        });
        m_http.addHandler("/nohead", [](const HttpFixture::Request &r) {
            HttpFixture::Response out;
            out.status = r.method == "HEAD" ? 405 : 200;
            return out;
        });
        m_http.addHandler("/broken", [](const HttpFixture::Request &) {
            HttpFixture::Response r;
            r.status = 500;
            return r;
        });
    }

    // One run over every kind of favorite: each status and class right, in store order while
    // answers come out of order, the missing file and the empty address deleted and listed,
    // the favorite with post data left alone, markup shown as text.
    void checkEveryKind()
    {
        TempProfile profile;
        StoredContext c(profile.file("data"));
        QtHttpClient http;
        add(c, "slow", url("/slow"));
        add(c, "ok <i>x</i>", url("/ok"));
        add(c, "moved", url("/moved"));
        add(c, "missing", url("/nothing"));
        add(c, "nohead", url("/nohead"));
        add(c, "broken", url("/broken"));
        add(c, "refused", QStringLiteral("http://127.0.0.1:%1/").arg(HttpFixture::refusedPort()));
        add(c, "secure", m_http.secureUrl("/ok").toString());
        add(c, "gone", QUrl::fromLocalFile(profile.file("no-such.htm")).toString());
        add(c, "empty", QString());
        const double posted = add(c, "posted", url("/ok"), 0, "a=1");
        add(c, "mail", "mailto:a@b.test");

        LinkChecker checker(c.ctx, http);
        int saves = 0;
        checker.saveFavorites = [&] { ++saves; };
        Run run;
        QVERIFY(checker.start(LinkCheckScope::All, run.output()));
        QTRY_VERIFY_WITH_TIMEOUT(run.finished, 20000);

        QCOMPARE(run.entries(), (QStringList{"C2 slow", "C2 ok &lt;i&gt;x&lt;/i&gt;", "C3 moved",
                                             "C4 missing", "C2 nohead", "C5 broken", "C0 refused",
                                             "C2 secure", "Local gone", "Local empty"}));
        QVERIFY(run.page.contains("Moved to: " + url("/ok") + " (200)"));
        QVERIFY(run.page.contains("Number of links checked = <b>10</b>"));
        QVERIFY(run.page.contains("were deleted automatically.<ol><b><li>" +
                                  profile.file("no-such.htm")));
        QCOMPARE(run.menu, LinkCheckResultMenu());
        QVERIFY(saves >= 1);

        Recordset rs = c.stores.rsFavorites.Clone();
        QCOMPARE(rs.RecordCount(), 10);
        QVERIFY(!rs.Find("Title = 'gone'") && !rs.Find("Title = 'empty'"));
        QVERIFY(rs.Find("Title = 'moved'"));
        QCOMPARE(rs.Field("StatusCode").toInt(), 301);
        QVERIFY(rs.SetBookmark(posted));
        QCOMPARE(rs.Field("StatusCode").toInt(), 0);

        // "Re-check Questionable Links" asks again for the 4xx and 5xx ones only.
        m_http.clearRequests();
        Run again;
        QVERIFY(checker.start(LinkCheckScope::Questionable, again.output()));
        QTRY_VERIFY_WITH_TIMEOUT(again.finished, 20000);
        QCOMPARE(again.entries(), (QStringList{"C4 missing", "C5 broken"}));
        QCOMPARE(m_http.requests().size(), 2);
    }

    // At most eight requests go to one host at once; Stop sends nothing more and still ends
    // the run with its summary.
    void limitAndStop()
    {
        TempProfile profile;
        StoredContext c(profile.file("data"));
        QtHttpClient http;
        for (int i = 0; i < 40; ++i)
            add(c, QString::number(i), url("/slow") + "?" + QString::number(i));
        LinkChecker checker(c.ctx, http);
        Run run;
        QVERIFY(checker.start(LinkCheckScope::All, run.output()));
        QTRY_VERIFY_WITH_TIMEOUT(run.entries().size() >= 8, 10000);
        QVERIFY(m_http.maxInFlight() <= 8);
        checker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(run.finished, 5000);
        QTest::qWait(100); // what was on the wire when Stop came
        const int asked = m_http.requests("/slow").size();
        QTest::qWait(600);
        QCOMPARE(m_http.requests("/slow").size(), asked);
        QVERIFY(asked < 40);
        QVERIFY(run.page.contains("Number of links checked = <b>40</b>"));
        QVERIFY(!checker.isRunning());
    }
};

QTEST_MAIN(TestLinkChecker)
#include "test_link_checker.moc"
