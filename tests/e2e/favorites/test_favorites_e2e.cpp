#include "../../unit/favorites/FavoritesTestUtil.h"
#include "../frame/SidebarEngineRig.h"

#include "favorites/frmBookmark.h"
#include "favorites/frmFavAdd.h"
#include "frame/FavoritesMenu.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>

using namespace WebHarness;

namespace {

WebEngineControl &pageOf(QWidget *window)
{
    auto *view = window->findChild<QWebEngineView *>();
    Q_ASSERT(view);
    return *WebEngineControl::fromPage(view->page());
}

QString script(WebEngineControl &c, const QString &js)
{
    return runScript(c, js, QWebEngineScript::MainWorld).toString();
}

// A field of a program page as the page has it: a value, or "checked"/"" for a box.
QString field(WebEngineControl &c, const QString &id)
{
    return script(c, QStringLiteral("(function(){var e=document.getElementById('%1');"
                                    "return e.type=='checkbox'||e.type=='radio'?"
                                    "(e.checked?'checked':''):String(e.value);})()")
                         .arg(id));
}

// A real click on a node of the tree, with the modifiers held.
void clickNode(QTreeWidget *view, QTreeWidgetItem *node,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QVERIFY(node);
    view->scrollToItem(node);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                      view->visualItemRect(node).center());
}

// Chooses an item of the next popup menu with the keys, once it is open.
void chooseInNextPopup(const QString &caption)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, caption] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *a : menu->actions())
            if (a->text() == caption)
                menu->setActiveAction(a);
        QTest::keyClick(menu, Qt::Key_Return);
        poll->deleteLater();
    });
    poll->start(20);
}

// A left click on the element, again while the condition does not hold.
bool clickUntil(WebEngineControl &c, const QString &id, const std::function<bool()> &done)
{
    return WebHarness::clickElementUntil(c, id, Qt::LeftButton, Qt::NoModifier, -1, done);
}

} // namespace

// The favorites windows on the real engine inside the program's frame: the organizer's tree
// and page, the editor's form page, form capture and window groups.
class TestFavoritesE2E : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture m_http;

    QString url(const QString &path) const { return m_http.url(path).toString(); }

    static double add(SidebarEngineRig &rig, const QString &keywords, const QString &title,
                      const QString &url)
    {
        Recordset &rs = rig.stores.rsFavorites;
        return rs.AddNew({"Keywords", "Title", "URL"}, {keywords, title, url}) ? rs.Bookmark() : 0;
    }
    // "title=Keywords" of every favorite, with "*n" for a Selected mark, from the file.
    static QString onDisk(SidebarEngineRig &rig)
    {
        auto rs = Recordset::Open(rig.stores.gsFavoritesFile);
        if (!rs)
            return QStringLiteral("no file");
        (void)rs->SetSort(QStringLiteral("Title"));
        QStringList out;
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            out << rs->Field("Title").toString() + "=" + rs->Field("Keywords").toString() +
                       (rs->Field("Selected").toInt() ? "*" + rs->Field("Selected").toString()
                                                      : QString());
        return out.join(' ');
    }
    static QVariant value(SidebarEngineRig &rig, double bookmark, const char *name)
    {
        Recordset rs = rig.stores.rsFavorites.Clone();
        return rs.SetBookmark(bookmark) ? rs.Field(QLatin1String(name)) : QVariant();
    }
    static void load(SidebarEngineRig &rig, double favorite, LoadWhere where)
    {
        LoadRequest r;
        r.source = LoadSource::Favorite;
        r.bookmark = favorite;
        r.where = where;
        (void)rig.reader->queue.LoadDocument(r);
    }
    // The editor the program opens for a menu command or a capture.
    static void provideEditor(SidebarEngineRig &rig, QPointer<frmFavAdd> &editor)
    {
        rig.ctx.dialogs.ShowFavoriteEditor = [&rig, &editor](int mode, const QString &k) {
            editor = new frmFavAdd(rig.ctx, mode, {}, k, rig.frame.get());
        };
    }
    bool loadedHere(SidebarEngineRig &rig, const QString &path, const QString &title)
    {
        (void)rig.reader->queue.LoadDocument(url(path), LoadWhere::Here);
        return waitFor([&] { return rig.frame->ActiveForm()->strDocumentTitle == title; });
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        QVERIFY(m_http.isListening());
        for (const char *name : {"a1", "a2", "a3", "a4", "ax", "ab", "b"})
            m_http.addHtml(QStringLiteral("/f/%1.htm").arg(name), QLatin1String(name), "page");
        m_http.addPage(QStringLiteral("/article.htm"),
                       "<html><head><title>Fish &amp; Chips</title>"
                       "<meta name=\"Description\" content=\"All about &quot;fish&quot;\">"
                       "<meta name=\"KEYWORDS\" content=\"fish, chips\"></head>"
                       "<body><p>Read me</p></body></html>");
        m_http.addHtml(QStringLiteral("/form.htm"), QStringLiteral("Search form"),
                       QStringLiteral("<form method=post action='/search'>"
                                      "<input name=q value='caf\u00e9 au lait'>"
                                      "<input type=hidden name=n value='2'>"
                                      "<input type=submit id=go value=Go></form>"));
        m_http.addHandler(QStringLiteral("/search"), [](const HttpFixture::Request &r) {
            HttpFixture::Response a;
            a.body = HttpFixture::html(QStringLiteral("Found"), QString::fromUtf8(r.body));
            return a;
        });
        for (int i = 1; i <= 3; ++i)
            m_http.addPage(QStringLiteral("/w%1.htm").arg(i),
                           QStringLiteral("<html><head><title>Window %1</title><meta "
                                          "name=keywords content='k%1'></head><body>%1</body>"
                                          "</html>")
                               .arg(i)
                               .toUtf8());
    }

    // Clicks, Ctrl and Shift clicks on the tree select; the page's buttons follow the
    // selection and run Move, Delete and Undo; a folder renamed by its label moves its
    // subfolders with it. Download Mode loads a clicked folder's links in the tree's order.
    void organizer()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        for (const QString row : {"A|a1", "A|a2", "A|a3", "A|a4", "A\\x|ax", "AB|ab", "B|b"}) {
            const QString title = row.section('|', 1);
            QVERIFY(add(rig, row.section('|', 0, 0), title, url("/f/" + title + ".htm")));
        }

        QPointer<frmBookmark> form =
            new frmBookmark(rig.ctx, frmBookmark::OrganizeMode, {}, rig.frame.get());
        form->show();
        QVERIFY(waitFor([&] { return form->isReady(); }));
        WebEngineControl &page = pageOf(form);
        QTreeWidget *view = form->treeView();
        // Names are unique but for the trash's copies, which come later in the tree.
        const auto node = [&](const QString &text) {
            const auto found = view->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
            return found.isEmpty() ? nullptr : found.first();
        };
        const auto disabled = [&](const char *button) {
            return script(page, QStringLiteral("String(document.getElementById('%1').disabled)")
                                    .arg(QLatin1String(button)));
        };
        const auto instruction = [&] {
            return script(page, QStringLiteral("document.getElementById('dm').innerText"));
        };
        QVERIFY(
            waitFor([&] { return instruction().startsWith("Click links or folders to select."); }));
        QCOMPARE(disabled("cb4"), QStringLiteral("true"));

        // a1, then Shift on a3 marks back to a1.
        clickNode(view, node("a1"));
        QVERIFY(waitFor([&] { return disabled("cb4") == QLatin1String("false"); }));
        clickNode(view, node("a3"), Qt::ShiftModifier);
        QVERIFY(clickUntil(page, QStringLiteral("cb4"),
                           [&] { return form->state() == frmBookmark::WaitingForMove; }));
        QVERIFY(waitFor(
            [&] { return instruction().startsWith("Click the folder that you want to move"); }));
        clickNode(view, node("B"));
        QCOMPARE(form->state(), frmBookmark::OrganizeMode);
        QCOMPARE(dump(node("B")), QStringLiteral("B(b,a1,a2,a3)"));

        // Ctrl on A takes its subfolders and the sibling AB; Delete keeps them in the trash.
        clickNode(view, node("A"), Qt::ControlModifier);
        QVERIFY(clickUntil(page, QStringLiteral("cb7"), [&] { return node("Delete") != nullptr; }));
        QCOMPARE(dump(node("Delete")), QStringLiteral("Delete(A(a4,x(ax)),AB(ab))"));
        // Undo brings them back, as the unit tests show; here its button is what counts.
        QVERIFY(
            clickUntil(page, QStringLiteral("cb10"), [&] { return node("Delete") == nullptr; }));

        // Rename from the node's menu, typed into its label.
        chooseInNextPopup(QStringLiteral("Rename"));
        QTest::mouseClick(view->viewport(), Qt::RightButton, Qt::NoModifier,
                          view->visualItemRect(node("A")).center());
        QLineEdit *label = nullptr;
        QVERIFY(waitFor([&] { return (label = view->viewport()->findChild<QLineEdit *>()); }));
        label->selectAll();
        QTest::keyClicks(label, QStringLiteral("C"));
        QTest::keyClick(label, Qt::Key_Return);
        QVERIFY(waitFor([&] { return node("C") != nullptr; }));

        // Download Mode from its button; a folder's links load in the order shown.
        QVERIFY(clickUntil(page, QStringLiteral("cb0"),
                           [&] { return form->state() == frmBookmark::DownloadMode; }));
        QVERIFY(waitFor([&] { return instruction().startsWith("Click on any number of links"); }));
        QStringList shown;
        QTreeWidgetItem *b = node("B");
        for (int i = 0; i < b->childCount(); ++i)
            shown
                << value(rig, FavoritesTree::key(b->child(i)).mid(1).toDouble(), "URL").toString();
        clickNode(view, b);
        QVERIFY(
            waitFor([&] { return instruction() == QLatin1String("Downloading all URLs in B"); }));
        QCOMPARE(rig.sessionRecords(rig.reader->log, QString(), false), shown);
        QVERIFY(waitFor([&] {
            for (const QString &u : shown)
                if (m_http.requestCount(QUrl(u).path()) != 1)
                    return false;
            return true;
        }));
        form->close();
        QVERIFY(waitFor([&] { return !form; }));
        QCOMPARE(onDisk(rig), QStringLiteral("a1=B a2=B a3=B a4=C ab=AB ax=C\\x b=B"));
        Recordset rs = rig.stores.rsFavorites.Clone();
        QVERIFY(rs.SetFilter(QStringLiteral("Keywords = 'B' AND Accesses = 1")));
        QCOMPARE(rs.RecordCount(), 4);
    }

    // Add to Favorites takes the loaded page's title, address and META texts; the schedule
    // boxes clicked are saved and read back when the favorite is edited. A form sent after
    // Set Capture becomes a favorite that sends the same POST again when it is loaded.
    void editorAndCapture()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        rig.ctx.gsAppPath = pagesPath();
        QPointer<frmFavAdd> editor;
        provideEditor(rig, editor);
        QVERIFY(loadedHere(rig, "/article.htm", "Fish & Chips"));
        QVERIFY(waitFor([&] {
            return rig.windowEngine(0).document().snapshot().metaKeywords == "fish, chips";
        }));

        rig.frame->menuItem(QStringLiteral("mnuFav_Sub(1)"))->trigger();
        QVERIFY(waitFor([&] { return editor && editor->isReady(); }));
        WebEngineControl &form = pageOf(editor);
        QCOMPARE(field(form, "title"), QStringLiteral("Fish & Chips"));
        QCOMPARE(field(form, "url"), url("/article.htm"));
        QCOMPARE(field(form, "description"), QStringLiteral("All about \"fish\""));
        QCOMPARE(field(form, "dockeywords"), QStringLiteral("fish, chips"));
        QVERIFY(clickElement(form, QStringLiteral("keywords")));
        typeText(form, QStringLiteral("News\\Local"));
        QVERIFY(waitFor([&] { return field(form, "keywords") == QLatin1String("News\\Local"); }));
        for (const char *box : {"pr2", "dw0", "dw6", "wm1"})
            QVERIFY(clickUntil(form, QLatin1String(box),
                               [&] { return field(form, box) == "checked"; }));
        QVERIFY(clickElement(form, QStringLiteral("cb0")));
        QVERIFY(waitFor([&] { return !editor; }));
        auto saved = Recordset::Open(rig.stores.gsFavoritesFile);
        QVERIFY(saved && saved->Find(QStringLiteral("Keywords = 'News\\Local'")));
        const double favorite = saved->Bookmark();
        QCOMPARE(saved->Field("Period").toInt(), 2);
        QCOMPARE(saved->Field("DayOfWeek").toInt(), 65);
        QCOMPARE(saved->Field("WeekOfMonth").toInt(), 2);
        QCOMPARE(saved->Field("Description").toString(), QStringLiteral("All about \"fish\""));

        // Loaded from the favorite, Edit This Favorite shows what was saved.
        load(rig, favorite, LoadWhere::Here);
        QVERIFY(waitFor([&] { return m_http.requestCount("/article.htm") == 2; }));
        // The window knows the favorite once the new document is there.
        QVERIFY(waitFor([&] { return rig.frame->ActiveForm()->mdFavBookmark == favorite; }));
        rig.frame->mnuFavorites_Click(); // the menu opening
        QAction *edit = rig.frame->menuItem("mnuFav_Edit(0)");
        QVERIFY(edit->isEnabled());
        edit->trigger();
        QVERIFY(waitFor([&] { return editor && editor->isReady(); }));
        WebEngineControl &again = pageOf(editor);
        // The texts and days shown back are the unit test's; period and week here.
        QCOMPARE(field(again, "keywords"), QStringLiteral("News\\Local"));
        QVERIFY(field(again, "pr2") == "checked" && field(again, "wm1") == "checked");
        QVERIFY(script(again, "document.getElementById('AdditionalInfo').innerHTML")
                    .contains(QStringLiteral("Downloads: <b>1")));
        QVERIFY(clickElement(again, QStringLiteral("cb1")));
        QVERIFY(waitFor([&] { return !editor; }));
        QCOMPARE(value(rig, favorite, "Selected").toInt(), 0);

        // Set Capture, then the form is sent with a real click.
        QVERIFY(loadedHere(rig, "/form.htm", "Search form"));
        rig.frame->menuItem(QStringLiteral("mnuFav_Sub(2)"))->trigger();
        QCOMPARE(rig.frame->StatusText(3), QStringLiteral("Capture set."));
        QVERIFY(
            clickUntil(rig.windowEngine(0), QStringLiteral("go"), [&] { return bool(editor); }));
        QVERIFY(waitFor([&] { return editor && editor->isReady(); }));
        QVERIFY(waitFor([&] { return m_http.requestCount("/search") == 1; }));
        const HttpFixture::Request sent = m_http.requests("/search").constFirst();
        QCOMPARE(sent.method, QByteArray("POST"));
        QCOMPARE(sent.body, QByteArray("q=caf%C3%A9+au+lait&n=2"));
        QCOMPARE(field(pageOf(editor), "url"), url("/search"));
        QCOMPARE(field(pageOf(editor), "postdata"), QString::fromLatin1(sent.body));
        QVERIFY(!rig.ctx.formCapture.armed);
        QVERIFY(clickElement(pageOf(editor), QStringLiteral("cb0")));
        QVERIFY(waitFor([&] { return !editor; }));
        Recordset rs = rig.stores.rsFavorites.Clone();
        QVERIFY(rs.Find(QStringLiteral("URL = '%1'").arg(url("/search"))));
        QCOMPARE(rs.Field("PostData").toByteArray(), sent.body);
        QCOMPARE(rs.Field("Extra").toString(), url("/form.htm"));

        // Loading it shows the form's page, then sends the form again.
        m_http.clearRequests();
        load(rig, rs.Bookmark(), LoadWhere::Background);
        QVERIFY(waitFor([&] { return m_http.requestCount("/search") == 1; }));
        QStringList order;
        for (const HttpFixture::Request &r : m_http.requests())
            order << r.method + ' ' + r.path;
        QVERIFY2(order.indexOf("GET /form.htm") >= 0 &&
                     order.indexOf("GET /form.htm") < order.indexOf("POST /search"),
                 qPrintable(order.join(", ")));
        QCOMPARE(m_http.requests("/search").constFirst().body, sent.body);
    }

    // The open windows saved as a group, listed in the sidebar, opened by a click there and
    // deleted from its menu.
    void windowGroups()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        QStringList pages;
        for (int i = 1; i <= 3; ++i) {
            pages << url(QStringLiteral("/w%1.htm").arg(i));
            (void)rig.reader->queue.LoadDocument(pages.last(),
                                                 i == 1 ? LoadWhere::Here : LoadWhere::Background);
        }
        QVERIFY(waitFor([&] {
            QStringList titles;
            for (int slot = 0; slot < rig.reader->pool.slotCount(); ++slot)
                if (DocumentWindow *w = rig.reader->pool.window(slot))
                    // The page's keywords come from its bridge, a moment after the title.
                    if (!w->brwWebBrowser->document().snapshot().metaKeywords.isEmpty())
                        titles << w->strDocumentTitle;
            return titles == QStringList({"Window 1", "Window 2", "Window 3"});
        }));
        rig.ctx.dialogs.AskGroupName = [](std::function<void(const QString &)> answer) {
            answer(QStringLiteral("Morning\\Read"));
        };
        rig.frame->menuItem(QStringLiteral("mnuFav_Group(0)"))->trigger();
        QStringList saved;
        auto file = Recordset::Open(rig.stores.gsFavoritesFile);
        QVERIFY(file && file->SetFilter(QStringLiteral("Keywords = '!skl\\Groups\\Morning-Read'")));
        for (file->MoveFirst(); !file->isEOF(); file->MoveNext())
            saved << file->Field("URL").toString() + ' ' + file->Field("DocKeywords").toString();
        QCOMPARE(saved, QStringList({pages[0] + " k1", pages[1] + " k2", pages[2] + " k3"}));

        rig.frame->menuItem(QStringLiteral("mnuFav_Group(1)"))->trigger();
        const auto listed = [&] {
            return rig.sidebarScript(QStringLiteral("Array.from(document.querySelectorAll('#LB "
                                                    ".gr')).map(e=>e.textContent).join('|')"));
        };
        QVERIFY(waitFor([&] { return listed() == QLatin1String("Morning-Read"); }));
        // The click needs an id to aim at.
        rig.sidebarScript(QStringLiteral("document.querySelector('#LB .gr').id='grp'; ''"));
        m_http.clearRequests();
        const int before = int(rig.sessionRecords(rig.reader->log, QString(), false).size());
        QVERIFY(clickUntil(rig.sidebarEngine(), QStringLiteral("grp"), [&] {
            return rig.sessionRecords(rig.reader->log, QString(), false).size() > before;
        }));
        QVERIFY(waitFor([&] { return m_http.requests().size() >= 3; }));
        QCOMPARE(rig.sessionRecords(rig.reader->log, QString(), false).mid(before), pages);

        QMenu *menu = rig.frame->subMenu(QStringLiteral("cmGroups_"));
        QVERIFY(clickElementUntil(rig.sidebarEngine(), QStringLiteral("grp"), Qt::RightButton,
                                  Qt::NoModifier, -1, [&] { return menu->isVisible(); }));
        menu->setActiveAction(rig.frame->menuItem(QStringLiteral("cmGroups(0)")));
        QTest::keyClick(menu, Qt::Key_Return);
        QVERIFY(waitFor([&] { return listed().isEmpty(); }));
        Recordset rs = rig.stores.rsFavorites.Clone();
        QVERIFY(rs.SetFilter(QStringLiteral("Keywords = 'Delete\\!skl\\Groups\\Morning-Read'")));
        QCOMPARE(rs.RecordCount(), 3);
    }
};

SKL_WEB_TEST_MAIN(TestFavoritesE2E)
#include "test_favorites_e2e.moc"
