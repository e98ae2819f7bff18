#include "TempProfile.h"

#include "frame/DesktopPrograms.h"
#include "platform/DesktopApps.h"
#include "startup/ShellIntegration.h"
#include "store/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

namespace {

void write(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

QString entry(const QString &exec, const QString &extra = QString())
{
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=App\nExec=") + exec + u'\n' +
           extra;
}

QStringList ids(const QList<DesktopApp> &apps)
{
    QStringList out;
    for (const DesktopApp &a : apps)
        out << a.id;
    return out;
}

} // namespace

// The desktop's folders are the test's own: a home, its config and one system data folder.
class TestShellIntegration : public QObject
{
    Q_OBJECT

    TempProfile m_root;
    QString m_home, m_system;

    void useFolders()
    {
        m_home = m_root.file("home");
        m_system = m_root.file("system");
        qputenv("HOME", m_home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home + "/.config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", m_root.file("etc").toUtf8());
        qputenv("XDG_DATA_HOME", (m_home + "/.local/share").toUtf8());
        qputenv("XDG_DATA_DIRS", m_system.toUtf8());
    }

private Q_SLOTS:
    void initTestCase() { useFolders(); }

    // Defaults first, then added associations, then the cache; a removal hides an entry
    // for the files after it; an id may live in a subfolder; hidden entries are none.
    void handlersInTheUsersOrder()
    {
        const QString apps = m_system + "/applications/";
        for (const char *id :
             {"cached.desktop", "added.desktop", "chosen.desktop", "removed.desktop"})
            write(apps + id, entry(QStringLiteral("/bin/true %u")));
        write(apps + "kde/mail.desktop", entry("kmail %u"));
        write(apps + "hidden.desktop", entry("/bin/true", "Hidden=true\n"));
        write(apps + "mimeinfo.cache",
              "[MIME Cache]\nx-test/a=removed.desktop;hidden.desktop;cached.desktop;\n"
              "x-scheme-handler/mailto=kde-mail.desktop;\n");
        write(m_home + "/.config/mimeapps.list",
              "[Default Applications]\nx-test/a=chosen.desktop;missing.desktop\n"
              "[Removed Associations]\nx-test/a=removed.desktop;\n");
        write(apps + "mimeapps.list", "[Added Associations]\nx-test/a=added.desktop;\n");
        const DesktopApps desktop;
        QCOMPARE(ids(desktop.handlers("x-test/a")),
                 QStringList({"chosen.desktop", "added.desktop", "cached.desktop"}));
        QCOMPARE(desktop.defaultFor("x-scheme-handler/mailto")->exec, QStringLiteral("kmail %u"));
        QVERIFY(!desktop.defaultFor("x-test/none"));
    }

    void execLines()
    {
        const DesktopApp app{"a.desktop", "/p/a.desktop", "App", {}, {}};
        auto run = [&](const QString &exec, const QStringList &args) {
            DesktopApp a = app;
            a.exec = exec;
            return DesktopApps::commandLine(a, args);
        };
        QCOMPARE(run("\"/opt/my app/bin\" --new %U", {"u1", "u2"}),
                 QStringList({"/opt/my app/bin", "--new", "u1", "u2"}));
        QCOMPARE(run("ed %f %i %c", {"/f"}), QStringList({"ed", "/f", "App"}));
        QCOMPARE(run("ed --x=100%%", {"/f"}), QStringList({"ed", "--x=100%", "/f"}));
        QCOMPARE(run("\"ed \\\"q\\\"\" %u", {}), QStringList({"ed \"q\""}));
        QVERIFY(run("\"unclosed", {}).isEmpty());
    }

    // Another browser is never this program, whatever the desktop's default is.
    void otherBrowserIsNotThisOne()
    {
        const QString apps = m_home + "/.local/share/applications/";
        write(apps + "skimline.desktop", entry("/usr/bin/skimline %U"));
        write(apps + "self.desktop", entry(QCoreApplication::applicationFilePath() + " %u"));
        write(apps + "other.desktop", entry("/usr/bin/other %u"));
        write(m_home + "/.config/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/http=skimline.desktop;self.desktop;"
              "other.desktop;\n");
        const std::optional<DesktopApp> other =
            DesktopPrograms::otherBrowser(DesktopApps(), QCoreApplication::applicationFilePath());
        QVERIFY(other);
        QCOMPARE(other->id, QStringLiteral("other.desktop"));
        QFile::remove(apps + "other.desktop");
        QVERIFY(
            !DesktopPrograms::otherBrowser(DesktopApps(), QCoreApplication::applicationFilePath()));
        QDir(m_home).removeRecursively();
    }

    // With the desktop's own tools: registered once or twice the state is the same; the
    // uninstall takes the entry, its associations and the settings away.
    void registerAndUninstall()
    {
        if (QStandardPaths::findExecutable("xdg-settings").isEmpty())
            QSKIP("xdg-utils is not installed");
        // The desktop's tool insists on an executable that is there.
        const QString exe = QCoreApplication::applicationFilePath();
        const DesktopApps desktop;
        const QString path = desktop.userApplicationsFolder() + "/skimline.desktop";
        const ShellIntegration::Outcome first =
            ShellIntegration::RegisterDefaultBrowser(desktop, exe);
        QVERIFY2(first.ok, qPrintable(first.message));
        const auto state = [&] {
            QByteArray out;
            for (const QString &file : {path, desktop.userMimeappsFile()}) {
                QFile f(file);
                out += f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
            }
            return out;
        };
        const QByteArray once = state();
        QVERIFY2(ShellIntegration::RegisterDefaultBrowser(desktop, exe).ok, "second");
        QCOMPARE(state(), once);
        QFile list(desktop.userMimeappsFile());
        const DesktopApps::ToolRun get =
            DesktopApps::runTool("xdg-settings", {"get", "default-web-browser"});
        QCOMPARE(get.output, QStringLiteral("skimline.desktop"));
        QCOMPARE(DesktopApps::commandLine(*desktop.defaultFor("text/html"), {"http://a.test/"}),
                 QStringList({exe, "http://a.test/"}));
        QCOMPARE(ShellIntegration::DesktopEntryText("/opt/Skim Line/sk")
                     .section("Exec=", 1, 1)
                     .section('\n', 0, 0),
                 QStringLiteral("\"/opt/Skim Line/sk\" %U"));
        QVERIFY(
            QFileInfo::exists(desktop.userIconsFolder() + "/hicolor/scalable/apps/skimline.svg"));
        if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
            const DesktopApps::ToolRun valid =
                DesktopApps::runTool("desktop-file-validate", {path});
            QVERIFY2(valid.exitCode == 0, qPrintable(valid.output));
        }

        Registry registry(m_root.file("user.ini"), m_root.file("machine.ini"));
        QCOMPARE(registry.RegSaveAppValue("LCG", 1, RegRoot::HKCU, REG_DWORD).error, 0);
        const ShellIntegration::Outcome gone = ShellIntegration::Uninstall(desktop, registry);
        QCOMPARE(gone.message, ShellIntegration::kUninstalledMessage);
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!QFileInfo::exists(registry.fileName(RegRoot::HKCU)));
        QVERIFY(list.open(QIODevice::ReadOnly));
        QVERIFY(!list.readAll().contains("skimline.desktop"));
    }
};

QTEST_GUILESS_MAIN(TestShellIntegration)
#include "test_shell_integration.moc"
