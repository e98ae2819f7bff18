#include "TempProfile.h"
#include "store/SystemFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

namespace {

// Sets or clears one environment variable for the life of the object.
class EnvSetting
{
public:
    EnvSetting(const char *name, const QString &value) : m_name(name)
    {
        m_had = qEnvironmentVariableIsSet(name);
        m_old = qgetenv(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toUtf8());
    }
    ~EnvSetting()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_old;
    bool m_had = false;
};

} // namespace

class TestUtilFolders : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everythingUnderTheProfileHome()
    {
        TempProfile profile;
        const QString h = QDir(profile.path()).canonicalPath();
        // A trailing separator in the variable changes nothing.
        EnvSetting home("SKIMLINE_HOME", h + u'/');

        QCOMPARE(GetSpecialFolder(Csidl::AppData), h);
        QCOMPARE(GetSpecialFolder(Csidl::CommonAppData), h + "/data");
        QCOMPARE(GetSpecialFolder(Csidl::Favorites), h + "/data/Favorites");
        QCOMPARE(GetSpecialFolder(0), QString());

        const Folders f = Folders::resolve();
        QCOMPARE(f.data, h + "/data");
        QCOMPARE(f.commonData, h + "/data/common");
        QCOMPARE(f.sklDocs, h + "/documents/skl");
        QCOMPARE(f.errorLogFile, h + "/data/common/LoggedErrors.txt");
        QCOMPARE(f.userHiveFile, h + "/config/HKCU.ini");

        QVERIFY(f.create());
        for (const QString &dir : {f.data, f.commonData, f.sklDocs, f.xml, f.config})
            QVERIFY2(QFileInfo(dir).isDir(), qPrintable(dir));
        // Already there: still fine.
        QVERIFY(f.create());
    }

    void xdgLocationsWithoutTheProfileHome()
    {
        TempProfile profile;
        const QString h = QDir(profile.path()).canonicalPath();
        EnvSetting home("SKIMLINE_HOME", QString());
        EnvSetting data("XDG_DATA_HOME", h + "/share");
        EnvSetting config("XDG_CONFIG_HOME", h + "/conf");

        const Folders f = Folders::resolve();
        QCOMPARE(f.appData, h + "/share");
        QCOMPARE(f.data, h + "/share/skimline");
        QCOMPARE(f.config, h + "/conf/skimline");
        QCOMPARE(f.errorLogFile, h + "/share/skimline/common/LoggedErrors.txt");
        QVERIFY(!f.documents.isEmpty());
        QCOMPARE(f.sklDocs, f.documents + "/skl");
        QVERIFY(!f.documents.endsWith(u'/'));
    }

    void createReportsAFolderThatCannotBeMade()
    {
        TempProfile profile;
        QFile blocker(profile.file("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        EnvSetting home("SKIMLINE_HOME", profile.file("blocker"));
        QVERIFY(!Folders::resolve().create());
    }
};

QTEST_GUILESS_MAIN(TestUtilFolders)
#include "test_util_folders.moc"
