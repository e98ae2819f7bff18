#include "FavoritesTestUtil.h"

#include <QTreeWidget>
#include <QtTest>

class TestFavoritesTree : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void build_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("tree");
        QTest::newRow("whole paths group without case")
            << QStringList{"News|a", "news|b"} << "Favorites(News(a,b))";
        QTest::newRow("parts compare with case")
            << QStringList{"News|a", "news\\Local|b"} << "Favorites(News(a),news(Local(b)))";
        QTest::newRow("empty keywords under the root, trimmed")
            << QStringList{"|top", "  |second ", " A\\B |x", "A\\C|y", "D|z"}
            << "Favorites(top,second,A(B(x),C(y)),D(z))";
        QTest::newRow("a deeper folder of the same name is not the parent")
            << QStringList{"A\\A\\x|1", "A\\y|2"} << "Favorites(A(A(x(1)),y(2)))";
        QTest::newRow("special folders are ordinary folders")
            << QStringList{"!skl\\Groups\\g|w", "Delete\\News|old"}
            << "Favorites(!skl(Groups(g(w))),Delete(News(old)))";
    }
    void build()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, tree);
        QTreeWidget view;
        FavoritesTree t(&view);
        Recordset rs = favorites(rows);
        BuildFavoritesTree(t, rs, 0);
        QCOMPARE(dump(t.root()), tree);
    }

    void keysFoldersOnlyAndRebuilds()
    {
        QTreeWidget view;
        FavoritesTree t(&view);
        Recordset rs = favorites({"A|x", "A\\B|y"});
        QVERIFY(rs.SetFilter(QStringLiteral("Title = 'y'")));
        BuildFavoritesTree(t, rs, 1);
        QCOMPARE(dump(t.root()), QStringLiteral("Favorites(A(B()))"));
        QVERIFY(rs.Filter().isEmpty());
        QCOMPARE(t.root()->font(0).bold(), true);
        QCOMPARE(FavoritesTree::key(t.root()), QStringLiteral("K0"));
        const QString first = FavoritesTree::key(t.root()->child(0));

        BuildFavoritesTree(t, rs, 0);
        QVERIFY(FavoritesTree::key(t.root()->child(0)) != first); // a new key every build
        rs.MoveLast();
        QTreeWidgetItem *y = t.node(FavoritesTree::linkKey(rs.Bookmark()));
        QVERIFY(y);
        QCOMPARE(y->text(0), QStringLiteral("y"));
        QCOMPARE(NodeFolderPath(y->parent()), QStringLiteral("A\\B"));
        QCOMPARE(NodeFolderPath(t.root()), QString());
        t.remove(y->parent());
        QVERIFY(!t.node(FavoritesTree::linkKey(rs.Bookmark())));
    }

    void markedRecordsFindTheirSortedPlace()
    {
        QTreeWidget view;
        FavoritesTree t(&view);
        Recordset rs = favorites({"B|b", "D|d", "|new1|4", "c\\sub|new2|4", "b|new3|4"});
        QVERIFY(rs.SetFilter(QStringLiteral("Selected = 0")));
        BuildFavoritesTree(t, rs, 0);
        AddMarkedRecordsToTree(t, rs, 4);
        QCOMPARE(dump(t.root()), QStringLiteral("Favorites(B(b,new3),c(sub(new2)),D(d),new1)"));
    }

    void selectionIsClearedAndUnhighlighted()
    {
        QTreeWidget view;
        FavoritesTree t(&view);
        Recordset rs = favorites({"A|x|1", "A|y|1", "A|z|3"});
        BuildFavoritesTree(t, rs, 0);
        for (int i = 0; i < 3; ++i)
            t.root()->child(0)->child(i)->setBackground(0, Qt::cyan);
        UnhighlightSelectedNodes(t, rs);
        ClearSelection(rs);
        QTreeWidgetItem *a = t.root()->child(0);
        QCOMPARE(a->child(0)->background(0).color(), QColor(Qt::white));
        QCOMPARE(a->child(2)->background(0).color(), QColor(Qt::cyan));
        QVERIFY(rs.SetFilter(QStringLiteral("Selected = 1")));
        QCOMPARE(rs.RecordCount(), 0);
        QVERIFY(rs.SetFilter(QStringLiteral("Selected = 3")));
        QCOMPARE(rs.RecordCount(), 1);
    }
};

QTEST_MAIN(TestFavoritesTree)
#include "test_favorites_tree.moc"
