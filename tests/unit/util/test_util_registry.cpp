#include "TempProfile.h"
#include "store/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

class TestUtilRegistry : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempProfile> m_profile;

    QString userFile() const { return m_profile->file("config/HKCU.ini"); }
    QString machineFile() const { return m_profile->file("config/HKLM.ini"); }
    std::unique_ptr<Registry> open() const
    {
        return std::make_unique<Registry>(userFile(), machineFile());
    }
    // The value of the program's key, or "error" when the read failed.
    static QVariant get(Registry &reg, const QString &name, RegRoot root, int type,
                        const QVariant &dflt = {})
    {
        const RegResult r = reg.RegGetAppValue(name, root, type, dflt);
        return r.ok() ? r.value : QVariant("error");
    }

private Q_SLOTS:
    void init() { m_profile = std::make_unique<TempProfile>(); }
    void cleanup() { m_profile.reset(); }

    void valuesRoundTripAcrossAReopen_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QVariant>("written");
        QTest::addColumn<QVariant>("read");
        const QString text = QStringLiteral("  a, b; c=d \"q\" \\x\\ %20 \u00e9\n2nd line ");
        const QByteArray bytes("\x00\x01\x7f\x80\xff,=", 7);
        const auto row = [](const char *name, int type, const QVariant &in, const QVariant &out) {
            QTest::newRow(name) << type << in << out;
        };
        row("string", REG_SZ, text, text);
        row("digits stay a string", REG_SZ, QString("0123"), QString("0123"));
        row("string from true", REG_SZ, true, QString("True"));
        row("binary", REG_BINARY, bytes, bytes);
        row("dword from float", REG_DWORD, 2.6f, 3);
        row("dword, half to even", REG_DWORD, 2.5, 2);
        row("dword, negative", REG_DWORD, -1.4, -1);
        row("dword from true", REG_DWORD, true, -1);
        row("dword, all bits", REG_DWORD, 4294967295.0, -1);
        row("dword from text", REG_DWORD, QString("42"), 42);
    }
    void valuesRoundTripAcrossAReopen()
    {
        QFETCH(int, type);
        QFETCH(QVariant, written);
        QFETCH(QVariant, read);
        {
            const RegResult w = open()->RegSaveAppValue("Value", written, RegRoot::HKCU, type);
            QVERIFY2(w.ok(), qPrintable(w.description));
        }
        auto reg = open();
        // The stored type decides what comes back, whatever type the reader asks for.
        for (const int asked : {type, int(REG_SZ)}) {
            const RegResult r =
                reg->RegQueryValue(RegRoot::HKCU, Registry::kAppKey, "Value", asked);
            QVERIFY(r.ok());
            QCOMPARE(r.value.typeId(), read.typeId());
            QCOMPARE(r.value, read);
        }
    }

    void missingAndEmptyValuesGiveTheDefault()
    {
        auto reg = open();
        // No file at all yet.
        QCOMPARE(get(*reg, "LCG", RegRoot::HKCU, REG_DWORD, 0), QVariant(0));
        QVERIFY(!QFile::exists(userFile()));

        QVERIFY(reg->RegSaveAppValue("PA", QString(), RegRoot::HKLM, REG_SZ).ok());
        QVERIFY(reg->RegSaveAppValue("Exit", 0, RegRoot::HKLM, REG_DWORD).ok());
        QCOMPARE(get(*reg, "PA", RegRoot::HKLM, REG_SZ, "dflt"), QVariant("dflt"));
        // Zero is a value, not an empty one.
        QCOMPARE(get(*reg, "Exit", RegRoot::HKLM, REG_DWORD, 7), QVariant(0));
        QCOMPARE(get(*reg, "Other", RegRoot::HKLM, REG_DWORD, 7), QVariant(7));
        // The hives are apart.
        QCOMPARE(get(*reg, "Exit", RegRoot::HKCU, REG_DWORD, 7), QVariant(7));

        const RegResult missingKey =
            reg->RegQueryValue(RegRoot::HKCU, "Software\\Nobody", "x", REG_SZ);
        QVERIFY(missingKey.ok());
        QVERIFY(!missingKey.value.isValid());
    }

    // Names ignore case, whatever their spelling or characters; a rewritten value stays one.
    void names()
    {
        const QStringList names{"skimline.exe", "Skimline 0.1.0", "a/b\\c%d", "%key", "[General]"};
        {
            auto reg = open();
            for (const QString &name : names)
                QVERIFY(reg->RegSaveAppValue(name, name, RegRoot::HKCU, REG_SZ).ok());
            QVERIFY(
                reg->RegWriteValue(RegRoot::HKLM, Registry::kAppKey, "MSW", REG_DWORD, 1234).ok());
            QVERIFY(reg->RegWriteValue(RegRoot::HKLM, "SOFTWARE\\quillfern\\SKIMLINE", "msw",
                                       REG_DWORD, 5678)
                        .ok());
        }
        auto reg = open();
        for (const QString &name : names)
            QCOMPARE(get(*reg, name.toUpper(), RegRoot::HKCU, REG_SZ, QString()), QVariant(name));
        QVERIFY(!reg->RegKeyExists(RegRoot::HKCU, Registry::kAppKey + "\\a"));
        QCOMPARE(get(*reg, "Msw", RegRoot::HKLM, REG_DWORD, 0), QVariant(5678));
        QVERIFY(reg->RegKeyExists(RegRoot::HKLM, "software\\QUILLFERN"));
        QVERIFY(reg->RegKeyExists(RegRoot::HKLM, "Software/Quillfern/Skimline/"));
        QVERIFY(!reg->RegKeyExists(RegRoot::HKLM, "Software\\Quillfern\\Other"));
        QFile f(machineFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count("dword:"), 1);
    }

    void createKeyAndDeleteValue()
    {
        const QString key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\"
                            "User Agent\\Post Platform";
        auto reg = open();
        RegResult created = reg->RegCreateKey(RegRoot::HKLM, key);
        QVERIFY(created.ok());
        QCOMPARE(created.value, QVariant(false));
        created = reg->RegCreateKey(RegRoot::HKLM, key.toUpper());
        QCOMPARE(created.value, QVariant(true));
        QVERIFY(reg->RegKeyExists(RegRoot::HKLM, key));

        QVERIFY(reg->RegWriteValue(RegRoot::HKLM, key, "Skimline 0.1.0", REG_SZ, QString()).ok());
        QVERIFY(reg->RegWriteValue(RegRoot::HKLM, key, "Other 1.0", REG_SZ, "x").ok());
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, key, "skimline 0.1.0").ok());
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, key, "Other 1.0").ok());
        // Deleting what is not there does nothing.
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, key, "Other 1.0").ok());
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, "No\\Such", "x").ok());

        auto reopened = open();
        // The key outlives its last value.
        QVERIFY(reopened->RegKeyExists(RegRoot::HKLM, key));
        const RegResult gone = reopened->RegQueryValue(RegRoot::HKLM, key, "Other 1.0", REG_SZ);
        QVERIFY(gone.ok());
        QVERIFY(!gone.value.isValid());
        QVERIFY(!reopened->RegKeyExists(RegRoot::HKLM, "No\\Such"));
    }

    void errorsComeBackToTheCaller()
    {
        auto reg = open();
        const RegResult badWrite = reg->RegSaveAppValue("x", 1, RegRoot::HKCU, 7);
        QCOMPARE(badWrite.error, 1001);
        QCOMPARE(badWrite.description, QString("Unsupported value type"));
        QCOMPARE(reg->RegQueryValue(RegRoot::HKCU, Registry::kAppKey, "x", 2).error, 1001);
        QCOMPARE(reg->RegSaveAppValue("x", "abc", RegRoot::HKCU, REG_DWORD).error,
                 RegResult::kTypeMismatch);
        QCOMPARE(reg->RegSaveAppValue("x", 1e10, RegRoot::HKCU, REG_DWORD).error,
                 RegResult::kOverflow);
        QVERIFY(!reg->RegKeyExists(RegRoot::HKCU, Registry::kAppKey));

        // A hive whose folder cannot exist: a plain file stands where the folder should be.
        QFile blocker(m_profile->file("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Registry blocked(m_profile->file("blocker/HKCU.ini"), m_profile->file("blocker/HKLM.ini"));
        const RegResult cannot = blocked.RegCreateKey(RegRoot::HKCU, Registry::kAppKey);
        QCOMPARE(cannot.error, 1001);
        QCOMPARE(cannot.description, QString("Unable to create the registry key"));
        QCOMPARE(blocked.RegSaveAppValue("x", 1, RegRoot::HKCU, REG_DWORD).error, 1001);

        // A hand-edited value of a type the program does not know.
        QVERIFY(QDir().mkpath(m_profile->file("config")));
        QFile f(userFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Software]\nQuillfern\\Skimline\\Multi=multi:ab\n");
        f.close();
        const RegResult r = open()->RegGetAppValue("multi", RegRoot::HKCU, REG_SZ, 0);
        QCOMPARE(r.error, 1001);
        QCOMPARE(r.description, QString("Unsupported value type"));
    }

    // Exit writes the same few values every time: only a changed value rewrites the file.
    void severalValuesAtOnceAndUnchangedOnesCostNoWrite()
    {
        auto reg = open();
        const auto inode = [this] {
            struct stat st
            {
            };
            return ::stat(QFile::encodeName(userFile()).constData(), &st) == 0 ? st.st_ino : 0;
        };
        QVERIFY(reg->RegSaveAppValues(
                       RegRoot::HKCU,
                       {{"Shown", true, REG_SZ}, {"LCG", 3, REG_DWORD}, {"Width", 2880, REG_DWORD}})
                    .ok());
        QCOMPARE(get(*reg, "shown", RegRoot::HKCU, REG_SZ), QVariant(QString("True")));
        QCOMPARE(get(*reg, "LCG", RegRoot::HKCU, REG_DWORD), QVariant(3));
        QCOMPARE(get(*reg, "Width", RegRoot::HKCU, REG_DWORD), QVariant(2880));
        // The file is replaced whole when it is written, so its inode tells a write.
        const auto before = inode();
        QVERIFY(before != 0);
        QVERIFY(reg->RegSaveAppValue("lcg", 3, RegRoot::HKCU, REG_DWORD).ok());
        QVERIFY(reg->RegSaveAppValues(RegRoot::HKCU,
                                      {{"Shown", true, REG_SZ}, {"Width", 2880, REG_DWORD}})
                    .ok());
        QCOMPARE(inode(), before);
        // A changed type is a change, though the text looks alike.
        QVERIFY(reg->RegSaveAppValue("LCG", "3", RegRoot::HKCU, REG_SZ).ok());
        QCOMPARE(get(*reg, "LCG", RegRoot::HKCU, REG_SZ), QVariant(QString("3")));

        // A value that cannot be stored stops the rest and comes back as the error; the ones
        // before it are kept.
        const RegResult r = reg->RegSaveAppValues(
            RegRoot::HKCU, {{"A", 1, REG_DWORD}, {"B", "x", 99}, {"C", 2, REG_DWORD}});
        QCOMPARE(r.error, RegResult::kRegistryError);
        QCOMPARE(get(*reg, "A", RegRoot::HKCU, REG_DWORD), QVariant(1));
        QVERIFY(!get(*reg, "C", RegRoot::HKCU, REG_DWORD).isValid());
    }
};

QTEST_GUILESS_MAIN(TestUtilRegistry)
#include "test_util_registry.moc"
