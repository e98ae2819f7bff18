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
        const QString path = profile.file(QStringLiteral("Options.skl"));
        Recordset rs = Recordset::Create(OptionsSchema(), path);
        cFile file(nullptr, &rs);
        QVERIFY(file.SetOption(QStringLiteral("MaxWindows"), 20));
        QVERIFY(file.SetOption(QStringLiteral("qf"), QStringLiteral("News")));
        QVERIFY(rs.SetFilter(QStringLiteral("key = 'qf'")));
        QCOMPARE(file.GetOption(QStringLiteral("MaxWindows")), QVariant(QStringLiteral("20")));
        QVERIFY(file.SetOption(QStringLiteral("MaxWindows"), 30));
        QCOMPARE(rs.Filter(), QStringLiteral("key = 'qf'"));
        auto reopened = Recordset::Open(path);
        QVERIFY(reopened.has_value());
        QCOMPARE(reopened->RecordCount(), 2);
        cFile other(nullptr, &*reopened);
        QCOMPARE(other.GetOption(QStringLiteral("MaxWindows")), QVariant(QStringLiteral("30")));
    }

    // A missing key gives the default; keys ignore case and may hold apostrophes.
    void keys()
    {
        TempProfile profile;
        Recordset rs =
            Recordset::Create(OptionsSchema(), profile.file(QStringLiteral("Options.skl")));
        cFile file(nullptr, &rs);
        QVERIFY(!file.GetOption(QStringLiteral("mode")).isValid());
        QCOMPARE(file.GetOption(QStringLiteral("mode"), 50), QVariant(50));
        QVERIFY(file.SetOption(QStringLiteral("mode"), 2));
        QCOMPARE(file.GetOption(QStringLiteral("Mode")), QVariant(QStringLiteral("2")));
        QVERIFY(file.SetOption(QStringLiteral("MODE"), 4));
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(file.GetOption(QStringLiteral("mode")), QVariant(QStringLiteral("4")));

        QVERIFY(file.SetOption(QStringLiteral("it's"), QStringLiteral("O'Brien's page")));
        QVERIFY(file.SetOption(QStringLiteral("it's"), QStringLiteral("'quoted'")));
        QCOMPARE(rs.RecordCount(), 2);
        QCOMPARE(file.GetOption(QStringLiteral("it's")), QVariant(QStringLiteral("'quoted'")));
        QCOMPARE(file.GetOption(QStringLiteral("it"), QStringLiteral("none")),
                 QVariant(QStringLiteral("none")));
    }

    void withoutAnOpenStore()
    {
        cFile file;
        QVERIFY(!file.SetOption(QStringLiteral("k"), 1));
        QCOMPARE(file.GetOption(QStringLiteral("k"), 3), QVariant(3));
        Recordset closed;
        file.setOptionsStore(&closed);
        QVERIFY(!file.SetOption(QStringLiteral("k"), 1));
        QCOMPARE(file.GetOption(QStringLiteral("k"), 3), QVariant(3));
    }
};

QTEST_GUILESS_MAIN(TestUtilOptions)
#include "test_util_options.moc"
