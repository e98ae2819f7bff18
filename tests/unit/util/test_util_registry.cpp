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

    QString userFile() const { return m_profile->file(QStringLiteral("config/HKCU.ini")); }
    QString machineFile() const { return m_profile->file(QStringLiteral("config/HKLM.ini")); }
    std::unique_ptr<Registry> open() const
    {
        return std::make_unique<Registry>(userFile(), machineFile());
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
        QTest::newRow("string") << int(REG_SZ) << QVariant(text) << QVariant(text);
        QTest::newRow("digits stay a string")
            << int(REG_SZ) << QVariant(QStringLiteral("0123")) << QVariant(QStringLiteral("0123"));
        QTest::newRow("string from true") << int(REG_SZ) << QVariant(true) << QVariant("True");
        const QByteArray bytes("\x00\x01\x7f\x80\xff,=", 7);
        QTest::newRow("binary") << int(REG_BINARY) << QVariant(bytes) << QVariant(bytes);
        QTest::newRow("dword from float") << int(REG_DWORD) << QVariant(2.6f) << QVariant(3);
        QTest::newRow("dword, half to even") << int(REG_DWORD) << QVariant(2.5) << QVariant(2);
        QTest::newRow("dword, negative") << int(REG_DWORD) << QVariant(-1.4) << QVariant(-1);
        QTest::newRow("dword from true") << int(REG_DWORD) << QVariant(true) << QVariant(-1);
        QTest::newRow("dword, all bits")
            << int(REG_DWORD) << QVariant(4294967295.0) << QVariant(-1);
        QTest::newRow("dword from text") << int(REG_DWORD) << QVariant("42") << QVariant(42);
    }
    void valuesRoundTripAcrossAReopen()
    {
        QFETCH(int, type);
        QFETCH(QVariant, written);
        QFETCH(QVariant, read);
        {
            auto reg = open();
            const RegResult w =
                reg->RegSaveAppValue(QStringLiteral("Value"), written, RegRoot::HKCU, type);
            QVERIFY2(w.ok(), qPrintable(w.description));
        }
        auto reg = open();
        // The stored type decides what comes back, whatever type the reader asks for.
        for (const int asked : {type, int(REG_SZ)}) {
            const RegResult r = reg->RegQueryValue(RegRoot::HKCU, Registry::kAppKey,
                                                   QStringLiteral("Value"), asked);
            QVERIFY(r.ok());
            QCOMPARE(r.value.typeId(), read.typeId());
            QCOMPARE(r.value, read);
        }
    }

    void missingAndEmptyValuesGiveTheDefault()
    {
        auto reg = open();
        auto get = [&](const QString &name, RegRoot root, int type, const QVariant &dflt) {
            const RegResult r = reg->RegGetAppValue(name, root, type, dflt);
            return r.ok() ? r.value : QVariant(QStringLiteral("error"));
        };
        // No file at all yet.
        QCOMPARE(get(QStringLiteral("LCG"), RegRoot::HKCU, REG_DWORD, 0), QVariant(0));
        QVERIFY(!QFile::exists(userFile()));

        QVERIFY(reg->RegSaveAppValue(QStringLiteral("PA"), QString(), RegRoot::HKLM, REG_SZ).ok());
        QVERIFY(reg->RegSaveAppValue(QStringLiteral("Exit"), 0, RegRoot::HKLM, REG_DWORD).ok());
        QCOMPARE(get(QStringLiteral("PA"), RegRoot::HKLM, REG_SZ, "dflt"), QVariant("dflt"));
        // Zero is a value, not an empty one.
        QCOMPARE(get(QStringLiteral("Exit"), RegRoot::HKLM, REG_DWORD, 7), QVariant(0));
        QCOMPARE(get(QStringLiteral("Other"), RegRoot::HKLM, REG_DWORD, 7), QVariant(7));
        // The hives are apart.
        QCOMPARE(get(QStringLiteral("Exit"), RegRoot::HKCU, REG_DWORD, 7), QVariant(7));

        const RegResult missingKey = reg->RegQueryValue(
            RegRoot::HKCU, QStringLiteral("Software\\Nobody"), QStringLiteral("x"), REG_SZ);
        QVERIFY(missingKey.ok());
        QVERIFY(!missingKey.value.isValid());
    }

    void namesIgnoreCase()
    {
        {
            auto reg = open();
            QVERIFY(reg->RegWriteValue(RegRoot::HKLM, Registry::kAppKey, QStringLiteral("MSW"),
                                       REG_DWORD, 1234)
                        .ok());
            // Rewritten under other spellings: still one value.
            QVERIFY(reg->RegWriteValue(RegRoot::HKLM,
                                       QStringLiteral("SOFTWARE\\quillfern\\SKIMLINE"),
                                       QStringLiteral("msw"), REG_DWORD, 5678)
                        .ok());
        }
        auto reg = open();
        QCOMPARE(reg->RegGetAppValue(QStringLiteral("Msw"), RegRoot::HKLM, REG_DWORD, 0).value,
                 QVariant(5678));
        QVERIFY(reg->RegKeyExists(RegRoot::HKLM, QStringLiteral("software\\QUILLFERN")));
        QVERIFY(reg->RegKeyExists(RegRoot::HKLM, QStringLiteral("Software/Quillfern/Skimline/")));
        QVERIFY(!reg->RegKeyExists(RegRoot::HKLM, QStringLiteral("Software\\Quillfern\\Other")));
        QVERIFY(!reg->RegKeyExists(RegRoot::HKCU, Registry::kAppKey));
        QVERIFY(QString::fromUtf8([&] {
                    QFile f(machineFile());
                    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                }())
                    .count(QStringLiteral("dword:")) == 1);
    }

    void unusualValueNames()
    {
        const QStringList names{QStringLiteral("skimline.exe"), QStringLiteral("Skimline 0.1.0"),
                                QStringLiteral("a/b\\c%d"), QStringLiteral("%key"),
                                QStringLiteral("[General]")};
        {
            auto reg = open();
            for (const QString &name : names)
                QVERIFY(reg->RegSaveAppValue(name, name, RegRoot::HKCU, REG_SZ).ok());
        }
        auto reg = open();
        for (const QString &name : names)
            QCOMPARE(reg->RegGetAppValue(name, RegRoot::HKCU, REG_SZ, QString()).value,
                     QVariant(name));
        QVERIFY(!reg->RegKeyExists(RegRoot::HKCU, Registry::kAppKey + QStringLiteral("\\a")));
    }

    void createKeyAndDeleteValue()
    {
        const QString key = QStringLiteral(
            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\User Agent\\Post "
            "Platform");
        auto reg = open();
        RegResult created = reg->RegCreateKey(RegRoot::HKLM, key);
        QVERIFY(created.ok());
        QCOMPARE(created.value, QVariant(false));
        created = reg->RegCreateKey(RegRoot::HKLM, key.toUpper());
        QCOMPARE(created.value, QVariant(true));
        QVERIFY(reg->RegKeyExists(RegRoot::HKLM, key));

        QVERIFY(reg->RegWriteValue(RegRoot::HKLM, key, QStringLiteral("Skimline 0.1.0"), REG_SZ,
                                   QString())
                    .ok());
        QVERIFY(reg->RegWriteValue(RegRoot::HKLM, key, QStringLiteral("Other 1.0"), REG_SZ,
                                   QStringLiteral("x"))
                    .ok());
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, key, QStringLiteral("skimline 0.1.0")).ok());
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, key, QStringLiteral("Other 1.0")).ok());
        // Deleting what is not there does nothing.
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, key, QStringLiteral("Other 1.0")).ok());
        QVERIFY(reg->RegDeleteValue(RegRoot::HKLM, QStringLiteral("No\\Such"), QStringLiteral("x"))
                    .ok());

        auto reopened = open();
        // The key outlives its last value.
        QVERIFY(reopened->RegKeyExists(RegRoot::HKLM, key));
        const RegResult gone =
            reopened->RegQueryValue(RegRoot::HKLM, key, QStringLiteral("Other 1.0"), REG_SZ);
        QVERIFY(gone.ok());
        QVERIFY(!gone.value.isValid());
        QVERIFY(!reopened->RegKeyExists(RegRoot::HKLM, QStringLiteral("No\\Such")));
    }

    void errorsComeBackToTheCaller()
    {
        auto reg = open();
        const RegResult badWrite = reg->RegSaveAppValue(QStringLiteral("x"), 1, RegRoot::HKCU, 7);
        QCOMPARE(badWrite.error, 1001);
        QCOMPARE(badWrite.description, QStringLiteral("Unsupported value type"));
        const RegResult badRead =
            reg->RegQueryValue(RegRoot::HKCU, Registry::kAppKey, QStringLiteral("x"), 2);
        QCOMPARE(badRead.error, 1001);
        QCOMPARE(reg->RegSaveAppValue(QStringLiteral("x"), "abc", RegRoot::HKCU, REG_DWORD).error,
                 RegResult::kTypeMismatch);
        QCOMPARE(reg->RegSaveAppValue(QStringLiteral("x"), 1e10, RegRoot::HKCU, REG_DWORD).error,
                 RegResult::kOverflow);
        QVERIFY(!reg->RegKeyExists(RegRoot::HKCU, Registry::kAppKey));

        // A hive whose folder cannot exist: a plain file stands where the folder should be.
        QFile blocker(m_profile->file(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Registry blocked(m_profile->file(QStringLiteral("blocker/HKCU.ini")),
                         m_profile->file(QStringLiteral("blocker/HKLM.ini")));
        const RegResult cannot = blocked.RegCreateKey(RegRoot::HKCU, Registry::kAppKey);
        QCOMPARE(cannot.error, 1001);
        QCOMPARE(cannot.description, QStringLiteral("Unable to create the registry key"));
        QCOMPARE(blocked.RegSaveAppValue(QStringLiteral("x"), 1, RegRoot::HKCU, REG_DWORD).error,
                 1001);
    }

    void aHandEditedValueOfUnknownTypeIsRefused()
    {
        QVERIFY(QDir().mkpath(m_profile->file(QStringLiteral("config"))));
        QFile f(userFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Software]\nQuillfern\\Skimline\\Multi=multi:ab\n");
        f.close();
        auto reg = open();
        const RegResult r = reg->RegGetAppValue(QStringLiteral("multi"), RegRoot::HKCU, REG_SZ, 0);
        QCOMPARE(r.error, 1001);
        QCOMPARE(r.description, QStringLiteral("Unsupported value type"));
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
        QVERIFY(reg->RegSaveAppValues(RegRoot::HKCU, {{QStringLiteral("Shown"), true, REG_SZ},
                                                      {QStringLiteral("LCG"), 3, REG_DWORD},
                                                      {QStringLiteral("Width"), 2880, REG_DWORD}})
                    .ok());
        QCOMPARE(reg->RegGetAppValue(QStringLiteral("shown"), RegRoot::HKCU, REG_SZ, {}).value,
                 QVariant(QStringLiteral("True")));
        QCOMPARE(reg->RegGetAppValue(QStringLiteral("LCG"), RegRoot::HKCU, REG_DWORD, {}).value,
                 QVariant(3));
        QCOMPARE(reg->RegGetAppValue(QStringLiteral("Width"), RegRoot::HKCU, REG_DWORD, {}).value,
                 QVariant(2880));
        // The file is replaced whole when it is written, so its inode tells a write.
        const auto before = inode();
        QVERIFY(before != 0);
        QVERIFY(reg->RegSaveAppValue(QStringLiteral("lcg"), 3, RegRoot::HKCU, REG_DWORD).ok());
        QVERIFY(reg->RegSaveAppValues(RegRoot::HKCU, {{QStringLiteral("Shown"), true, REG_SZ},
                                                      {QStringLiteral("Width"), 2880, REG_DWORD}})
                    .ok());
        QCOMPARE(inode(), before);
        // A changed type is a change, though the text looks alike.
        QVERIFY(reg->RegSaveAppValue(QStringLiteral("LCG"), "3", RegRoot::HKCU, REG_SZ).ok());
        QCOMPARE(reg->RegGetAppValue(QStringLiteral("LCG"), RegRoot::HKCU, REG_SZ, {}).value,
                 QVariant(QStringLiteral("3")));

        // A value that cannot be stored stops the rest and comes back as the error; the ones
        // before it are kept.
        const RegResult r =
            reg->RegSaveAppValues(RegRoot::HKCU, {{QStringLiteral("A"), 1, REG_DWORD},
                                                  {QStringLiteral("B"), QStringLiteral("x"), 99},
                                                  {QStringLiteral("C"), 2, REG_DWORD}});
        QCOMPARE(r.error, RegResult::kRegistryError);
        QCOMPARE(reg->RegGetAppValue(QStringLiteral("A"), RegRoot::HKCU, REG_DWORD, {}).value,
                 QVariant(1));
        QVERIFY(!reg->RegGetAppValue(QStringLiteral("C"), RegRoot::HKCU, REG_DWORD, {})
                     .value.isValid());
    }
};

QTEST_GUILESS_MAIN(TestUtilRegistry)
#include "test_util_registry.moc"
