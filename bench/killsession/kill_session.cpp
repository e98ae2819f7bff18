// A reading session on the real program for scripts/kill-test, which kills it at random
// moments. The journal says what the program had committed and when, so that a checker can
// tell what a kill lost.
//
//   kill_session --journal FILE --base URL     starts the program (SKIMLINE_HOME as set),
//                                              checks that the unread pages came back, then
//                                              follows links, reads with X, adds and renames
//                                              favorites and types notes until it is killed
//   kill_session --journal FILE --restore-only only the start and the check of the pages
//   kill_session --journal FILE --check KILL_MS the stores on disk against the journal
//
// Journal lines are "time_ms kind key" (time since the epoch):
//   queue URL        a followed link's page is in the session file
//   read URL         Next Window is about to show the page
//   fav B=TITLE      favorite B has this title (added or renamed)
//   note ID=TEXT     note ID holds this text in the notes pane
//   visit URL=N      the history counts N visits of the address
//   kill             the kill (written by --check)
//   lostpage URL, lost KIND KEY   a loss found, counted once

#include "WebHarness.h"
#include "favorites/FavoritesTree.h"
#include "favorites/frmBookmark.h"
#include "frame/FavoritesMenu.h"
#include "frame/MDIForm1.h"
#include "frame/Notes.h"
#include "platform/HttpClient.h"
#include "platform/Shell.h"
#include "platform/Ui.h"
#include "platform/webengine/WebEngineControl.h"
#include "platform/webengine/WebEnginePlatform.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "startup/Main.h"
#include "store/Recordset.h"
#include "store/Stores.h"
#include "store/SystemFolders.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <map>
#include <unistd.h>

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString normalUrl(const QString &url)
{
    return QUrl(url).toString(QUrl::FullyEncoded);
}

struct Entry
{
    qint64 time = 0;
    QString kind;
    QString key;
    QString value; // after '=' for fav, note and visit
};

class Journal
{
public:
    explicit Journal(const QString &path) : m_file(path) {}

    bool open() { return m_file.open(QIODevice::WriteOnly | QIODevice::Append); }

    // On disk before anything else happens: the kill may come next.
    void add(const QString &kind, const QString &key, qint64 time = nowMs())
    {
        const QByteArray line =
            QString::number(time).toUtf8() + ' ' + kind.toUtf8() + ' ' + key.toUtf8() + '\n';
        m_file.write(line);
        m_file.flush();
        (void)::fsync(m_file.handle());
    }

    static QList<Entry> read(const QString &path)
    {
        QList<Entry> out;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray &raw : f.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw);
            const int a = line.indexOf(QLatin1Char(' '));
            const int b = line.indexOf(QLatin1Char(' '), a + 1);
            if (a < 0 || b < 0)
                continue; // a line cut by the kill
            Entry e;
            e.time = line.left(a).toLongLong();
            e.kind = line.mid(a + 1, b - a - 1);
            e.key = line.mid(b + 1);
            const int eq = e.key.indexOf(QLatin1Char('='));
            if (eq > 0 && e.kind != QLatin1String("queue") && e.kind != QLatin1String("read") &&
                e.kind != QLatin1String("lostpage") && e.kind != QLatin1String("lost")) {
                e.value = e.key.mid(eq + 1);
                e.key = e.key.left(eq);
            }
            out << e;
        }
        return out;
    }

private:
    QFile m_file;
};

void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The stores on disk against what the journal says they held a second before the kill.
int check(const QString &journalPath, qint64 killMs)
{
    Journal journal(journalPath);
    if (!journal.open())
        return 2;
    journal.add(QStringLiteral("kill"), QString(), killMs);
    const QList<Entry> entries = Journal::read(journalPath);
    // Each entry is judged by the kill that ended its run.
    QList<qint64> cutoffs(entries.size());
    qint64 cutoff = 0;
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        if (entries.at(i).kind == QLatin1String("kill"))
            cutoff = entries.at(i).time - 1000;
        cutoffs[i] = cutoff;
    }
    // Per key: the value before the cutoff that must be there, and later values that may.
    struct Expect
    {
        QString required;
        bool hasRequired = false;
        QSet<QString> later;
    };
    std::map<QString, std::map<QString, Expect>> expect; // kind -> key -> values
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry &e = entries.at(i);
        if (e.kind == QLatin1String("lost")) {
            const int sp = e.key.indexOf(QLatin1Char(' '));
            expect[e.key.left(sp)].erase(e.key.mid(sp + 1));
            continue;
        }
        if (e.kind != QLatin1String("fav") && e.kind != QLatin1String("note") &&
            e.kind != QLatin1String("visit"))
            continue;
        Expect &x = expect[e.kind][e.key];
        if (e.time < cutoffs.at(i)) {
            x.required = e.value;
            x.hasRequired = true;
            x.later.clear();
        } else {
            x.later.insert(e.value);
        }
    }

    const Folders folders = Folders::resolve();
    auto open = [&](const char *name) {
        return Recordset::Open(QDir(folders.data).filePath(QLatin1String(name)));
    };
    int lostFavorites = 0, lostNotes = 0, lostVisits = 0;
    auto lose = [&](const QString &kind, const QString &key, int &count) {
        ++count;
        journal.add(QStringLiteral("lost"), kind + QLatin1Char(' ') + key);
        std::fprintf(stderr, "lost %s %s\n", qPrintable(kind), qPrintable(key));
    };

    std::optional<Recordset> fav = open("Favorites.skl");
    for (const auto &[key, x] : expect[QStringLiteral("fav")]) {
        if (!x.hasRequired)
            continue;
        const bool kept = fav && fav->SetBookmark(key.toDouble()) &&
                          (fav->Field(QStringLiteral("Title")).toString() == x.required ||
                           x.later.contains(fav->Field(QStringLiteral("Title")).toString()));
        if (!kept)
            lose(QStringLiteral("fav"), key, lostFavorites);
    }

    // A note's text only grows, so a later save starts with the text that must be there.
    std::optional<Recordset> notes = open("NotesTxt.skl");
    QStringList noteTexts;
    if (notes) {
        for (notes->MoveFirst(); !notes->isEOF(); notes->MoveNext())
            noteTexts << notes->Field(QStringLiteral("Note")).toString();
    }
    for (const auto &[key, x] : expect[QStringLiteral("note")]) {
        if (!x.hasRequired)
            continue;
        const bool kept = std::any_of(noteTexts.cbegin(), noteTexts.cend(),
                                      [&](const QString &t) { return t.startsWith(x.required); });
        if (!kept)
            lose(QStringLiteral("note"), key, lostNotes);
    }

    std::optional<Recordset> history = open("History8.skl");
    QHash<QString, int> visits;
    if (history) {
        for (history->MoveFirst(); !history->isEOF(); history->MoveNext())
            visits[history->Field(QStringLiteral("URL")).toString()] =
                history->Field(QStringLiteral("Visits")).toInt();
    }
    for (const auto &[key, x] : expect[QStringLiteral("visit")]) {
        if (x.hasRequired && visits.value(key) < x.required.toInt())
            lose(QStringLiteral("visit"), key, lostVisits);
    }
    std::printf("favorites_lost %d notes_lost %d visits_lost %d\n", lostFavorites, lostNotes,
                lostVisits);
    return 0;
}

class Session
{
public:
    Session(modMain &program, Journal &journal, QString base)
        : m_program(program), m_journal(journal), m_base(std::move(base)),
          m_run(QString::number(nowMs() % 100000000))
    {}

    AppContext &ctx() { return m_program.context(); }
    Reader &reader() { return *ctx().reader; }
    MDIForm1 &frame() { return *static_cast<MDIForm1 *>(ctx().mainForm); }

    // The pages unread at the last kill, from the journal, against the restored session.
    int checkRestore(const QString &journalPath)
    {
        QSet<QString> expected;
        for (const Entry &e : Journal::read(journalPath)) {
            if (e.kind == QLatin1String("queue"))
                expected.insert(normalUrl(e.key));
            else if (e.kind == QLatin1String("read") || e.kind == QLatin1String("lostpage"))
                expected.remove(normalUrl(e.key));
        }
        // Back in this run's session. The first goes to the free window 0, where it is read.
        QSet<QString> restored;
        Recordset rs = reader().log.cursor();
        (void)rs.SetSort(QStringLiteral("Order"));
        for (rs.MoveFirst(); rs.State() && !rs.isEOF(); rs.MoveNext()) {
            const QString url = normalUrl(rs.Field(QStringLiteral("URL")).toString());
            if (restored.isEmpty() && expected.contains(url))
                markRead(url);
            restored.insert(url);
        }
        int lost = 0;
        for (const QString &url : std::as_const(expected)) {
            if (!restored.contains(url)) {
                ++lost;
                m_journal.add(QStringLiteral("lostpage"), url);
                std::fprintf(stderr, "unread page not restored: %s\n", qPrintable(url));
            }
        }
        std::printf("unread_expected %lld unread_lost %d\n", qlonglong(expected.size()), lost);
        std::fflush(stdout);
        return lost;
    }

    [[noreturn]] void run()
    {
        seed();
        for (;;) {
            const int roll = int(QRandomGenerator::global()->bounded(100));
            if (roll < 35)
                followLink();
            else if (roll < 55)
                nextWindow();
            else if (roll < 72)
                typeNote();
            else if (roll < 82)
                addFavorites();
            else
                renameFavorite();
            journalHistory();
            journalRead();
            pump(100 + int(QRandomGenerator::global()->bounded(300)));
        }
    }

private:
    QString next() { return m_run + QLatin1Char('-') + QString::number(++m_counter); }

    WebEngineControl *currentControl()
    {
        DocumentWindow *w = reader().pool.current();
        return w && w->brwWebBrowser ? static_cast<WebEngineControl *>(w->brwWebBrowser) : nullptr;
    }

    // A page of links in the current window to begin with.
    void seed()
    {
        const QString url = m_base + QStringLiteral("/seed") + m_run + QStringLiteral(".htm");
        ctx().LoadDocument(url, LoadWhere::Here);
        (void)WebHarness::waitFor([&] { return m_program.completedDocuments().contains(url); },
                                  60000);
    }

    bool inSession(const QString &url)
    {
        if (reader().log.savePending())
            return false;
        Recordset rs = reader().log.cursor();
        for (rs.MoveFirst(); rs.State() && !rs.isEOF(); rs.MoveNext()) {
            if (normalUrl(rs.Field(QStringLiteral("URL")).toString()) == url)
                return true;
        }
        return false;
    }

    void followLink()
    {
        WebEngineControl *control = currentControl();
        DocumentWindow *w = reader().pool.current();
        if (!control || !w->msURL.startsWith(m_base))
            return nextWindow();
        const QStringList links =
            WebHarness::runScript(*control,
                                  QStringLiteral("Array.from(document.querySelectorAll('a.l'))"
                                                 ".map(a => a.id + ' ' + a.href).join('\\n')"))
                .toString()
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList fresh;
        for (const QString &l : links) {
            if (!m_followed.contains(l.section(QLatin1Char(' '), 1)))
                fresh << l;
        }
        if (fresh.isEmpty())
            return nextWindow();
        const QString pick = fresh.at(int(QRandomGenerator::global()->bounded(fresh.size())));
        const QString id = pick.section(QLatin1Char(' '), 0, 0);
        const QString url = normalUrl(pick.section(QLatin1Char(' '), 1));
        if (!WebHarness::clickElement(*control, id))
            return;
        if (WebHarness::waitFor([&] { return inSession(url); }, 5000)) {
            m_followed.insert(url);
            m_journal.add(QStringLiteral("queue"), url);
        }
    }

    void markRead(const QString &url)
    {
        if (!m_read.contains(url)) {
            m_read.insert(url);
            m_journal.add(QStringLiteral("read"), url);
        }
    }

    // Pages the program counts as read by any other way than Next Window.
    void journalRead()
    {
        Recordset rs = reader().log.cursor();
        for (rs.MoveFirst(); rs.State() && !rs.isEOF(); rs.MoveNext()) {
            if (rs.Field(QStringLiteral("bRead")).toInt() != 0)
                markRead(normalUrl(rs.Field(QStringLiteral("URL")).toString()));
        }
    }

    void nextWindow()
    {
        WindowPool &pool = reader().pool;
        const int slot = pool.nextUnreadSlot();
        WebEngineControl *control = currentControl();
        // A window whose address is not known yet is left for later.
        if (slot < 0 || !control || !pool.window(slot) || pool.window(slot)->msURL.isEmpty())
            return;
        // Journalled first: a kill right after the key must not count the page as unread.
        markRead(normalUrl(pool.window(slot)->msURL));
        WebHarness::pressKey(*control, Qt::Key_X);
        (void)WebHarness::waitFor([&] { return pool.current() == pool.window(slot); }, 5000);
    }

    void typeNote()
    {
        Notes *notes = frame().notes();
        if (!notes)
            return;
        if (m_noteId.isEmpty() || QRandomGenerator::global()->bounded(8) == 0) {
            notes->zNotes(Notes::NewNote);
            // Without its pane the note cannot be closed: typing goes on in the same one.
            if (m_noteId.isEmpty() || (notes->text().isEmpty() && notes->currentBookmark() == 0)) {
                m_noteId = QStringLiteral("n") + next();
                m_noteText = m_noteId + QLatin1Char(':');
            }
        }
        m_noteText += QStringLiteral(" word") + QString::number(++m_counter);
        DomEvent typed;
        typed.type = DomEventType::Input;
        typed.source.id = QStringLiteral("idNote");
        typed.source.value = m_noteText;
        (void)notes->domEvent(typed);
        m_journal.add(QStringLiteral("note"), m_noteId + QLatin1Char('=') + m_noteText);
    }

    QSet<double> favoriteBookmarks()
    {
        QSet<double> out;
        Recordset rs = ctx().stores->rsFavorites.Clone();
        rs.ClearFilter();
        for (rs.MoveFirst(); rs.State() && !rs.isEOF(); rs.MoveNext())
            out.insert(rs.Bookmark());
        return out;
    }

    void journalFavorite(double bookmark, const QString &title)
    {
        m_journal.add(QStringLiteral("fav"),
                      QString::number(bookmark, 'g', 17) + QLatin1Char('=') + title);
    }

    // The open windows' pages as a group of favorites (Favorites > Save Group).
    void addFavorites()
    {
        FavoritesMenu *menu = frame().favoritesMenu();
        if (!menu)
            return;
        const QSet<double> before = favoriteBookmarks();
        if (menu->saveGroup(QStringLiteral("g") + next()) == 0)
            return;
        Recordset rs = ctx().stores->rsFavorites.Clone();
        rs.ClearFilter();
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            if (!before.contains(rs.Bookmark()))
                journalFavorite(rs.Bookmark(), rs.Field(QStringLiteral("Title")).toString());
        }
    }

    // A favorite's title edited in the organizer's tree.
    void renameFavorite()
    {
        if (!m_organizer) {
            ctx().dialogs.ShowFavorites(1);
            m_organizer = frame().findChild<frmBookmark *>();
            if (!m_organizer || !WebHarness::waitFor([&] { return m_organizer->isReady(); }, 20000))
                return;
        }
        const QList<double> all = favoriteBookmarks().values();
        if (all.isEmpty())
            return;
        const double b = all.at(int(QRandomGenerator::global()->bounded(all.size())));
        QTreeWidgetItem *node = m_organizer->tree().node(FavoritesTree::linkKey(b));
        if (!node) {
            m_organizer->rebuild();
            node = m_organizer->tree().node(FavoritesTree::linkKey(b));
        }
        if (!node)
            return;
        const QString title = QStringLiteral("t") + next();
        m_organizer->AfterLabelEdit(node, title);
        journalFavorite(b, title);
    }

    // New visits as the history store counts them in memory.
    void journalHistory()
    {
        if (!ctx().stores->rsHistory.State())
            return;
        Recordset rs = ctx().stores->rsHistory.Clone();
        rs.ClearFilter();
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            const QString url = rs.Field(QStringLiteral("URL")).toString();
            const int visits = rs.Field(QStringLiteral("Visits")).toInt();
            if (m_visits.value(url) != visits) {
                m_visits[url] = visits;
                m_journal.add(QStringLiteral("visit"),
                              url + QLatin1Char('=') + QString::number(visits));
            }
        }
    }

    modMain &m_program;
    Journal &m_journal;
    QString m_base;
    QString m_run;
    int m_counter = 0;
    QSet<QString> m_followed;
    QSet<QString> m_read;
    QString m_noteId, m_noteText;
    QPointer<frmBookmark> m_organizer;
    QHash<QString, int> m_visits;
};

QString argument(const QStringList &args, const char *name)
{
    const int i = int(args.indexOf(QLatin1String(name)));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QString journalPath = argument(args, "--journal");
    if (journalPath.isEmpty()) {
        std::fputs("usage: kill_session --journal FILE (--base URL | --restore-only | --check "
                   "KILL_MS)\n",
                   stderr);
        return 2;
    }
    if (args.contains(QLatin1String("--check"))) {
        QCoreApplication app(argc, argv);
        return check(journalPath, argument(args, "--check").toLongLong());
    }

    WebEnginePlatform::registerSchemes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Skimline"));
    Journal journal(journalPath);
    if (!journal.open())
        return 2;

    WebEngineOptions options;
    options.pagesPath = modMain::findPagesFolder();
    const Folders folders = Folders::resolve();
    options.storagePath = folders.data + QStringLiteral("/WebEngine");
    options.xmlPath = folders.xml;
    WebEnginePlatform engine(options);
    QtUi ui;
    QtShell shell;
    QtHttpClient http;
    modMain program(Platform{&engine, &ui, &shell, &http},
                    StartArguments::parse({QStringLiteral("--no-first-run")}, QDir::currentPath()));
    if (program.Main() != modMain::Outcome::Running) {
        std::fputs("the program did not start\n", stderr);
        return 2;
    }
    ui.setDialogParent(program.context().mainForm);
    journal.add(QStringLiteral("start"), QString::number(QCoreApplication::applicationPid()));

    Session session(program, journal, argument(args, "--base"));
    const int lost = session.checkRestore(journalPath);
    if (args.contains(QLatin1String("--restore-only"))) {
        std::fflush(stdout);
        std::_Exit(lost > 0 ? 1 : 0);
    }
    session.run();
}
