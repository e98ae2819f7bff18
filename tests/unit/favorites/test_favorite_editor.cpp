#include "../reader/ReaderRig.h"
#include "favorites/FavoriteForm.h"
#include "favorites/frmFavAdd.h"

#include <QAction>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString kActive = QStringLiteral("http://site.test/a.htm");

// The editor over the reading workflow's double, its window 0 showing kActive.
struct EditorRig : ReaderRig
{
    EditorRig()
    {
        ctx.reader = &reader;
        ctx.gsAppPath = qEnvironmentVariable("SKIMLINE_PAGES");
        platform.web.servePage(
            kActive, QStringLiteral("<html><head><title>A &amp; B</title>"
                                    "<meta name=Description content='About &lt;a&gt;'>"
                                    "<meta name=KEYWORDS content='k1, k2'></head><body>"
                                    "<a id=skl-atf href='/feed.xml'>add</a></body></html>"));
        (void)control(0)->navigate(QUrl(kActive));
        settle();
    }
    ~EditorRig() { delete editor.data(); }

    void open(int mode, const QString &keywords = {})
    {
        frmFavAdd::Hooks hooks;
        hooks.closed = [this] { ++closedCount; };
        editor = new frmFavAdd(ctx, mode, hooks, keywords);
        settle();
    }
    FakeBrowserControl *page() const { return platform.browsers.last(); }
    DomNode *el(const char *id) const { return page()->dom().getElementById(QLatin1String(id)); }
    QString value(const char *id) const { return el(id)->value(); }
    void click(const char *id)
    {
        QVERIFY(page()->click(QString::fromLatin1(id)));
        settle();
    }
    bool gone()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return editor.isNull();
    }
    double add(const QString &keywords, const QString &title, int selected)
    {
        Recordset &rs = stores.rsFavorites;
        (void)rs.AddNew(
            {QStringLiteral("Keywords"), QStringLiteral("Title"), QStringLiteral("Selected")},
            {keywords, title, selected});
        return rs.Bookmark();
    }
    QVariant field(double bookmark, const char *name)
    {
        Recordset rs = stores.rsFavorites.Clone();
        return rs.SetBookmark(bookmark) ? rs.Field(QString::fromLatin1(name)) : QVariant();
    }

    QPointer<frmFavAdd> editor;
    int closedCount = 0;
};

} // namespace

class TestFavoriteEditor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void newFavoriteFromTheActiveWindowIsSavedAtOnce()
    {
        EditorRig rig;
        rig.open(0, QStringLiteral("News\\Local"));
        QVERIFY(rig.editor && rig.editor->isReady());
        QCOMPARE(rig.value("keywords"), QStringLiteral("News\\Local"));
        QCOMPARE(rig.value("description"), QStringLiteral("About <a>"));

        rig.el("notes")->setValue(QStringLiteral("typed"));
        rig.page()->doubleClick(QStringLiteral("notes"));
        rig.settle();
        QCOMPARE(rig.value("notes"), QString());
        // The page's texts and the schedule's boxes are the engine test's; here the rest.
        for (const char *box : {"ap0", "ap1"})
            rig.el(box)->setChecked(true);
        rig.el("postdata")->setValue(QStringLiteral("q=caf\u00e9&x=\u00ff"));
        rig.click("cb0");
        QVERIFY(rig.gone());
        QVERIFY(!rig.ctx.gbTextEntry);
        QCOMPARE(rig.closedCount, 1);

        Recordset rs = rig.stores.rsFavorites.Clone();
        QVERIFY(rs.SetFilter(QStringLiteral("Selected = 4")));
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.Field("Title").toString(), QStringLiteral("A & B"));
        QCOMPARE(rs.Field("Keywords").toString(), QStringLiteral("News\\Local"));
        QCOMPARE(rs.Field("bfFav").toInt(), 3);
        QCOMPARE(rs.Field("PostData").toByteArray(), QByteArray("q=caf\xe9&x=\xff"));
        QVERIFY(rs.Field("DateCreated").toDouble() > 0);
        const auto onDisk = Recordset::Open(rig.stores.rsFavorites.path());
        QVERIFY(onDisk && onDisk->RecordCount() == 1);
    }

    void formAndRecordMapping()
    {
        QByteArray every;
        for (int b = 0; b < 256; ++b)
            every.append(char(b));
        QCOMPARE(PostDataBytes(PostDataText(every)), every);
        QCOMPARE(PostDataBytes(QStringLiteral("\u20ac")), QByteArray("\xe2\x82\xac"));

        Recordset rs = Recordset::Create(FavoritesSchema());
        rs.AddNew();
        FavoriteFormValues f;
        QVERIFY(WriteFormToRecord(f, rs).isEmpty());
        QVERIFY(!rs.Field("PostData").isValid()); // empty form data is no form data
        f.period = 3;
        f.days[1] = f.days[5] = f.weeks[3] = f.quickLink = true;
        f.headers = QStringLiteral("Referer: x");
        QVERIFY(WriteFormToRecord(f, rs).isEmpty());
        rs.Update();
        QCOMPARE(rs.Field("bfFav").toInt(), 1);
        const FavoriteFormValues back = FormFromRecord(rs);
        QVERIFY(back.days == f.days && back.weeks == f.weeks && back.period == 3);
        QVERIFY(back.quickLink && !back.feed && back.headers == f.headers);

        // Too much form data for the store is reported, not dropped unseen.
        f.postData = QString(5000, QLatin1Char('a'));
        const QStringList refused = WriteFormToRecord(f, rs);
        QCOMPARE(refused.size(), 1);
        QVERIFY(refused.first().startsWith(QStringLiteral("PostData")));
    }

    void editModeMovesThroughTheSelectedRecords()
    {
        EditorRig rig;
        const double a = rig.add(QStringLiteral("F"), QStringLiteral("A"), 1);
        const double b = rig.add(QStringLiteral("F"), QStringLiteral("B"), 1);
        const double c = rig.add(QStringLiteral("G"), QStringLiteral("C"), 1);
        rig.add(QStringLiteral("F"), QStringLiteral("D"), 0);
        QVERIFY(rig.stores.rsFavorites.SetBookmark(a));
        (void)rig.stores.rsFavorites.SetField(QStringLiteral("DayOfWeek"), 65);
        rig.stores.rsFavorites.Update();
        rig.open(1);
        QVERIFY(rig.editor && rig.editor->isReady());
        QCOMPARE(rig.value("title"), QStringLiteral("A"));
        QVERIFY(rig.el("dw0")->checked() && rig.el("dw6")->checked() && !rig.el("dw1")->checked());
        QCOMPARE(rig.el("RecNav")->style(QStringLiteral("display")), QStringLiteral("block"));
        auto *tree = rig.editor->findChild<QTreeWidget *>(QStringLiteral("FavAddTV"));
        QCOMPARE(tree->topLevelItem(0)->child(0)->childCount(), 2); // F: A, B; D is not edited

        rig.el("title")->setValue(QStringLiteral("A2"));
        rig.click("RN2");
        QCOMPARE(rig.field(a, "Title").toString(), QStringLiteral("A2"));
        QCOMPARE(rig.editor->bookmark(), b);
        rig.click("RN3");
        rig.click("RN2");
        QCOMPARE(rig.editor->bookmark(), c);
        QCOMPARE(rig.value("title"), QStringLiteral("C"));
        rig.editor->findChild<QAction *>(QStringLiteral("mnuAct0"))->trigger();
        rig.settle();
        QCOMPARE(rig.value("title"), QStringLiteral("A2"));

        rig.click("cb3"); // the first goes: its neighbour takes its place
        QCOMPARE(rig.field(a, "Keywords").toString(), QStringLiteral("Delete\\F"));
        QCOMPARE(rig.field(a, "Selected").toInt(), 0);
        QCOMPARE(rig.editor->bookmark(), b);
        rig.click("RN3");
        rig.click("cb3"); // the last goes: the new last
        QCOMPARE(rig.editor->bookmark(), b);
        QCOMPARE(rig.el("RecNav")->style(QStringLiteral("display")), QStringLiteral("none"));
        rig.click("cb3");
        QVERIFY(rig.gone());
        QCOMPARE(rig.field(b, "Keywords").toString(), QStringLiteral("Delete\\F"));
        QCOMPARE(rig.field(c, "Keywords").toString(), QStringLiteral("Delete\\G"));
    }

    void editorThatCannotOpenTellsWhy()
    {
        EditorRig rig;
        rig.open(1);
        QVERIFY(rig.gone());
        QCOMPARE(rig.platform.ui.messageTexts(),
                 QStringList{QStringLiteral("No records have been selected to edit.")});

        QTemporaryDir empty;
        rig.ctx.gsAppPath = empty.path();
        rig.open(0);
        QVERIFY(rig.gone());
        QVERIFY(
            rig.platform.ui.messageTexts().last().startsWith(QStringLiteral("Error: Missing ")));
        QFile log(rig.ctx.errorLog.path());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().contains("Missing " + empty.path().toUtf8()));
    }

    void addressFromACaptureOrAFeedPage()
    {
        EditorRig rig;
        rig.ctx.formCapture.armed = true;
        CaptureFormSubmission(rig.ctx, QStringLiteral("http://site.test/find"), "q=\xe9t\xe9",
                              QStringLiteral("Referer: r"), QStringLiteral("http://site.test/f"));
        rig.open(0);
        QCOMPARE(rig.value("url"), QStringLiteral("http://site.test/find"));
        QCOMPARE(rig.value("postdata"), QStringLiteral("q=\u00e9t\u00e9"));
        QVERIFY(!rig.ctx.formCapture.pending && !rig.ctx.formCapture.armed);
        rig.click("cb2"); // saved, and the form is empty for the next one
        QCOMPARE(rig.value("url"), QString());
        QCOMPARE(rig.editor->bookmark(), 0.0);
        Recordset rs = rig.stores.rsFavorites.Clone();
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.Field("PostData").toByteArray(), QByteArray("q=\xe9t\xe9"));
        QCOMPARE(rs.Field("Headers").toString(), QStringLiteral("Referer: r"));
        QCOMPARE(rs.Field("Extra").toString(), QStringLiteral("http://site.test/f"));
        rig.click("cb1");
        QVERIFY(rig.gone());

        rig.open(3);
        QCOMPARE(rig.value("url"), QStringLiteral("http://site.test/feed.xml"));
        QVERIFY(rig.el("ap1")->checked() && !rig.el("ap0")->checked());
    }
};

QTEST_MAIN(TestFavoriteEditor)
#include "test_favorite_editor.moc"
