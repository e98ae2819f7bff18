// Cursor semantics: moves, deletes, implicit updates, bookmarks, clones, value coercion and the
// consistency of the search buffers and indexes under edits.
#include "StoreTestUtil.h"
#include "store/DateValue.h"

#include <QRandomGenerator>
#include <QtTest>

#include <set>

namespace {

Schema smallSchema()
{
    return {{"Name", FieldType::WChar, 20},
            {"Tag", FieldType::LongWChar, 100000},
            {"N", FieldType::Integer, 0},
            {"Flag", FieldType::UnsignedTinyInt, 0}};
}

Recordset letters(int count = 5)
{
    QList<QVariantMap> rows;
    for (int i = 0; i < count; ++i)
        rows.append({{"Name", QString(QChar('a' + i))}, {"N", i}, {"Flag", i % 2}});
    return makeStore(smallSchema(), rows);
}

} // namespace

class TestStoreCursor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void movesAndEdges();
    void deleteThenMoveNext();
    void deleteLoopEmptiesFilteredSet();
    void editsCommitOnMoveFilterAndUpdate();
    void addNewWithLists();
    void bookmarksAndPositionsSurviveSortAndFilter();
    void clonesShareRows();
    void coercion_data();
    void coercion();
    void closedStoreIsHarmless();
    void editsKeepSearchesAndIndexesConsistent();
};

void TestStoreCursor::movesAndEdges()
{
    Recordset rs = letters(3);
    QVERIFY(!rs.isBOF() && !rs.isEOF());
    QCOMPARE(rs.Field("Name").toString(), QString("a"));
    rs.MovePrevious();
    QVERIFY(rs.isBOF());
    QVERIFY(!rs.Field("Name").isValid());
    rs.MoveNext();
    QCOMPARE(rs.Field("name").toString(), QString("a")); // field names ignore case
    rs.MoveLast();
    QCOMPARE(rs.Field("Name").toString(), QString("c"));
    rs.MoveNext();
    QVERIFY(rs.isEOF());
    rs.MoveNext(); // stays at EOF
    QVERIFY(rs.isEOF());
    rs.MovePrevious();
    QCOMPARE(rs.Field("Name").toString(), QString("c"));

    QVERIFY(rs.SetFilter("N > 10"));
    QVERIFY(rs.isEOF() && rs.isBOF());
    QCOMPARE(rs.RecordCount(), 0);
    QVERIFY(!rs.SetField("N", 1)); // no current record
    rs.ClearFilter();
    QCOMPARE(rs.RecordCount(), 3);
    QCOMPARE(rs.Field("Name").toString(), QString("a"));

    QVERIFY(!rs.Field("Nope").isValid());
    QVERIFY(rs.lastError().contains("Nope"));
    QVERIFY(!rs.SetField("Nope", 1));
}

void TestStoreCursor::deleteThenMoveNext()
{
    Recordset rs = letters(4);
    QVERIFY(rs.SetAbsolutePosition(2)); // b
    QVERIFY(rs.Delete());
    QVERIFY(!rs.isEOF());
    QVERIFY(!rs.Field("Name").isValid()); // the deleted record is gone
    rs.MoveNext();
    QCOMPARE(rs.Field("Name").toString(), QString("c"));

    QVERIFY(rs.Delete()); // c
    rs.MovePrevious();
    QCOMPARE(rs.Field("Name").toString(), QString("a"));

    rs.MoveLast(); // d, the last one
    QVERIFY(rs.Delete());
    QVERIFY(!rs.isEOF());
    rs.MoveNext();
    QVERIFY(rs.isEOF());
    QCOMPARE(column(rs, "Name"), QStringList{"a"});
    QVERIFY(!rs.Delete() || rs.RecordCount() == 0);
}

void TestStoreCursor::deleteLoopEmptiesFilteredSet()
{
    Recordset rs = letters(9);
    Recordset other = rs.Clone();
    QVERIFY(other.SetAbsolutePosition(6)); // f, which the loop deletes
    QVERIFY(rs.SetFilter("Flag = 1"));
    QCOMPARE(rs.RecordCount(), 4);
    while (!rs.isEOF()) {
        QVERIFY(rs.Delete());
        rs.MoveNext();
    }
    QCOMPARE(rs.RecordCount(), 0);
    rs.ClearFilter();
    QCOMPARE(column(rs, "Name"), (QStringList{"a", "c", "e", "g", "i"}));
    // The clone lost the same rows; its next record is the one after the deleted f.
    QCOMPARE(other.RecordCount(), 5);
    other.MoveNext();
    QCOMPARE(other.Field("Name").toString(), QString("g"));

    // The same loop as one call: every match goes, each seen once, and the filter is cleared.
    QStringList seen;
    QCOMPARE(DeleteMatching(rs, "Name <> 'e'",
                            [&seen](const Recordset &r) { seen << r.Field("Name").toString(); }),
             4);
    QCOMPARE(seen, (QStringList{"a", "c", "g", "i"}));
    QCOMPARE(column(rs, "Name"), QStringList{"e"});
    QCOMPARE(DeleteMatching(rs, "Name ="), -1);
}

void TestStoreCursor::editsCommitOnMoveFilterAndUpdate()
{
    Recordset rs = letters(3);
    Recordset clone = rs.Clone();

    // Held by the cursor until a move.
    QVERIFY(rs.SetField("Tag", "x"));
    QCOMPARE(rs.Field("Tag").toString(), QString("x"));
    QVERIFY(!clone.Field("Tag").isValid());
    rs.MoveNext();
    QCOMPARE(clone.Field("Tag").toString(), QString("x"));

    // AddNew appends at once; its values arrive with the filter change.
    rs.AddNew();
    QCOMPARE(rs.RecordCount(), 4);
    QVERIFY(rs.SetField("Name", "new"));
    QVERIFY(rs.SetField("Flag", 1));
    QVERIFY(rs.SetFilter("Name = 'NEW'"));
    QCOMPARE(rs.RecordCount(), 1);
    QCOMPARE(rs.Field("Flag").toInt(), 1);

    // Update commits in place; Find and Save commit too.
    QVERIFY(rs.SetField("Tag", "updated"));
    rs.Update();
    clone.MoveLast();
    QCOMPARE(clone.Field("Tag").toString(), QString("updated"));
    QVERIFY(rs.SetField("N", 42));
    QVERIFY(clone.Find("N = 42") == false); // not committed yet
    QVERIFY(!rs.Find("N = 7"));
    QVERIFY(clone.Find("N = 42"));

    // An AddNew left without Update is committed by the next AddNew.
    rs.ClearFilter();
    rs.AddNew();
    QVERIFY(rs.SetField("Name", "first"));
    rs.AddNew();
    QVERIFY(rs.SetField("Name", "second"));
    rs.Close();
    QCOMPARE(column(clone, "Name").mid(4), (QStringList{"first", "second"}));
}

void TestStoreCursor::addNewWithLists()
{
    Recordset rs = Recordset::Create(OptionsSchema());
    QVERIFY(rs.AddNew({"key", "value"}, {"Mode", "2"}));
    QCOMPARE(rs.RecordCount(), 1);
    QVERIFY(rs.Find("key = 'mode'"));
    QCOMPARE(rs.Field("value").toString(), QString("2"));
    QVERIFY(!rs.Field("status").isValid());

    // A refused value is reported; the other values stay.
    QVERIFY(!rs.AddNew({"key", "status"}, {"k2", 1000}));
    QVERIFY(rs.lastError().contains("status"));
    QVERIFY(rs.Find("key = 'k2'"));
    QVERIFY(!rs.AddNew({"key"}, {}));
}

void TestStoreCursor::bookmarksAndPositionsSurviveSortAndFilter()
{
    Recordset rs = letters(6);
    QVERIFY(rs.SetAbsolutePosition(4)); // d
    const double d = rs.Bookmark();
    QVERIFY(d > 0);
    QVERIFY(rs.SetSort("N DESC"));
    QVERIFY(rs.SetBookmark(d));
    QCOMPARE(rs.Field("Name").toString(), QString("d"));
    QCOMPARE(rs.AbsolutePosition(), 3);
    QVERIFY(!rs.SetAbsolutePosition(0));
    QVERIFY(!rs.SetAbsolutePosition(7)); // the cursor stays
    QCOMPARE(rs.Field("Name").toString(), QString("d"));
    QVERIFY(rs.SetAbsolutePosition(6));
    QCOMPARE(rs.Field("Name").toString(), QString("a"));
    rs.MoveNext();
    QCOMPARE(rs.AbsolutePosition(), 0);
    QVERIFY(rs.SetFilter("Flag = 1")); // b, d, f
    QVERIFY(rs.SetBookmark(d));
    QCOMPARE(rs.Field("Name").toString(), QString("d"));

    rs.MoveFirst();
    const double f = rs.Bookmark();
    QVERIFY(rs.SetFilter("Flag = 0"));
    QVERIFY(!rs.SetBookmark(f)); // filtered out
    QCOMPARE(rs.Field("Name").toString(), QString("e"));
    QVERIFY(!rs.SetBookmark(12345));
    QVERIFY(!rs.SetBookmark(d + 0.5));

    // Ids are never reused, so a deleted record's bookmark stays dead.
    rs.ClearFilter();
    QVERIFY(rs.SetBookmark(d));
    QVERIFY(rs.Delete());
    rs.AddNew();
    QVERIFY(rs.Bookmark() > d);
    QVERIFY(!rs.SetBookmark(d));
}

void TestStoreCursor::clonesShareRows()
{
    Recordset rs = letters(3);
    QVERIFY(rs.SetFilter("Flag = 0")); // a, c
    Recordset clone = rs.Clone();      // no filter, stored order, first record
    QCOMPARE(clone.RecordCount(), 3);
    QCOMPARE(clone.Field("Name").toString(), QString("a"));

    // New rows reach an unfiltered clone; a filtered cursor shows the rows it added itself.
    clone.AddNew();
    QVERIFY(clone.SetField("Name", "z"));
    clone.Update();
    QCOMPARE(rs.RecordCount(), 2);
    rs.AddNew();
    QVERIFY(rs.SetField("Name", "y"));
    rs.Update();
    QCOMPARE(rs.RecordCount(), 3);
    QCOMPARE(clone.RecordCount(), 5);

    // Each has its own position; edits through one are read through the other.
    QVERIFY(clone.SetBookmark(rs.Bookmark()));
    QVERIFY(clone.SetField("Tag", "via clone"));
    clone.Update();
    QCOMPARE(rs.Field("Tag").toString(), QString("via clone"));

    // Closing one cursor leaves the other working.
    rs.Close();
    QVERIFY(!rs.State());
    QVERIFY(clone.State());
    QCOMPARE(column(clone, "Name"), (QStringList{"a", "b", "c", "z", "y"}));
}

void TestStoreCursor::coercion_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected"); // invalid QVariant with refused=false: Null
    QTest::addColumn<bool>("refused");
    // The largest values of each type are the file round trip's.

    auto ok = [](const char *name, int type, int size, QVariant in, QVariant out) {
        QTest::newRow(name) << type << size << in << out << false;
    };
    auto no = [](const char *name, int type, int size, QVariant in) {
        QTest::newRow(name) << type << size << in << QVariant() << true;
    };
    using namespace FieldType;
    ok("null", UnsignedTinyInt, 0, QVariant(), QVariant());
    ok("u8 rounds", UnsignedTinyInt, 0, 1.6, 2);
    no("u8 over", UnsignedTinyInt, 0, 256);
    no("u8 negative", UnsignedTinyInt, 0, -1);
    no("i8 under", TinyInt, 0, -129);
    no("u16 over", UnsignedSmallInt, 0, 65536);
    ok("u32 max", UnsignedInt, 0, 4294967295.0, qint64(4294967295LL));
    no("u32 over", UnsignedInt, 0, 4294967296.0);
    ok("i32 min", Integer, 0, -2147483647 - 1, int(-2147483647 - 1));
    no("i32 text", Integer, 0, "abc");
    no("i32 empty text", Integer, 0, "");
    ok("bool true", UnsignedTinyInt, 0, true, 1);
    ok("double", Double, 0, "2.5", 2.5);
    no("double inf", Double, 0, qInf());
    ok("date text", Date, 0, "2024-01-02 12:00:00", *DateValue::parseGeneral("2024-01-02 12:00"));
    ok("date day count", Date, 0, 45000.25, 45000.25);
    ok("date QDate", Date, 0, QDate(2024, 1, 2), *DateValue::parseGeneral("2024-01-02"));
    no("date garbage", Date, 0, "yesterday");
    no("date into integer", Integer, 0, QDateTime::currentDateTime());
    ok("text cut to size", WChar, 5, "abcdefgh", "abcde");
    ok("text keeps surrogate pairs whole", WChar, 3, QString::fromUtf8("ab😀c"), "ab");
    ok("text empty is not null", LongWChar, 10, "", "");
    ok("text from number", LongWChar, 10, 42, "42");
    ok("char", Char, 1, "tx", "t");
    ok("binary", LongVarBinary, 4, QByteArray("\x00\x01\x02", 3), QByteArray("\x00\x01\x02", 3));
    no("binary over size", VarBinary, 4, QByteArray("12345"));
}

void TestStoreCursor::coercion()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QVariant, input);
    QFETCH(QVariant, expected);
    QFETCH(bool, refused);
    Recordset rs = Recordset::Create({{"F", type, size}});
    rs.AddNew();
    QVERIFY(rs.SetField("F", QVariant())); // start from Null
    QCOMPARE(rs.SetField("F", input), !refused);
    rs.Update();
    if (refused) {
        QVERIFY(!rs.lastError().isEmpty());
        QVERIFY(!rs.Field("F").isValid()); // the field keeps its old value
        return;
    }
    const QVariant got = rs.Field("F");
    QCOMPARE(got.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(got.metaType(), expected.metaType());
        QCOMPARE(got, expected);
    }
}

void TestStoreCursor::closedStoreIsHarmless()
{
    Recordset rs;
    QVERIFY(!rs.State());
    QVERIFY(rs.isEOF() && rs.isBOF());
    QCOMPARE(rs.RecordCount(), 0);
    rs.MoveNext();
    rs.AddNew();
    QVERIFY(!rs.SetFilter("x = 1"));
    QVERIFY(!rs.Save());
    QVERIFY(!rs.Clone().State());
    Recordset memory = Recordset::Create(NotesSchema());
    QVERIFY(!memory.Save()); // no file yet
    QVERIFY(memory.lastError().contains("file"));
}

// Random edits against a plain model: LIKE searches run over buffers that are patched and
// compacted as cells change, and equality goes through an index kept up to date by every edit.
void TestStoreCursor::editsKeepSearchesAndIndexesConsistent()
{
    QRandomGenerator rng(20240611);
    const QStringList words = {"alpha", "Beta", "gamma", "ALPHABET", "delta", "Ümlaut", "", "ab"};
    auto randomText = [&] {
        QString s;
        const int n = int(rng.bounded(4));
        for (int i = 0; i < n; ++i)
            s += words[int(rng.bounded(words.size()))] + QString::number(rng.bounded(3));
        return s;
    };

    Recordset rs = Recordset::Create(smallSchema());
    QVERIFY(rs.SetIndexed("Name"));
    QVERIFY(rs.SetIndexed("N"));
    struct Model
    {
        QString name, tag;
        bool tagNull = true;
        int n = 0;
    };
    std::map<double, Model> model;

    for (int step = 0; step < 6000; ++step) {
        rs.ClearFilter();
        const quint32 op = step < 300 ? 0 : rng.bounded(20);
        if (op < 4 || model.empty()) {
            Model m{randomText().left(20), randomText(), false, int(rng.bounded(5))};
            rs.AddNew();
            QVERIFY(rs.SetField("Name", m.name));
            QVERIFY(rs.SetField("Tag", m.tag));
            QVERIFY(rs.SetField("N", m.n));
            rs.Update();
            model[rs.Bookmark()] = m;
        } else {
            auto it = model.begin();
            std::advance(it, rng.bounded(quint32(model.size())));
            QVERIFY(rs.SetBookmark(it->first));
            if (op < 7) {
                QVERIFY(rs.Delete());
                model.erase(it);
            } else if (op < 16) {
                // Long values make garbage fast, so compaction runs many times.
                it->second.tag = (randomText() + "z").repeated(20 + int(rng.bounded(60)));
                it->second.tagNull = rng.bounded(5) == 0;
                QVERIFY(rs.SetField("Tag", it->second.tagNull ? QVariant() : it->second.tag));
                it->second.name = randomText().left(20);
                QVERIFY(rs.SetField("Name", it->second.name));
            } else {
                it->second.n = int(rng.bounded(5));
                QVERIFY(rs.SetField("N", it->second.n));
                rs.Update();
            }
        }

        if (step % 250 != 249)
            continue;
        for (const QString needle : {"alpha", "ab", "ümlaut1", "a1b"}) {
            QVERIFY(rs.SetFilter(QString("Tag LIKE '*%1*' OR Name LIKE '*%1*'").arg(needle)));
            std::set<double> got, want;
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                got.insert(rs.Bookmark());
            for (const auto &[id, m] : model) {
                if ((!m.tagNull && m.tag.contains(needle, Qt::CaseInsensitive)) ||
                    m.name.contains(needle, Qt::CaseInsensitive))
                    want.insert(id);
            }
            QCOMPARE(got, want);
            QCOMPARE(rs.RecordCount(), int(want.size())); // each record once
        }
        for (int n = 0; n < 5; ++n) {
            QVERIFY(rs.SetFilter(QString("N = %1 AND Name <> 'nothing'").arg(n)));
            int want = 0;
            for (const auto &[id, m] : model)
                want += m.n == n;
            QCOMPARE(rs.RecordCount(), want);
        }
        // Sorted through the rank cache (whole store) and by comparing (a small filtered part).
        for (const QString filter : {"", "N = 2 AND Name LIKE '*a*'"}) {
            QVERIFY(rs.SetSort(""));
            QVERIFY(rs.SetFilter(filter));
            QVERIFY(rs.SetSort("Name DESC, N"));
            std::vector<std::tuple<QByteArray, int, double>> want;
            for (const auto &[id, m] : model) {
                if (filter.isEmpty() || (m.n == 2 && m.name.contains('a', Qt::CaseInsensitive)))
                    want.emplace_back(m.name.toCaseFolded().toUtf8(), m.n, id);
            }
            std::sort(want.begin(), want.end(), [](const auto &a, const auto &b) {
                if (std::get<0>(a) != std::get<0>(b))
                    return std::get<0>(a) > std::get<0>(b);
                if (std::get<1>(a) != std::get<1>(b))
                    return std::get<1>(a) < std::get<1>(b);
                return std::get<2>(a) < std::get<2>(b);
            });
            QList<double> got, expected;
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                got << rs.Bookmark();
            for (const auto &w : want)
                expected << std::get<2>(w);
            QCOMPARE(got, expected);
        }
        QVERIFY(rs.SetSort(""));
        const QString name = model.begin()->second.name;
        QVERIFY(rs.SetFilter(QString("Name = '%1'").arg(name.toUpper())));
        int want = 0;
        for (const auto &[id, m] : model)
            want += m.name.compare(name, Qt::CaseInsensitive) == 0;
        QCOMPARE(rs.RecordCount(), want);
    }
}

QTEST_GUILESS_MAIN(TestStoreCursor)
#include "test_store_cursor.moc"
