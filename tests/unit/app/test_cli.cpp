#include <QProcess>
#include <QtTest>

// The executable's own command-line contract, used by scripts and packaging.
class TestCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionAndHelp_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("expected");
        QTest::newRow("version") << "--version"
                                 << "Skimline " SKIMLINE_VERSION;
        QTest::newRow("help") << "--help"
                              << "Usage: skimline";
    }
    void versionAndHelp()
    {
        QFETCH(QString, flag);
        QFETCH(QString, expected);
        QProcess p;
        p.start(SKIMLINE_EXE, {flag});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(out.startsWith(expected), qPrintable(flag));
        // The help tells what the setup switches do in this version, nothing more.
        if (flag == QLatin1String("--help"))
            QVERIFY(out.contains("/Uninstall          Remove the desktop entry"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
