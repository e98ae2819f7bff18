#include "../../unit/favorites/BookmarkSources.h"
#include "FakePlatform.h"
#include "HttpFixture.h"
#include "StoredContext.h"
#include "TempProfile.h"
#include "favorites/ImportCommand.h"

#include <QProcess>
#include <QtTest>

using namespace BookmarkSources;

namespace {

// The file dialog answered with one file.
class PickingUi : public FakeUi
{
public:
    QString file;
    std::optional<QString> openFileName(const QString &, const QString &, const QString &) override
    {
        return file;
    }
};

// "Keywords|Title|URL|bfFav" of every favorite in the file, sorted; the addresses of the
// start-up favorites (Period = 1) apart.
QStringList storedRows(const QString &file, QStringList *startUp = nullptr)
{
    QStringList rows;
    auto rs = Recordset::Open(file);
    if (!rs)
        return {QStringLiteral("cannot open ") + file};
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext()) {
        if (rs->Field("Period").toInt() == 1 && startUp)
            *startUp << rs->Field("URL").toString();
        else
            rows << QStringList{rs->Field("Keywords").toString(), rs->Field("Title").toString(),
                                rs->Field("URL").toString(), rs->Field("bfFav").toString()}
                        .join('|');
    }
    rows.sort();
    return rows;
}

QStringList sorted(QStringList rows)
{
    rows.sort();
    return rows;
}

} // namespace

// The first start of the real program takes over the bookmarks of the browser used before,
// found in the user's home folder; File > Import reads an export. Each with its own profile.
class TestFavoritesImportE2E : public QObject
{
    Q_OBJECT

    // Runs the program to its end; the HTTP fixture answers from this thread meanwhile.
    static QByteArray run(const QStringList &arguments)
    {
        QProcess p;
        p.start(SKIMLINE_EXE, arguments);
        QElapsedTimer t;
        t.start();
        while (p.state() != QProcess::NotRunning && t.elapsed() < 120000)
            QTest::qWait(50);
        const QByteArray out = p.readAllStandardOutput();
        if (p.state() != QProcess::NotRunning || p.exitCode() != 0) {
            p.kill();
            return "did not end well: " + out + p.readAllStandardError();
        }
        return out;
    }

private Q_SLOTS:
    void firefoxAtFirstStart()
    {
        TempProfile profile;
        HttpFixture server;
        QVERIFY(server.isListening());
        server.addHtml(QStringLiteral("/home.htm"), QStringLiteral("Home"), QStringLiteral("h"));
        const QString home = server.url(QStringLiteral("/home.htm")).toString();
        const QList<Node> menu = nestedFolders(460, QStringLiteral("menu"));
        const QList<Node> toolbar = {
            {QStringLiteral("Mail"), QStringLiteral("https://mail.test/")},
            {QString(), QStringLiteral("-")},
            {QStringLiteral("Tools"), QString(), nestedFolders(29, QStringLiteral("bar"), 460)}};
        const QList<Node> other = nestedFolders(10, QStringLiteral("other"), 490);
        QCOMPARE(writeFirefoxProfile(profile.file(QStringLiteral("home/.mozilla/firefox")), menu,
                                     toolbar, other, home),
                 QString());

        const QByteArray out = run({"--no-first-run", "--exit-when-idle", "--print-completed"});
        // The browser's home page is a start-up favorite: the first start shows it.
        QVERIFY2(out.contains("completed " + home.toUtf8() + '\n'), out.constData());
        QStringList startUp;
        const QStringList rows =
            storedRows(profile.file(QStringLiteral("data/Favorites.skl")), &startUp);
        QCOMPARE(startUp, QStringList{home});
        const QStringList expected =
            sorted(expectedRows(menu, QString(), false) +
                   expectedRows(toolbar, QStringLiteral("Links"), true) +
                   expectedRows(other, QStringLiteral("Other Bookmarks"), false));
        QCOMPARE(expected.size(), 500);
        QCOMPARE(rows, expected);
        QVERIFY(rows.contains(QStringLiteral(
            "Links\\Tools\\Topic 0\\Part 3\\Deep|Page 470|https://bar.test/page/470?n=470&x=1|1")));
    }

    // No browser in the home folder: the command asks for a file, adds it and saves the file
    // at once; a second import adds nothing (which rows the export gives is the unit test's).
    void exportThroughImportCommand()
    {
        TempProfile profile;
        StoredContext stored(profile.file(QStringLiteral("data")));
        PickingUi ui;
        stored.ctx.ui = &ui;
        stored.ctx.folders.userHome = profile.file(QStringLiteral("home"));
        ui.file = profile.file(QStringLiteral("bookmarks.html"));
        QVERIFY(writeFile(ui.file, bookmarksHtml(nestedFolders(40, QStringLiteral("menu")), {},
                                                 nestedFolders(6, QStringLiteral("other"), 40))
                                       .toUtf8()));
        QCOMPARE(ImportBookmarksCommand(stored.ctx),
                 QStringLiteral("46 bookmarks imported from bookmarks file."));
        QCOMPARE(storedRows(stored.stores.gsFavoritesFile).size(), 46);
        QCOMPARE(ImportBookmarksCommand(stored.ctx),
                 QStringLiteral("0 bookmarks imported from bookmarks file."));
        QCOMPARE(storedRows(stored.stores.gsFavoritesFile).size(), 46);
        QVERIFY(ui.messages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFavoritesImportE2E)
#include "test_favorites_import_e2e.moc"
