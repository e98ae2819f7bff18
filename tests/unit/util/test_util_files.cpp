#include "TempProfile.h"
#include "store/ErrorLog.h"
#include "store/cFile.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {} // namespace

class TestUtilFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wholeFileIsUtf16LittleEndianWithMark()
    {
        TempProfile profile;
        cFile file;
        const QString path = profile.file("FormData.txt");
        // A BMP letter, a two-byte letter and a character outside the BMP (surrogate pair).
        const QString text = QStringLiteral("A\u00e9\u20ac") + QString::fromUcs4(U"\U0001F600");
        QVERIFY(file.WriteVariableToFile(text, path));
        QCOMPARE(readBytes(path), QByteArray("\xFF\xFE"
                                             "A\x00\xE9\x00\xAC\x20\x3D\xD8\x00\xDE",
                                             12));
        QCOMPARE(file.ReadFileToVariable(path), text);

        // A shorter text replaces the file whole.
        QVERIFY(file.WriteVariableToFile("x", path));
        QCOMPARE(readBytes(path), QByteArray("\xFF\xFEx\x00", 4));
        QCOMPARE(file.ReadFileToVariable(path), "x");
    }

    void readFileAcceptsOtherMarksAndMissingFiles()
    {
        TempProfile profile;
        cFile file;
        const QString path = profile.file("in.txt");
        QCOMPARE(file.ReadFileToVariable(profile.file("missing.txt")), QString());

        writeBytes(path, QByteArray("\xFE\xFF\x00h\x00i", 6));
        QCOMPARE(file.ReadFileToVariable(path), "hi");
        writeBytes(path, QByteArray("h\x00i\x00", 4)); // UTF-16 LE without a mark
        QCOMPARE(file.ReadFileToVariable(path), "hi");
        writeBytes(path, QByteArray("\xEF\xBB\xBF\xC3\xA9", 5));
        QCOMPARE(file.ReadFileToVariable(path), QStringLiteral("\u00e9"));
        writeBytes(path, QByteArray("line 1\r\nline 2\r\n"));
        QCOMPARE(file.ReadFileToVariable(path), "line 1\r\nline 2\r\n");
    }

    void appendWritesUtf8Unchanged()
    {
        TempProfile profile;
        cFile file;
        const QString path = profile.file("LoggedErrors.txt");
        QVERIFY(file.AppendStrToFile(path, "ab"));
        QVERIFY(file.AppendStrToFile(path, QStringLiteral("\u00e9 Opening Notes database.")));
        QVERIFY(file.AppendStrToFile(path, "\r\n"));
        QCOMPARE(readBytes(path), QByteArray("ab\xC3\xA9 Opening Notes database.\r\n"));

        QVERIFY(!file.AppendStrToFile(profile.file("no/such/dir/x.txt"), "x"));
        QVERIFY(!file.WriteVariableToFile("x", profile.file("no/such/dir/x.txt")));
    }

    void deleteMovesToTheTrash()
    {
        TempProfile profile;
        // The trash of this test's own profile, not the user's.
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", profile.file("xdg").toUtf8());
        QDir().mkpath(profile.file("xdg"));
        cFile file;
        const QString path = profile.file("sklPastSession.skl");
        writeBytes(path, "data");
        QVERIFY(file.DeleteFile(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(QFile::exists(profile.file("xdg/Trash/files/sklPastSession.skl")));
        // Nothing there: nothing stays.
        QVERIFY(file.DeleteFile(path));
        qputenv("XDG_DATA_HOME", previous);
    }

    void validFilename_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QString &in, const QString &out) {
            QTest::newRow(name) << in << out;
        };
        row("blanks around, invalid inside", "  a:b*c  ", "a-b-c");
        row("every invalid character", "1:2'3\\4/5*6?7|8", "1-2-3-4-5-6-7-8");
        row("quotes are removed", "say \"hi\" now", "say hi now");
        row("tabs are not blanks", "\tx\t", "\tx\t");
        row("300 characters", QString(300, u'n'), QString(255, u'n'));
        // Cut first, then the quotes go: 254 characters remain.
        row("cut before quotes removed", QString(254, u'a') + u'"' + QString(10, u'b'),
            QString(254, u'a'));
        row("invalid in the cut part", QString(250, u'a') + "?????zzz",
            QString(250, u'a') + "-----");
        row("non-ASCII stays", QStringLiteral("R\u00e9sum\u00e9 \u65e5\u672c"),
            QStringLiteral("R\u00e9sum\u00e9 \u65e5\u672c"));
    }
    void validFilename()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        int asked = 0;
        cFile file([&](const QString &) {
            ++asked;
            return std::optional<QString>();
        });
        QCOMPARE(file.ValidFilename(name), std::optional<QString>(expected));
        QCOMPARE(asked, 0);
    }

    // An empty name asks until it is given one; cancelling the box cancels, as does no box.
    void emptyNameAsksTheUser()
    {
        QStringList answers{QString(), "   ", " x/y "};
        QStringList prompts;
        cFile file([&](const QString &prompt) {
            prompts.append(prompt);
            return std::optional<QString>(answers.takeFirst());
        });
        QCOMPARE(file.ValidFilename("   "), std::optional<QString>("x-y"));
        QCOMPARE(prompts.size(), 3);
        QCOMPARE(prompts.first(), QString("Please enter a valid filename! Do not use the following "
                                          "invalid characters: :'\\\\/*?|\""));

        int asked = 0;
        cFile cancelled([&](const QString &) {
            ++asked;
            return asked < 2 ? std::optional<QString>(QString()) : std::nullopt;
        });
        QCOMPARE(cancelled.ValidFilename(QString()), std::nullopt);
        QCOMPARE(asked, 2);
        QCOMPARE(cFile().ValidFilename(" "), std::nullopt);
    }

    void regExReplace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected"); // null: refused
        const auto row = [](const char *name, const char *text, const char *pattern,
                            const char *replacement, const char *expected) {
            QTest::newRow(name) << text << pattern << replacement << QString(expected);
        };
        row("every match, any case", "Hello HELLO hello", "hello", "x", "x x x");
        row("multi-line anchors", "a\nb\r\nc", "^", ">", ">a\n>b\r\n>c");
        row("groups", "John Smith", "(\\w+) (\\w+)", "$2, $1", "Smith, John");
        row("whole match and dollar", "5", "\\d", "$$$&.00", "$5.00");
        row("missing group is literal", "ab", "(a)", "$2$1", "$2ab");
        row("empty matches", "abc", "x*", "-", "-a-b-c-");
        row("broken pattern", "abc", "(a", "x", nullptr);
    }
    void regExReplace()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QCOMPARE(RegExReplace(text, pattern, replacement),
                 expected.isNull() ? std::nullopt : std::optional<QString>(expected));
    }

    void fileUrlsBecomeLocalPaths_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("path");
        const auto row = [](const char *name, const char *url, const QString &path) {
            QTest::newRow(name) << QString(url) << path;
        };
        row("escaped blank", "file:///home/u/My%20Files/a.htm", "/home/u/My Files/a.htm");
        row("escaped hash and UTF-8", "file:///tmp/a%23b%C3%A9.htm",
            QStringLiteral("/tmp/a#b\u00e9.htm"));
        row("localhost", "file://localhost/etc/hosts", "/etc/hosts");
        row("network share", "file://server/share/a.htm", "");
        row("empty", "", "");
    }
    void fileUrlsBecomeLocalPaths()
    {
        QFETCH(QString, url);
        QFETCH(QString, path);
        cFile file;
        QCOMPARE(file.WinPathfromURL(url), path);

        TempProfile profile;
        ErrorLog log(profile.file("LoggedErrors.txt"));
        QStringList messages;
        const auto result = PathFromUrl(
            url, [&](const QString &text) { messages.append(text); }, &log);
        if (path.isEmpty()) {
            QCOMPARE(result, std::nullopt);
            QCOMPARE(messages, QStringList{"Failed to create path from url " + url});
            QVERIFY(QString::fromUtf8(readBytes(log.path())).endsWith(" PathCreateFromUrl " + url));
        } else {
            QCOMPARE(result, std::optional<QString>(path));
            QVERIFY(messages.isEmpty());
            QVERIFY(!QFile::exists(log.path()));
        }
    }
};

QTEST_GUILESS_MAIN(TestUtilFiles)
#include "test_util_files.moc"
