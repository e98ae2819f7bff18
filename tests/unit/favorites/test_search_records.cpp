#include "favorites/SearchRecords.h"
#include "store/Recordset.h"
#include "store/Schemas.h"

#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

class TestSearchRecords : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    Recordset searches(const QList<QVariantList> &rows)
    {
        Recordset rs = Recordset::Create(SearchesSchema(), m_dir.filePath("Searches.skl"));
        for (const QVariantList &row : rows)
            (void)rs.AddNew({"Title", "SearchTerms", "URL", "PostData", "Frequency"}, row);
        return rs;
    }

private Q_SLOTS:
    // The new terms go where the old ones were (address or body), or at the end of an
    // address without them; the record keeps them, counts the run and is on disk at once.
    void runReplacesTheLastTerms()
    {
        Recordset rs = searches({{"Web", "old+cats", "https://s.example/?q=old+cats&x=1", {}, 2},
                                 {"Post", "dogs", "http://p.example/find", "q=dogs&go=1", 0},
                                 {"Plain", "", "https://d.example/?q=", {}, 0},
                                 {"Script", "", "javascript:alert(1)//", {}, 0}});
        rs.MoveFirst();
        const double web = rs.Bookmark();
        auto s = SearchRecords::run(rs, web, " new  birds ");
        QVERIFY(s);
        QCOMPARE(s->url, QStringLiteral("https://s.example/?q=new++birds&x=1"));
        QVERIFY(rs.SetBookmark(web));
        QCOMPARE(rs.Field("SearchTerms").toString(), QStringLiteral("new++birds"));
        QCOMPARE(rs.Field("Frequency").toInt(), 3);
        auto disk = Recordset::Open(m_dir.filePath("Searches.skl"));
        QVERIFY(disk && disk->Find("URL = 'https://s.example/?q=new++birds&x=1'"));

        rs.MoveNext();
        s = SearchRecords::run(rs, rs.Bookmark(), "cats");
        QCOMPARE(s->url, QStringLiteral("http://p.example/find"));
        QCOMPARE(s->postData, QByteArray("q=cats&go=1"));
        rs.MoveNext();
        QCOMPARE(SearchRecords::run(rs, rs.Bookmark(), "x y")->url,
                 QStringLiteral("https://d.example/?q=x+y"));
        rs.MoveNext();
        QVERIFY(!SearchRecords::run(rs, rs.Bookmark(), "x"));
        QVERIFY(!SearchRecords::run(rs, web, "   "));
    }

    void pageEscapesTitlesAndEditorWritesRows()
    {
        Recordset rs = searches({{"<b>Web</b>", "", "https://s.example/?q=", {}, 0}});
        rs.MoveFirst();
        QVERIFY(SearchRecords::pageHtml(rs).contains("<a href=skl:s--" +
                                                     QString::number(rs.Bookmark()) +
                                                     ">&lt;b&gt;Web&lt;/b&gt;</a><br>"));
        SearchRecordsDialog dialog(rs);
        QTableWidget *t = dialog.table();
        QCOMPARE(t->rowCount(), 1);
        t->insertRow(1);
        t->setItem(1, 0, new QTableWidgetItem(" News "));
        t->setItem(1, 2, new QTableWidgetItem("https://n.example/?q="));
        t->insertRow(2); // an empty row is dropped
        QVERIFY(dialog.apply());
        QCOMPARE(rs.RecordCount(), 2);
        QVERIFY(rs.Find("Title = 'News'"));
        QVERIFY(!SearchRecords::pageHtml(rs).contains("No saved searches"));
    }
};

QTEST_MAIN(TestSearchRecords)
#include "test_search_records.moc"
