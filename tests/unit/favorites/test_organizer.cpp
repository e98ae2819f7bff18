#include "FakeBrowserControl.h"
#include "FavoritesTestUtil.h"
#include "favorites/frmBookmark.h"
#include "reader/AppContext.h"
#include "store/Stores.h"

#include <QAction>
#include <QFile>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The organizer over favorites in memory and its page on the double.
struct OrganizerRig
{
    FakeWeb web;
    FakeBrowserFactory factory{web};
    ErrorLog log;
    Stores stores{log};
    AppContext ctx;
    QPointer<frmBookmark> form;

    OrganizerRig(const QStringList &rows, frmBookmark::State mode)
    {
        QFile page(QFINDTESTDATA("../../../resources/pages/frmBookmarks.htm"));
        if (page.open(QIODevice::ReadOnly))
            web.servePage(QStringLiteral("skl-app://pages/frmBookmarks.htm"),
                          QString::fromUtf8(page.readAll()));
        stores.rsFavorites = favorites(rows);
        stores.rsOptions = Recordset::Create(OptionsSchema());
        ctx.stores = &stores;
        ctx.browsers = &factory;
        frmBookmark::Hooks hooks;
        hooks.openEditor = [this](int mode, const QString &k) {
            editor << QString::number(mode) + k;
        };
        form = new frmBookmark(ctx, mode, hooks);
        web.settle();
    }
    ~OrganizerRig() { delete form.data(); }

    QString tree() const { return dump(form->tree().root()); }
    // The node of a folder path ("A\x") or of a link ("A\x|title").
    QTreeWidgetItem *node(const QString &path) const
    {
        QTreeWidgetItem *n = form->tree().root();
        const QStringList parts = path.split('|');
        for (const QString &part : KeywordParts(parts[0])) {
            QTreeWidgetItem *next = nullptr;
            for (int i = 0; i < n->childCount() && !next; ++i)
                if (FavoritesTree::isFolder(n->child(i)) && n->child(i)->text(0) == part)
                    next = n->child(i);
            n = next;
            if (!n)
                return nullptr;
        }
        for (int i = 0; parts.size() > 1 && i < n->childCount(); ++i)
            if (n->child(i)->text(0) == parts[1])
                return n->child(i);
        return parts.size() > 1 ? nullptr : n;
    }
    // Title -> Keywords of every record, and the titles with a Selected mark.
    QString paths()
    {
        QStringList out;
        Recordset rs = stores.rsFavorites.Clone();
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            out << rs.Field("Title").toString() + "=" + rs.Field("Keywords").toString() +
                       (rs.Field("Selected").toInt() ? "*" + rs.Field("Selected").toString() : "");
        return out.join(' ');
    }
    QStringList editor;
};

const QStringList kRows = {"A|a1", "A|a2", "A\\x|ax", "AB|ab", "B|b", "|top"};

} // namespace

class TestOrganizer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selectDeleteAndUndo()
    {
        OrganizerRig rig(kRows, frmBookmark::OrganizeMode);
        QVERIFY(rig.form->isReady());
        QCOMPARE(rig.form->windowTitle(), QStringLiteral("Favorites - Organize Mode"));
        QCOMPARE(rig.tree(), QStringLiteral("Favorites(top,A(a1,a2,x(ax)),AB(ab),B(b))"));

        // A folder selects its own links, not its subfolders'; a second click on a link
        // takes it out again.
        rig.form->NodeClick(rig.node("A"));
        QVERIFY(rig.form->actionItem(4)->isVisible());
        rig.form->NodeClick(rig.node("A|a1"));
        QCOMPARE(rig.paths(), QStringLiteral("a1=A a2=A*1 ax=A\\x ab=AB b=B top="));
        // Delete keeps the records under "Delete"; Undo puts them back (Move, Shift and the
        // page's buttons are the engine test's).
        rig.form->runCommand(7);
        QCOMPARE(rig.paths(), QStringLiteral("a1=A a2=Delete\\A ax=A\\x ab=AB b=B top="));
        QVERIFY(rig.form->actionItem(10)->isEnabled());
        rig.form->runCommand(10);
        QCOMPARE(rig.paths(), QStringLiteral("a1=A a2=A ax=A\\x ab=AB b=B top="));
    }

    // A dropped link moves alone unless it is part of the selection, which then moves whole;
    // only folders take a drop.
    void dropMovesLikeMove()
    {
        OrganizerRig rig(kRows, frmBookmark::OrganizeMode);
        const auto drop = [&](const QString &link, const QString &onto) {
            return rig.form->dropLink(rig.node(link), rig.node(onto));
        };
        rig.form->NodeClick(rig.node("A|a1"));
        QVERIFY(!drop("B|b", "A|a2"));
        QVERIFY(drop("B|b", "A\\x"));
        QCOMPARE(rig.paths(), QStringLiteral("a1=A a2=A ax=A\\x ab=AB b=A\\x top="));
        rig.form->NodeClick(rig.node("A|a1"));
        rig.form->NodeClick(rig.node("A|a2"));
        QVERIFY(drop("A|a2", "AB"));
        QCOMPARE(rig.paths(), QStringLiteral("a1=AB a2=AB ax=A\\x ab=AB b=A\\x top="));
        QCOMPARE(rig.tree(), QStringLiteral("Favorites(top,A(x(ax,b)),AB(ab,a1,a2))"));
    }

    void downloadModeMarksWhatItLoads()
    {
        OrganizerRig rig(kRows, frmBookmark::DownloadMode);
        QStringList said;
        QObject::connect(rig.form, &frmBookmark::instruction, [&](const QString &t) { said << t; });
        // Ctrl+click takes every path that begins with the folder's, the sibling AB too.
        rig.form->ctrlClickFolder(rig.node("A"));
        QCOMPARE(rig.paths(), QStringLiteral("a1=A*3 a2=A*3 ax=A\\x*3 ab=AB*3 b=B top="));
        QCOMPARE(rig.node("AB|ab")->background(0).color(), QColor(0, 255, 255));
        QCOMPARE(said.last(), QStringLiteral("Downloading URLs"));
        // Organize Mode clears the cyan marks; closing clears the rest.
        rig.form->runCommand(0);
        rig.form->NodeClick(rig.node("B|b"));
        QCOMPARE(rig.paths(), QStringLiteral("a1=A a2=A ax=A\\x ab=AB b=B*1 top="));
        rig.form->close();
        QCOMPARE(rig.paths(), QStringLiteral("a1=A a2=A ax=A\\x ab=AB b=B top="));
    }

    void renameNewFolderAndFilter()
    {
        OrganizerRig rig(kRows, frmBookmark::OrganizeMode);
        // A and A\x change, AB does not.
        QTreeWidgetItem *a = rig.node("A");
        rig.form->popupCommand(0, a);
        a->setText(0, "C");
        rig.form->AfterLabelEdit(a, "C");
        QCOMPARE(rig.paths(), QStringLiteral("a1=C a2=C ax=C\\x ab=AB b=B top="));

        // New Folder, then a folder click: the selection is copied into it under its name.
        rig.form->NodeClick(rig.node("B|b"));
        rig.form->runCommand(3); // Copy
        rig.form->runCommand(9); // New Folder
        rig.form->NodeClick(rig.node("AB"));
        QTreeWidgetItem *made = rig.node("AB|   ");
        QVERIFY(made);
        rig.form->AfterLabelEdit(made, " New ");
        QCOMPARE(rig.paths(), QStringLiteral("a1=C a2=C ax=C\\x ab=AB b=B top= b=AB\\New"));
        QCOMPARE(rig.tree(), QStringLiteral("Favorites(top,C(a1,a2,x(ax)),AB(ab,New(b)),B(b))"));

        rig.form->ApplyTextFilter("ab");
        QCOMPARE(rig.tree(), QStringLiteral("Favorites(AB(ab,New(b)))"));
        rig.form->ApplyTextFilter("*");
        rig.form->NodeClick(rig.node("C\\x|ax"));
        rig.form->popupCommand(1, rig.node("C\\x|ax")); // Edit: the editor gets the selection
        QCOMPARE(rig.editor, QStringList{"1"});
        rig.form->popupCommand(3, rig.node("AB")); // New Favorite in a folder
        QCOMPARE(rig.editor.last(), QStringLiteral("0AB"));
        rig.form->popupCommand(7, rig.node("C\\x"));
        QVERIFY(rig.stores.rsOptions.Find("value = 'C\\x'"));
    }
};

QTEST_MAIN(TestOrganizer)
#include "test_organizer.moc"
