#include "HttpFixture.h"
#include "ProgramRun.h"
#include "TempProfile.h"
#include "store/Recordset.h"

#include <QMap>
#include <QProcess>
#include <QtTest>

// The real program killed while its documents load and wait: the next start brings back every
// unread page, in the order they were queued. The visits are on disk while it runs.
class TestReaderAppE2E : public QObject
{
    Q_OBJECT

    // "URL:bRead:bLoaded" of a session file in reading order.
    static QStringList sessionRecords(const QString &path, const QString &filter = {})
    {
        auto rs = Recordset::Open(path);
        if (!rs)
            return {QStringLiteral("<unreadable>")};
        if (!filter.isEmpty() && !rs->SetFilter(filter))
            return {QStringLiteral("<bad filter>")};
        (void)rs->SetSort(QStringLiteral("Order"));
        QStringList out;
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            out << QUrl(rs->Field(QStringLiteral("URL")).toString()).path();
        return out;
    }

    // Visits by page path, as the history file holds them; empty when it cannot be read yet.
    static QMap<QString, int> visitsOnDisk(const QString &file)
    {
        QMap<QString, int> out;
        auto rs = Recordset::Open(file);
        if (!rs)
            return out;
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            out[QUrl(rs->Field("URL").toString()).path()] = rs->Field("Visits").toInt();
        return out;
    }

private Q_SLOTS:
    void killedWhileLoadingAndQueued()
    {
        TempProfile profile;
        HttpFixture server;
        QVERIFY(server.isListening());
        bool slow = true;
        server.addPage("/first.htm", "<html><head><title>First</title><meta name=description "
                                     "content='First page'></head><body>1</body></html>");
        QStringList handed;
        QMap<QString, int> visits{{"/first.htm", 1}};
        const QString history = profile.file(QStringLiteral("data/History8.skl"));
        for (int i = 1; i <= 7; ++i) {
            const QString path = QStringLiteral("/q%1.htm").arg(i);
            handed << path;
            server.addHandler(path, [&slow, i](const HttpFixture::Request &) {
                HttpFixture::Response r;
                r.body = HttpFixture::html(QStringLiteral("Q%1").arg(i), QStringLiteral("q"));
                r.delayMs = slow ? 120000 : 0;
                return r;
            });
        }

        QProcess running;
        running.start(SKIMLINE_EXE,
                      {"--no-first-run", "--print-completed", server.url("/first.htm").toString()});
        QByteArray out;
        QVERIFY2(ProgramRun::waitForOutput(
                     running, out, "completed " + server.url("/first.htm").toEncoded(), 120000),
                 out.constData());
        // Each later start hands its address over: background loads of the running program.
        for (const QString &path : std::as_const(handed)) {
            QProcess later;
            later.start(SKIMLINE_EXE, {server.url(path).toString()});
            QTRY_VERIFY_WITH_TIMEOUT(later.state() == QProcess::NotRunning, 60000);
            QCOMPARE(later.exitCode(), 0);
        }
        // Four downloads hang at the server, three wait in the queue.
        QTRY_COMPARE_WITH_TIMEOUT(server.inFlight(), 4, 60000);
        QTest::qWait(200);
        QCOMPARE(server.maxInFlight(), 4);
        const QString current = profile.file(QStringLiteral("data/sklCurrentSession.skl"));
        QCOMPARE(sessionRecords(current, QStringLiteral("bRead = 0")), handed);
        QCOMPARE(sessionRecords(current, QStringLiteral("bRead = 0 AND bLoaded = 0")).size(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(visitsOnDisk(history).value("/first.htm"), 1, 30000);

        running.kill(); // SIGKILL: no exit sequence runs
        QVERIFY(running.waitForFinished(30000));
        QCOMPARE(running.exitStatus(), QProcess::CrashExit);

        slow = false;
        server.clearRequests();
        QProcess next;
        next.start(SKIMLINE_EXE, {"--no-first-run", "--exit-when-idle", "--print-completed"});
        QVERIFY(next.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(next.state() == QProcess::NotRunning, 120000);
        out = next.readAllStandardOutput();
        QCOMPARE(next.exitCode(), 0);
        for (const QString &path : std::as_const(handed))
            QVERIFY2(out.contains("completed " + server.url(path).toEncoded() + "\n"),
                     out.constData());
        QVERIFY(!out.contains("/first.htm"));
        QCOMPARE(server.requestCount(QStringLiteral("/first.htm")), 0);
        // The restarted run queued them in their old order; the history kept the killed run's
        // visit and, after its own exit, has the page it read (the others wait unread).
        QCOMPARE(sessionRecords(profile.file(QStringLiteral("data/sklPastSession.skl"))), handed);
        visits[handed.first()] = 1;
        QCOMPARE(visitsOnDisk(history), visits);
        auto rs = Recordset::Open(history);
        QVERIFY(rs && rs->Find("URL = '" + server.url("/first.htm").toString() + "'"));
        QCOMPARE(rs->Field("Title").toString(), QStringLiteral("First"));
        QCOMPARE(rs->Field("Description").toString(), QStringLiteral("First page"));
    }
};

QTEST_MAIN(TestReaderAppE2E)
#include "test_reader_app_e2e.moc"
