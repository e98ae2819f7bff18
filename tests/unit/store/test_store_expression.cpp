// The filter and find language, run over small stores with and without the index on the field
// that the expression compares.
#include "StoreTestUtil.h"
#include "store/DateValue.h"

#include <QtTest>

namespace {

QVariant date(const char *text)
{
    return *DateValue::parseGeneral(QString::fromLatin1(text));
}

QList<QVariantMap> favoritesRows()
{
    return {
        {{"Title", "t1"},
         {"Keywords", ""},
         {"URL", "http://alpha.example/Page"},
         {"Period", 1},
         {"DayOfWeek", 0},
         {"Selected", 1},
         {"StatusCode", 200},
         {"bfFav", 1},
         {"DateCreated", date("2024-01-10")}},
        {{"Title", "t2"},
         {"URL", "file:///home/u/doc.html"},
         {"Period", 0},
         {"DayOfWeek", 2},
         {"Selected", 4},
         {"StatusCode", 404},
         {"bfFav", 2},
         {"DateCreated", date("2024-01-10 12:00:00")}},
        {{"Title", "t3"},
         {"Keywords", "Delete\\News"},
         {"URL", "https://news.example/"},
         {"Selected", 5},
         {"StatusCode", 500},
         {"bfFav", 0},
         {"DateCreated", date("2024-02-01")}},
        {{"Title", "t4"},
         {"Keywords", "Links"},
         {"URL", "http://links.example/"},
         {"Period", 0},
         {"DayOfWeek", 0},
         {"Selected", 0},
         {"StatusCode", 301},
         {"bfFav", 1}},
        {{"Title", "t5"},
         {"Keywords", "links\\Sub"},
         {"URL", "http://sub.example/O'Brien"},
         {"Selected", 1},
         {"bfFav", 3}},
        {{"Title", "t6"},
         {"Keywords", "!skl\\Groups\\Morning"},
         {"URL", "http://g.example/"},
         {"bfFav", 0}},
        {{"Title", "t7"}, {"Keywords", "Deleted items"}, {"URL", "http://x.example/"}},
        {{"Title", "t8 Rock'n'Roll"},
         {"Keywords", "News\\Tech"},
         {"URL", "HTTP://ALPHA.example/other"}},
    };
}

QList<QVariantMap> historyRows()
{
    return {
        {{"Title", "Rust book"},
         {"URL", "https://doc.rust-lang.org/book/"},
         {"Date", date("2024-03-01 08:00:00")},
         {"Description", "The Rust Programming Language"}},
        {{"Title", "News"},
         {"URL", "https://news.example/today"},
         {"Date", date("2024-03-02 09:30:00")},
         {"DocKeywords", "world, politics"}},
        {{"Title", "Straße und Weg"},
         {"URL", "https://de.example/strasse"},
         {"Date", date("2024-03-03")},
         {"Description", "ÄRGER über Fußwege"}},
        {{"Title", "Backslash"}, {"URL", "file:///C:/dir\\file.txt"}, {"Date", date("2024-03-04")}},
    };
}

QList<QVariantMap> sessionRows()
{
    return {
        {{"Order", 10000}, {"bRead", 0}, {"bLoaded", 1}, {"Title", "s1"}, {"URL", "http://a/"}},
        {{"Order", 10001}, {"bRead", 1}, {"bLoaded", 0}, {"Title", "s2"}, {"URL", "http://b/"}},
        {{"Order", 10002}, {"bRead", 0}, {"bLoaded", 0}, {"Title", "s3"}, {"URL", "http://c/"}},
        {{"Order", 10003}, {"bRead", 2}, {"bLoaded", 1}, {"Title", "s4"}, {"URL", "http://A/"}},
        {{"Order", 10004}, {"bRead", 1}, {"bLoaded", 1}, {"Title", "s5"}, {"URL", "http://d/"}},
    };
}

QList<QVariantMap> formRows()
{
    return {
        {{"url", "http://f/login"},
         {"fieldtype", "t"},
         {"fieldname", "user"},
         {"fieldvalue", "me"}},
        {{"url", "http://f/login"}, {"fieldtype", "p"}, {"fieldname", "pass"}, {"fieldvalue", ""}},
        {{"url", "http://f/other"}, {"fieldtype", "t"}, {"fieldname", "q"}},
        {{"url", "HTTP://F/LOGIN"}, {"fieldtype", "c"}, {"fieldname", "keep"}, {"fieldvalue", "1"}},
    };
}

QList<QVariantMap> noteRows()
{
    return {
        {{"Date", date("2024-01-01")}, {"Status", 0}, {"Note", "n1"}},
        {{"Date", date("2024-01-02")}, {"Status", 2}, {"Note", "n2"}},
        {{"Date", date("2024-01-03")}, {"Note", "n3"}},
        {{"Date", date("2024-01-04")}, {"Status", 1}, {"Note", "n4"}},
    };
}

struct StoreCase
{
    Schema schema;
    QList<QVariantMap> rows;
    QString id;
};

StoreCase storeCase(const QString &name)
{
    if (name == "favorites")
        return {FavoritesSchema(), favoritesRows(), "Title"};
    if (name == "history")
        return {HistorySchema(), historyRows(), "Title"};
    if (name == "session")
        return {SessionSchema(), sessionRows(), "Title"};
    if (name == "forms")
        return {FormsSchema(), formRows(), "fieldname"};
    return {NotesSchema(), noteRows(), "Note"};
}

// The fields that the opening routines index, plus those the program looks up by equality.
const QStringList kIndexable = {"Keywords",  "Date",   "url",      "Order", "URL",
                                "fieldname", "Period", "Selected", "bRead"};

// The case's store, with every field of kIndexable it has indexed or none.
Recordset caseStore(const StoreCase &sc, bool indexed)
{
    Recordset rs = makeStore(sc.schema, sc.rows);
    for (const QString &f : kIndexable) {
        if (indexed && rs.FieldIndex(f) >= 0 && !rs.SetIndexed(f))
            qFatal("fixture: %s", qPrintable(f));
    }
    return rs;
}

} // namespace

class TestStoreExpression : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filters_data();
    void filters();
    void finds_data();
    void finds();
    void invalid_data();
    void invalid();
    void sortOrders_data();
    void sortOrders();
};

void TestStoreExpression::filters_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QStringList>("expected");

    auto row = [](const char *store, const char *e, const QStringList &expected) {
        QTest::addRow("%s: %s", store, e) << QString(store) << QString::fromUtf8(e) << expected;
    };
    // The program's own expressions.
    row("favorites", "Keywords LIKE 'Delete\\*'", {"t3"});
    row("favorites", "Keywords LIKE 'links*'", {"t4", "t5"});
    row("favorites", "Period > 0 or DayOfWeek > 0", {"t1", "t2"});
    row("favorites", "Keywords = ''", {"t1", "t2"}); // empty and Null: the root folder
    row("favorites", "Keywords LIKE 'News*'", {"t8 Rock'n'Roll"});
    row("favorites", "Title LIKE '*rock''n*' OR URL LIKE '*rock''n*' OR Keywords LIKE '*rock''n*'",
        {"t8 Rock'n'Roll"});
    row("favorites", "URL like '*example/o''brien'", {"t5"});
    row("history",
        "Title LIKE '*rust*' OR URL LIKE '*rust*' OR Description LIKE '*rust*' OR DocKeywords "
        "LIKE '*rust*'",
        {"Rust book"});
    row("history", "Date > #2024-03-02 09:30:00#", {"Straße und Weg", "Backslash"});
    row("session", "bRead = 0 AND bLoaded = 0", {"s3"});
    row("notes", "Status <> 2", {"n1", "n3", "n4"}); // a Null status is not "deleted"
    row("forms", "url = 'http://f/login'", {"user", "pass", "keep"});

    // The rules around them.
    row("favorites", "Selected = 1 OR Selected = 4 AND bfFav = 3", {"t1", "t5"}); // AND first
    row("favorites", "bfFav = 1 AND Selected = 0 OR Selected = 5", {"t3", "t4"});
    row("favorites", "Period <> 1",
        {"t2", "t3", "t4", "t5", "t6", "t7", "t8 Rock'n'Roll"}); // Null differs from 1
    row("favorites", "Period < 5", {"t1", "t2", "t4"});          // Null never orders
    row("favorites", "Keywords <> ''", {"t3", "t4", "t5", "t6", "t7", "t8 Rock'n'Roll"});
    row("favorites", "Keywords LIKE 'Delete*News'", {"t3"}); // an inner asterisk is a wildcard
    row("favorites", "Keywords LIKE 'links'", {"t4"});       // no asterisk: the whole text
    row("favorites", "Keywords LIKE ''", {"t1", "t2"});
    row("favorites", "Keywords = 'delete\\news'", {"t3"});
    row("favorites", "URL LIKE '*%*' OR URL LIKE '*?*'", {}); // no other wildcards
    row("favorites", "DateCreated > #2024-01-10#", {"t2", "t3"});
    row("favorites", "DateCreated = #2024-01-10 12:00:00#", {"t2"});
    row("favorites", "StatusCode = 404.0", {"t2"});
    row("favorites", "StatusCode > -1", {"t1", "t2", "t3", "t4"});
    row("favorites", "Selected = '5'", {"t3"});
    row("favorites", "  KEYWORDS   =   'LINKS'  ", {"t4"});
    row("favorites", "[Keywords] = 'Links'", {"t4"});
    row("history", "Title LIKE '*STRASSE*' OR Description LIKE '*ärger*'", {"Straße und Weg"});
    row("history", "URL LIKE '*dir\\file*'", {"Backslash"});
    row("session", "URL = 'http://a/'", {"s1", "s4"});
    row("notes", "Date >= '2024-01-03'", {"n3", "n4"});
}

void TestStoreExpression::filters()
{
    QFETCH(QString, store);
    QFETCH(QString, expression);
    QFETCH(QStringList, expected);
    const StoreCase sc = storeCase(store);

    for (const bool indexed : {false, true}) {
        Recordset rs = caseStore(sc, indexed);
        QVERIFY2(rs.SetFilter(expression), qPrintable(rs.lastError()));
        QCOMPARE(rs.RecordCount(), int(expected.size()));
        QCOMPARE(rs.isEOF(), expected.isEmpty());
        QCOMPARE(column(rs, sc.id), expected);
        rs.ClearFilter();
        QCOMPARE(rs.RecordCount(), int(sc.rows.size()));
    }
}

void TestStoreExpression::finds_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("criterion");
    QTest::addColumn<QString>("expected"); // empty: EOF

    auto row = [](const char *store, const char *sort, const char *c, const char *expected) {
        QTest::addRow("%s [%s]: %s", store, sort, c)
            << QString(store) << QString(sort) << QString::fromUtf8(c) << QString(expected);
    };
    row("history", "", "URL = 'HTTPS://NEWS.EXAMPLE/TODAY'", "News");
    row("history", "", "URL = 'https://news.example/'", "");
    row("session", "", "URL = 'http://a/'", "s1");
    row("session", "Order DESC", "URL = 'http://a/'", "s4"); // first in the cursor's order
    row("forms", "", "fieldname = 'PASS'", "pass");
    row("forms", "fieldname", "fieldname > 'keep'", "pass");
}

void TestStoreExpression::finds()
{
    QFETCH(QString, store);
    QFETCH(QString, sort);
    QFETCH(QString, criterion);
    QFETCH(QString, expected);
    const StoreCase sc = storeCase(store);

    for (const bool indexed : {false, true}) {
        Recordset rs = caseStore(sc, indexed);
        QVERIFY(rs.SetSort(sort));
        rs.MoveLast(); // Find starts from the first record wherever the cursor is
        const bool found = rs.Find(criterion);
        QCOMPARE(found, !expected.isEmpty());
        QCOMPARE(rs.isEOF(), expected.isEmpty());
        if (found)
            QCOMPARE(rs.Field(sc.id).toString(), expected);
        QVERIFY(rs.lastError().isEmpty());
    }
}

void TestStoreExpression::invalid_data()
{
    QTest::addColumn<QString>("expression");
    for (const char *e :
         {"Keywords = 'it's'", "URL = '", "Nope = 1", "garbage", "= 'x'", "Period LIKE '1*'",
          "Keywords = 5", "Keywords = #2024-01-01#", "PostData = 'x'", "Period = 'abc'",
          "DateCreated > #not a date#", "Period = 1 AND", "Period = 1 XOR Period = 2",
          "(Period = 1)", "Keywords = 'a' 'b'", "Period = 1; DROP", "[Keywords = 'x'",
          "Keywords != 'x'", "Keywords = 'a' AND AND Period = 1"})
        QTest::addRow("%s", e) << QString::fromUtf8(e);
}

void TestStoreExpression::invalid()
{
    QFETCH(QString, expression);
    Recordset rs = makeStore(FavoritesSchema(), favoritesRows());
    QVERIFY(rs.SetFilter("bfFav = 1"));
    QVERIFY(rs.SetAbsolutePosition(2));
    const double bookmark = rs.Bookmark();

    QVERIFY(!rs.SetFilter(expression));
    QVERIFY(!rs.lastError().isEmpty());
    // Refused: the previous filter and position stand (nothing selected wholesale).
    QCOMPARE(rs.RecordCount(), 2);
    QCOMPARE(rs.Filter(), QString("bfFav = 1"));
    QCOMPARE(rs.Bookmark(), bookmark);

    // The second time comes from the cache of parsed expressions and fails the same way.
    QVERIFY(!rs.SetFilter(expression));

    QVERIFY(!rs.Find(expression));
    QVERIFY(rs.isEOF());
    QVERIFY(!rs.lastError().isEmpty());
}

void TestStoreExpression::sortOrders_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("expected"); // empty: refused
    QTest::newRow("Keywords, Title")
        << "favorites"
        << "Keywords, Title"
        << QStringList{"t1", "t2", "t6", "t3", "t7", "t4", "t5", "t8 Rock'n'Roll"};
    QTest::newRow("Status nulls first")
        << "notes"
        << "Status, Date DESC" << QStringList{"n3", "n1", "n4", "n2"};
    QTest::newRow("Order") << "session"
                           << "order DESC" << QStringList{"s5", "s4", "s3", "s2", "s1"};
    QTest::newRow("two keys") << "session"
                              << "bRead DESC, bLoaded ASC, Order DESC"
                              << QStringList{"s4", "s2", "s5", "s3", "s1"};
    QTest::newRow("stored order") << "notes"
                                  << "" << QStringList{"n1", "n2", "n3", "n4"};
    QTest::newRow("unknown field") << "notes"
                                   << "Nope" << QStringList{};
    QTest::newRow("garbage after field") << "notes"
                                         << "Date DOWN" << QStringList{};
    QTest::newRow("empty key") << "notes"
                               << "Date,,Status" << QStringList{};
}

void TestStoreExpression::sortOrders()
{
    QFETCH(QString, store);
    QFETCH(QString, sort);
    QFETCH(QStringList, expected);
    const StoreCase sc = storeCase(store);
    Recordset rs = makeStore(sc.schema, sc.rows);
    QVERIFY(rs.SetSort(sc.id + " DESC"));
    if (expected.isEmpty()) {
        QVERIFY(!rs.SetSort(sort));
        QCOMPARE(rs.Sort(), sc.id + " DESC");
        return;
    }
    QVERIFY2(rs.SetSort(sort), qPrintable(rs.lastError()));
    QCOMPARE(column(rs, sc.id), expected);
}

QTEST_GUILESS_MAIN(TestStoreExpression)
#include "test_store_expression.moc"
