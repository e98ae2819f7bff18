#include "HttpFixture.h"
#include "ProgramRun.h"
#include "TempProfile.h"
#include "store/Recordset.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QtTest>

namespace {

// Visits by page path, as the history file holds them; empty when it cannot be read yet.
QMap<QString, int> visitsOnDisk(const QString &file)
{
    QMap<QString, int> out;
    auto rs = Recordset::Open(file);
    if (!rs)
        return out;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        out[QUrl(rs->Field("URL").toString()).path()] = rs->Field("Visits").toInt();
    return out;
}

} // namespace

// The real program records the pages read in its window; the visits are on disk while it runs.
class TestHistoryE2e : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each run reads one page and is killed once its visit is in the file: the next run goes
    // on from there. The page read twice keeps one record with two visits, and a last run
    // keeps all of them through its own exit.
    void visitsSurviveKilledRuns()
    {
        TempProfile profile;
        HttpFixture server;
        QVERIFY(server.isListening());
        server.addPage("/one.htm", "<html><head><title>One</title><meta name=description "
                                   "content='First page'></head><body>one</body></html>");
        server.addHtml("/two.htm", "Two", "<p>two</p>");
        const QString history = profile.file(QStringLiteral("data/History8.skl"));

        QMap<QString, int> expected;
        for (const QString &page : {"/one.htm", "/two.htm", "/one.htm"}) {
            ++expected[page];
            QProcess running;
            running.start(SKIMLINE_EXE,
                          {"--no-first-run", "--print-completed", server.url(page).toString()});
            QByteArray out;
            QVERIFY2(ProgramRun::waitForOutput(running, out,
                                               "completed " + server.url(page).toEncoded(), 120000),
                     out.constData());
            QElapsedTimer clock;
            clock.start();
            while (visitsOnDisk(history) != expected && clock.elapsed() < 30000)
                QTest::qWait(100);
            QCOMPARE(visitsOnDisk(history), expected);
            running.kill(); // SIGKILL: no exit sequence runs
            QVERIFY(running.waitForFinished(30000));
            QCOMPARE(running.exitStatus(), QProcess::CrashExit);
        }

        QProcess next;
        next.start(SKIMLINE_EXE, {"--no-first-run", "--exit-when-idle"});
        QVERIFY(next.waitForFinished(120000));
        QCOMPARE(next.exitCode(), 0);
        QCOMPARE(visitsOnDisk(history), expected);
        auto rs = Recordset::Open(history);
        QVERIFY(rs && rs->Find("URL = '" + server.url("/one.htm").toString() + "'"));
        QCOMPARE(rs->Field("Title").toString(), QStringLiteral("One"));
        QCOMPARE(rs->Field("Description").toString(), QStringLiteral("First page"));
    }
};

QTEST_GUILESS_MAIN(TestHistoryE2e)
#include "test_history_e2e.moc"
