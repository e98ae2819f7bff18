#include "ReaderRig.h"
#include "favorites/ScheduledPages.h"
#include "store/Schemas.h"
#include "store/modRegistry.h"

#include <QTest>

namespace {

// "title Period DayOfWeek WeekOfMonth [bfFav]"; each links to http://<title>.test/.
void addFavorites(Recordset &rs, const QStringList &rows)
{
    for (const QString &row : rows) {
        const QStringList f = row.split(QLatin1Char(' '));
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Title"), f[0]);
        (void)rs.SetField(QStringLiteral("URL"), "http://" + f[0] + ".test/");
        (void)rs.SetField(QStringLiteral("Period"), f[1].toInt());
        (void)rs.SetField(QStringLiteral("DayOfWeek"), f[2].toInt());
        (void)rs.SetField(QStringLiteral("WeekOfMonth"), f[3].toInt());
        (void)rs.SetField(QStringLiteral("bfFav"), f.value(4).toInt());
        rs.Update();
    }
}

const QStringList kSchedule = {
    "home 1 0 0", "daily 2 0 0", "workdays 3 0 0", "sun 0 1 0",    "mon 0 2 0",  "tue 0 4 0",
    "wed 0 8 0",  "fri 0 32 0",  "sat 0 64 0",     "tue4th 0 4 8", "none 0 0 0", "both 2 2 0",
};

QStringList titles(const QList<ScheduledLoad> &loads, const Recordset &rs)
{
    QStringList out;
    Recordset c = rs.Clone();
    for (const ScheduledLoad &l : loads)
        if (c.SetBookmark(l.bookmark))
            out << c.Field(QStringLiteral("Title")).toString();
    return out;
}

QDate day(int month, int d)
{
    return QDate(2026, month, d); // 2026-12-05 is a Saturday
}

} // namespace

class TestScheduledPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void downloadList_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QStringList>("loads");
        QTest::newRow("Saturday: daily and Saturday's, no working days")
            << 0 << day(12, 5) << QDate() << QStringList{"daily", "both", "sat"};
        QTest::newRow("last run three days ago: two days back")
            << 1 << day(12, 8) << day(12, 5)
            << QStringList{"daily", "both", "workdays", "tue", "mon", "both", "sun"};
        QTest::newRow("last run yesterday: yesterday's again")
            << 1 << day(12, 8) << day(12, 7)
            << QStringList{"daily", "both", "workdays", "tue", "mon", "both"};
        QTest::newRow("after more than a week: seven days")
            << 1 << day(12, 8) << day(11, 20)
            << QStringList{"daily", "both", "workdays", "tue", "mon",
                           "both",  "sun",  "sat",      "fri", "wed"};
        QTest::newRow("Sunday after a Saturday run: no working days")
            << 1 << day(12, 6) << day(12, 5) << QStringList{"daily", "both", "sun", "sat"};
        QTest::newRow("Monday after a Saturday run: working days")
            << 1 << day(12, 7) << day(12, 5)
            << QStringList{"daily", "both", "workdays", "mon", "both", "sun"};
        QTest::newRow("the 29th is no fourth week")
            << 0 << day(12, 29) << QDate() << QStringList{"daily", "both", "workdays", "tue"};
        QTest::newRow("the 22nd is") << 0 << day(12, 22) << QDate()
                                     << QStringList{"daily", "both", "workdays", "tue", "tue4th"};
    }
    void downloadList()
    {
        QFETCH(int, mode);
        QFETCH(QDate, today);
        QFETCH(QDate, last);
        QFETCH(QStringList, loads);
        Recordset rs = Recordset::Create(FavoritesSchema());
        addFavorites(rs, kSchedule);
        QCOMPARE(titles(DownloadListLoads(rs, mode, today, last), rs), loads);
        QCOMPARE(titles(HomeLoads(rs), rs), QStringList{"home"});
    }

    // The commands load through LoadDocument (a feed to the viewer), keep the date of the run,
    // and leave a stored date that is no date alone.
    void commandsLoadAndKeepTheDate()
    {
        ReaderRig rig;
        Registry registry(rig.profile.file("HKCU.ini"), rig.profile.file("HKLM.ini"));
        rig.ctx.registry = &registry;
        rig.ctx.reader = &rig.reader;
        addFavorites(rig.stores.rsFavorites,
                     {"home 1 0 0", "daily 2 0 0", "feed 2 0 0 2", "mon 0 2 0"});
        ScheduledPages pages(rig.ctx);
        pages.today = [] { return day(12, 8); };

        QVERIFY(pages.mnuOL_DownloadList_Click(0));
        QCOMPARE(rig.host.feeds, QStringList{"http://feed.test/"});
        QVERIFY(
            rig.sessionRecords(rig.reader.log, QString(), false).contains("http://daily.test/"));
        QVERIFY(!rig.sessionRecords(rig.reader.log, QString(), false).contains("http://mon.test/"));
        QCOMPARE(registry.RegGetAppValue("DA", RegRoot::HKCU, REG_SZ, QString()).value.toString(),
                 QStringLiteral("2026-12-08"));

        // Tuesday again, last run Monday the 7th: Monday's pages are unread ones.
        QVERIFY(registry.RegSaveAppValue("DA", "2026-12-07", RegRoot::HKCU, REG_SZ).ok());
        QVERIFY(pages.mnuOL_DownloadList_Click(1));
        QVERIFY(rig.sessionRecords(rig.reader.log, QString(), false).contains("http://mon.test/"));

        QVERIFY(registry.RegSaveAppValue("DA", "last week", RegRoot::HKCU, REG_SZ).ok());
        QVERIFY(!pages.mnuOL_DownloadList_Click(1));
        QCOMPARE(registry.RegGetAppValue("DA", RegRoot::HKCU, REG_SZ, QString()).value.toString(),
                 QStringLiteral("last week"));

        QCOMPARE(pages.mnuHome_Click(), 1);
        QVERIFY(rig.sessionRecords(rig.reader.log, QString(), false).contains("http://home.test/"));
    }
};

QTEST_MAIN(TestScheduledPages)
#include "test_scheduled_pages.moc"
