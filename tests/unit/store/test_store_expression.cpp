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

// Rows given by position over the named fields; a null QVariant leaves the field Null.
QList<QVariantMap> rows(const QStringList &fields, const QList<QVariantList> &values)
{
    QList<QVariantMap> out;
    for (const QVariantList &v : values) {
        QVariantMap row;
        for (int i = 0; i < v.size(); ++i) {
            if (v[i].isValid())
                row.insert(fields[i], v[i]);
        }
        out.append(row);
    }
    return out;
}

const QVariant N; // Null

QList<QVariantMap> favoritesRows()
{
    return rows(
        {"Title", "Keywords", "URL", "Period", "DayOfWeek", "Selected", "StatusCode", "bfFav",
         "DateCreated"},
        {{"t1", "", "http://alpha.example/Page", 1, 0, 1, 200, 1, date("2024-01-10")},
         {"t2", N, "file:///home/u/doc.html", 0, 2, 4, 404, 2, date("2024-01-10 12:00:00")},
         {"t3", "Delete\\News", "https://news.example/", N, N, 5, 500, 0, date("2024-02-01")},
         {"t4", "Links", "http://links.example/", 0, 0, 0, 301, 1},
         {"t5", "links\\Sub", "http://sub.example/O'Brien", N, N, 1, N, 3},
         {"t6", "!skl\\Groups\\Morning", "http://g.example/", N, N, N, N, 0},
         {"t7", "Deleted items", "http://x.example/"},
         {"t8 Rock'n'Roll", "News\\Tech", "HTTP://ALPHA.example/other"}});
}

QList<QVariantMap> historyRows()
{
    return rows(
        {"Title", "URL", "Date", "Description", "DocKeywords"},
        {{"Rust book", "https://doc.rust-lang.org/book/", date("2024-03-01 08:00:00"),
          "The Rust Programming Language"},
         {"News", "https://news.example/today", date("2024-03-02 09:30:00"), N, "world, politics"},
         {"Straße und Weg", "https://de.example/strasse", date("2024-03-03"), "ÄRGER über Fußwege"},
         {"Backslash", "file:///C:/dir\\file.txt", date("2024-03-04")}});
}

QList<QVariantMap> sessionRows()
{
    return rows({"Order", "bRead", "bLoaded", "Title", "URL"}, {{10000, 0, 1, "s1", "http://a/"},
                                                                {10001, 1, 0, "s2", "http://b/"},
                                                                {10002, 0, 0, "s3", "http://c/"},
                                                                {10003, 2, 1, "s4", "http://A/"},
                                                                {10004, 1, 1, "s5", "http://d/"}});
}

QList<QVariantMap> formRows()
{
    return rows({"url", "fieldtype", "fieldname", "fieldvalue"},
                {{"http://f/login", "t", "user", "me"},
                 {"http://f/login", "p", "pass", ""},
                 {"http://f/other", "t", "q"},
                 {"HTTP://F/LOGIN", "c", "keep", "1"}});
}

QList<QVariantMap> noteRows()
{
    return rows({"Date", "Status", "Note"}, {{date("2024-01-01"), 0, "n1"},
                                             {date("2024-01-02"), 2, "n2"},
                                             {date("2024-01-03"), N, "n3"},
                                             {date("2024-01-04"), 1, "n4"}});
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
    // Expressions the program builds.
    row("favorites", "Keywords LIKE 'Delete\\*'", {"t3"});
    row("favorites", "Keywords LIKE 'links*'", {"t4", "t5"});
    row("favorites", "Period > 0 or DayOfWeek > 0", {"t1", "t2"});
    row("favorites", "Keywords = ''", {"t1", "t2"}); // empty and Null: the root folder
    row("favorites", "URL like '*example/o''brien'", {"t5"});
    row("history", "Date > #2024-03-02 09:30:00#", {"Straße und Weg", "Backslash"});
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
    row("favorites", "Selected = '5'", {"t3"});
    row("favorites", "  KEYWORDS   =   'LINKS'  ", {"t4"});
    row("favorites", "[Keywords] = 'Links'", {"t4"});
    row("history", "Title LIKE '*STRASSE*' OR Description LIKE '*ärger*'", {"Straße und Weg"});
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
    const auto row = [](const char *name, const char *store, const char *sort,
                        const QStringList &expected) {
        QTest::newRow(name) << QString(store) << QString(sort) << expected;
    };
    row("Keywords, Title", "favorites", "Keywords, Title",
        {"t1", "t2", "t6", "t3", "t7", "t4", "t5", "t8 Rock'n'Roll"});
    row("Status nulls first", "notes", "Status, Date DESC", {"n3", "n1", "n4", "n2"});
    row("Order", "session", "order DESC", {"s5", "s4", "s3", "s2", "s1"});
    row("two keys", "session", "bRead DESC, bLoaded ASC, Order DESC",
        {"s4", "s2", "s5", "s3", "s1"});
    row("stored order", "notes", "", {"n1", "n2", "n3", "n4"});
    row("unknown field", "notes", "Nope", {});
    row("garbage after field", "notes", "Date DOWN", {});
    row("empty key", "notes", "Date,,Status", {});
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
