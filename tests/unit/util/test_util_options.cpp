#include "TempProfile.h"
#include "store/Recordset.h"
#include "store/cFile.h"

#include <QtTest>

class TestUtilOptions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A filter left on the shared cursor (a list of quick folders being read) hides nothing
    // from the options and costs no option its place in the file.
    void aFilterOnTheStoreLosesNoOption()
    {
        TempProfile profile;
        const QString path = profile.file("Options.skl");
        Recordset rs = Recordset::Create(OptionsSchema(), path);
        cFile file(nullptr, &rs);
        QVERIFY(file.SetOption("MaxWindows", 20));
        QVERIFY(file.SetOption("qf", "News"));
        QVERIFY(rs.SetFilter("key = 'qf'"));
        QCOMPARE(file.GetOption("MaxWindows"), QVariant("20"));
        QVERIFY(file.SetOption("MaxWindows", 30));
        QCOMPARE(rs.Filter(), "key = 'qf'");
        auto reopened = Recordset::Open(path);
        QVERIFY(reopened.has_value());
        QCOMPARE(reopened->RecordCount(), 2);
        cFile other(nullptr, &*reopened);
        QCOMPARE(other.GetOption("MaxWindows"), QVariant("30"));
    }

    // A missing key gives the default; keys ignore case and may hold apostrophes.
    void keys()
    {
        TempProfile profile;
        Recordset rs = Recordset::Create(OptionsSchema(), profile.file("Options.skl"));
        cFile file(nullptr, &rs);
        QVERIFY(!file.GetOption("mode").isValid());
        QCOMPARE(file.GetOption("mode", 50), QVariant(50));
        QVERIFY(file.SetOption("mode", 2));
        QCOMPARE(file.GetOption("Mode"), QVariant("2"));
        QVERIFY(file.SetOption("MODE", 4));
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(file.GetOption("mode"), QVariant("4"));

        QVERIFY(file.SetOption("it's", "O'Brien's page"));
        QVERIFY(file.SetOption("it's", "'quoted'"));
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(file.GetOption("it's"), QVariant("'quoted'"));
        QCOMPARE(file.GetOption("it", "none"), QVariant("none"));
    }

    void withoutAnOpenStore()
    {
        cFile file;
        QVERIFY(!file.SetOption("k", 1));
        QCOMPARE(file.GetOption("k", 3), QVariant(3));
        Recordset closed;
        file.setOptionsStore(&closed);
        QVERIFY(!file.SetOption("k", 1));
        QCOMPARE(file.GetOption("k", 3), QVariant(3));
    }
};

QTEST_GUILESS_MAIN(TestUtilOptions)
#include "test_util_options.moc"
