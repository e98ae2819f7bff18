#include "HttpFixture.h"
#include "ProgramRun.h"
#include "TempProfile.h"
#include "platform/DesktopApps.h"
#include "startup/ShellIntegration.h"
#include "store/Recordset.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The real program, started as a user or a script starts it, each run with its own data folder.
class TestAppE2e : public QObject
{
    Q_OBJECT

    static QString data(const TempProfile &p, const char *file)
    {
        return p.file(QStringLiteral("data/") + QLatin1String(file));
    }

private Q_SLOTS:
    // The command line's version, used by scripts and packaging.
    void version()
    {
        QProcess p;
        p.start(SKIMLINE_EXE, {"--version"});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("Skimline " SKIMLINE_VERSION));
    }

    // The start page first; each later start hands its address to the running program, and
    // registered as the default browser it gets the address the desktop opens (when xdg-utils
    // is there); a logout or kill (SIGTERM) ends it as File > Exit does: the session becomes
    // the past one and the log has the run's version line.
    void addressesReachTheRunningProgramUntilSigterm()
    {
        TempProfile profile;
        QTemporaryDir desktop;
        const bool xdg = !QStandardPaths::findExecutable("xdg-open").isEmpty();
        if (xdg) {
            qputenv("XDG_CONFIG_HOME", desktop.filePath("config").toUtf8());
            qputenv("XDG_DATA_HOME", desktop.filePath("data").toUtf8());
            qunsetenv("BROWSER"); // xdg-open would prefer it to the registered handler
            const ShellIntegration::Outcome registered =
                ShellIntegration::RegisterDefaultBrowser(DesktopApps(), SKIMLINE_EXE);
            QVERIFY2(registered.ok, qPrintable(registered.message));
        }
        HttpFixture server;
        QVERIFY(server.isListening());
        QStringList pages = {"/one.htm", "/two.htm", "/three.htm"};
        for (const QString &page : pages)
            server.addHtml(page, page.mid(1), "<p>page</p>");
        server.addHtml("/opened.htm", "opened", "<p>from the desktop</p>");
        QProcess running;
        running.start(SKIMLINE_EXE, {"--no-first-run", "--print-completed"});
        QByteArray out;
        QVERIFY2(
            ProgramRun::waitForOutput(running, out, "completed skl-app://pages/Start.htm", 120000),
            out.constData());
        for (const QString &page : pages) {
            const QUrl url = server.url(page);
            QProcess later;
            later.start(SKIMLINE_EXE, {url.toString()});
            QTRY_VERIFY_WITH_TIMEOUT(later.state() == QProcess::NotRunning, 60000);
            QVERIFY2(
                ProgramRun::waitForOutput(running, out, "completed " + url.toEncoded(), 120000),
                out.constData());
        }
        if (xdg) {
            const QUrl url = server.url("/opened.htm");
            QProcess opener;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            // Only a desktop session's opener asks for the registered handler; the program
            // itself runs offscreen whatever the display says.
            if (!env.contains("DISPLAY") && !env.contains("WAYLAND_DISPLAY"))
                env.insert("DISPLAY", ":0");
            opener.setProcessEnvironment(env);
            opener.start("xdg-open", {url.toString()});
            QVERIFY2(
                ProgramRun::waitForOutput(running, out, "completed " + url.toEncoded(), 120000),
                out.constData());
            QTRY_VERIFY_WITH_TIMEOUT(opener.state() == QProcess::NotRunning, 60000);
            QCOMPARE(opener.exitCode(), 0);
            pages << "/opened.htm";
        }
        running.terminate(); // SIGTERM
        QVERIFY(running.waitForFinished(60000));
        QCOMPARE(running.exitStatus(), QProcess::NormalExit);
        QCOMPARE(running.exitCode(), 0);
        QVERIFY(!QFile::exists(data(profile, "sklCurrentSession.skl")));
        QStringList past;
        auto session = Recordset::Open(data(profile, "sklPastSession.skl"));
        QVERIFY(session);
        for (session->MoveFirst(); !session->isEOF(); session->MoveNext())
            past << QUrl(session->Field("URL").toString()).path();
        for (const QString &page : pages)
            QVERIFY2(past.contains(page), qPrintable(past.join(' ')));
        QFile log(data(profile, "common/LoggedErrors.txt"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("\r\n\r\n" SKIMLINE_VERSION ": "));
        if (!xdg)
            QSKIP("xdg-utils is not installed: the desktop's opener was not tried");
    }
};

QTEST_GUILESS_MAIN(TestAppE2e)
#include "test_app_e2e.moc"
