#include "TempProfile.h"
#include "store/cFile.h"

#include <QFile>
#include <QtTest>

namespace {

// Items of a list as the profile functions give them, separated by NUL characters.
QString nulList(const QStringList &items)
{
    return items.join(QChar(0));
}

} // namespace

class TestUtilIni : public QObject
{
    Q_OBJECT

    TempProfile *m_profile = nullptr;
    QString m_ini;
    cFile m_file;

    IniResult get(const QString &section, const QString &key, int length = 256)
    {
        return m_file.INIGetString(section, key, length, "dflt", m_ini);
    }

private Q_SLOTS:
    void init()
    {
        m_profile = new TempProfile;
        m_ini = m_profile->file("test.ini");
        writeBytes(m_ini, "; settings of the test\r\n"
                          "stray line before sections\r\n"
                          "[Main]\r\n"
                          "Name = Skimline \r\n"
                          "Quoted=\"  padded  \"\r\n"
                          "; a comment inside\r\n"
                          "Flag=TRUE\r\n"
                          "\r\n"
                          "[Numbers]\r\n"
                          "small=32767\r\n"
                          "big=32768\r\n"
                          "negative=-5\r\n"
                          "trailing=12abc\r\n"
                          "word=abc\r\n"
                          "hex=0x10\r\n"
                          "empty=\r\n"
                          "allbits=4294967295\r\n"
                          "[main]\r\n"
                          "Name=duplicate section is ignored\r\n");
    }
    void cleanup()
    {
        delete m_profile;
        m_profile = nullptr;
    }

    void readsWithProfileRules()
    {
        QCOMPARE(get("MAIN", "name").text, QString("Skimline"));
        QCOMPARE(get("Main", "Quoted").text, QString("  padded  "));
        QCOMPARE(get("Main", "missing").text, QString("dflt"));
        QCOMPARE(get("Nowhere", "Name").text, QString("dflt"));
        QCOMPARE(get("Numbers", "empty").text, QString());
        // A missing file reads as an empty one.
        QCOMPARE(m_file.INIGetString("a", "b", 10, "d", m_profile->file("none.ini")).text,
                 QString("d"));
    }

    void stringBufferLength_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("fits");
        // "Skimline" has 8 characters; the default "dflt" 4.
        QTest::newRow("room to spare") << "Name" << 10 << true;
        QTest::newRow("fills the buffer") << "Name" << 9 << false;
        QTest::newRow("default fits") << "missing" << 6 << true;
        QTest::newRow("default fills") << "missing" << 5 << false;
        QTest::newRow("no buffer") << "missing" << 0 << false;
    }
    void stringBufferLength()
    {
        QFETCH(QString, key);
        QFETCH(int, length);
        QFETCH(bool, fits);
        const IniResult r = get("Main", key, length);
        QCOMPARE(r.ok(), fits);
        QCOMPARE(r.error, fits ? 0 : IniResult::kDoesNotFit);
        if (!fits)
            QVERIFY(r.text.isEmpty());
    }

    void listsAndTheirBufferLength()
    {
        // Sections: "Main", "Numbers", "main": 5 + 8 + 5 = 18 characters with their NULs, 19
        // with the closing one.
        QCOMPARE(m_file.INIEnumSections(19, m_ini).text, nulList({"Main", "Numbers", "main"}));
        QVERIFY(m_file.INIEnumSections(19, m_ini).ok());
        QVERIFY(!m_file.INIEnumSections(18, m_ini).ok());
        // Fits, yet reports length - 2: indistinguishable from a cut list.
        QCOMPARE(m_file.INIEnumSections(20, m_ini).error, IniResult::kDoesNotFit);
        QVERIFY(m_file.INIEnumSections(21, m_ini).ok());

        QCOMPARE(m_file.INIEnumKeys("main", 100, m_ini).text, nulList({"Name", "Quoted", "Flag"}));
        QCOMPARE(m_file.INIEnumKeys("Numbers", 20, m_ini).error, IniResult::kDoesNotFit);
        QCOMPARE(m_file.INIEnumKeys("Nowhere", 10, m_ini).text, QString());

        QCOMPARE(m_file.INIGetSection("Main", 100, m_ini).text,
                 nulList({"Name=Skimline", "Quoted=\"  padded  \"", "Flag=TRUE"}));
        QVERIFY(!m_file.INIGetSection("Main", 20, m_ini).ok());
    }

    void booleans_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("TRUE") << "TRUE" << false << true;
        QTest::newRow("-1") << "-1" << false << true;
        QTest::newRow("False") << "False" << true << false;
        QTest::newRow("yes, default false") << "yes" << false << false;
        QTest::newRow("yes, default true") << "yes" << true << true;
        QTest::newRow("empty") << "" << true << true;
        QTest::newRow("2") << "2" << false << false;
    }
    void booleans()
    {
        QFETCH(QString, stored);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        QVERIFY(m_file.INIWriteString("B", "k", stored, m_ini));
        QCOMPARE(m_file.INIGetBoolean("B", "k", defaultValue, m_ini), expected);
        QCOMPARE(m_file.INIGetBoolean("B", "absent", defaultValue, m_ini), defaultValue);
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<qint32>("asLong");
        QTest::addColumn<bool>("fitsInt");
        QTest::newRow("largest 16-bit") << "small" << 32767 << true;
        QTest::newRow("overflow") << "big" << 32768 << false;
        QTest::newRow("digits then text") << "trailing" << 12 << true;
        QTest::newRow("no digits") << "word" << 0 << true;
        QTest::newRow("hex prefix") << "hex" << 16 << true;
        QTest::newRow("empty value: default") << "empty" << 7 << true;
        QTest::newRow("missing: default") << "missing" << 7 << true;
        QTest::newRow("all 32 bits") << "allbits" << -1 << true;
    }
    void numbers()
    {
        QFETCH(QString, key);
        QFETCH(qint32, asLong);
        QFETCH(bool, fitsInt);
        QCOMPARE(m_file.INIGetLong("Numbers", key, 7, m_ini), asLong);
        const std::optional<qint16> i = m_file.INIGetInt("Numbers", key, 7, m_ini);
        QCOMPARE(i.has_value(), fitsInt);
        if (fitsInt)
            QCOMPARE(qint32(*i), asLong);
    }

    void writesKeepTheRestOfTheFile()
    {
        QVERIFY(m_file.INIWriteString("MAIN", "NAME", "New", m_ini));
        QVERIFY(m_file.INIWriteString("Main", "Added", "a=b", m_ini));
        QVERIFY(m_file.INIWriteString("Fresh", "k", "v", m_ini));
        const QByteArray bytes = readBytes(m_ini);
        QVERIFY(bytes.startsWith("; settings of the test\r\nstray line before sections\r\n"
                                 "[Main]\r\nName=New\r\nQuoted=\"  padded  \"\r\n"
                                 "; a comment inside\r\nFlag=TRUE\r\nAdded=a=b\r\n\r\n"
                                 "[Numbers]\r\n"));
        QVERIFY(bytes.endsWith("[main]\r\nName=duplicate section is ignored\r\n"
                               "[Fresh]\r\nk=v\r\n"));
        QCOMPARE(get("main", "added").text, QString("a=b"));
    }

    void deletesAndSectionWrites()
    {
        QVERIFY(m_file.INIDeleteKey("numbers", "BIG", m_ini));
        QVERIFY(m_file.INIDeleteKey("numbers", "BIG", m_ini));
        QCOMPARE(m_file.INIGetLong("Numbers", "big", -9, m_ini), -9);
        QCOMPARE(m_file.INIGetLong("Numbers", "small", -9, m_ini), 32767);

        QVERIFY(m_file.INIWriteSection("NUMBERS", m_ini, nulList({"x=1", "y=2", "", ""})));
        QCOMPARE(m_file.INIEnumKeys("Numbers", 100, m_ini).text, nulList({"x", "y"}));
        QCOMPARE(get("Main", "Flag").text, QString("TRUE"));

        QVERIFY(m_file.INIDeleteSection("main", m_ini));
        QVERIFY(m_file.INIDeleteSection("Nowhere", m_ini));
        // The first [main] went; the duplicate further down is now the one found.
        QCOMPARE(m_file.INIEnumSections(100, m_ini).text, nulList({"Numbers", "main"}));
        QCOMPARE(get("Main", "Name").text, QString("duplicate section is ignored"));
        QVERIFY(readBytes(m_ini).startsWith("; settings of the test\r\n"));
    }

    void utf16FilesStayUtf16()
    {
        const QString path = m_profile->file("wide.ini");
        QByteArray bytes("\xFF\xFE", 2);
        for (const char c : QByteArray("[S]\r\nk=v\r\n")) {
            bytes.append(c);
            bytes.append('\0');
        }
        writeBytes(path, bytes);
        QCOMPARE(m_file.INIGetString("s", "K", 10, QString(), path).text, QString("v"));
        QVERIFY(m_file.INIWriteString("S", "w", QStringLiteral("\u00e9"), path));
        const QByteArray after = readBytes(path);
        QVERIFY(after.startsWith(bytes));
        QVERIFY(after.endsWith(QByteArray("w\0=\0\xE9\0\r\0\n\0", 10)));
    }

    // Line feeds only where the file has them; a new file, and a folder that is not there.
    void lineEndsAndFailedWrites()
    {
        const QString lf = m_profile->file("lf.ini");
        writeBytes(lf, "[a]\nk=1\n");
        QVERIFY(m_file.INIWriteString("a", "j", "2", lf));
        QCOMPARE(readBytes(lf), QByteArray("[a]\nk=1\nj=2\n"));

        const QString fresh = m_profile->file("fresh.ini");
        QVERIFY(m_file.INIWriteString("a", "k", "1", fresh));
        QCOMPARE(readBytes(fresh), QByteArray("[a]\r\nk=1\r\n"));

        const QString bad = m_profile->file("no/such/folder/x.ini");
        QVERIFY(!m_file.INIWriteString("a", "k", "1", bad));
        QVERIFY(!m_file.INIWriteSection("a", bad, "k=1"));
    }
};

QTEST_GUILESS_MAIN(TestUtilIni)
#include "test_util_ini.moc"
