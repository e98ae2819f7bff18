#include "FakeBrowserControl.h"
#include "ReaderRig.h"
#include "frame/MDIForm1.h"
#include "frame/Notes.h"
#include "frame/Pane.h"
#include "store/DateValue.h"

#include <QAction>
#include <QtTest>

namespace {

// The main frame's sidebar on the double, with the notes store in a temporary profile.
struct NotesRig
{
    ReaderRig r;
    MDIForm1 frame{r.ctx};
    Notes &notes = *frame.notes();
    Pane &pane = *frame.sidebarPane();
    FakeBrowserControl &control = static_cast<FakeBrowserControl &>(pane.control());

    NotesRig()
    {
        r.ctx.reader = &r.reader;
        r.settle();
    }
    DomNode *el(const QString &id) { return control.dom().getElementById(id); }
    QStringList entries()
    {
        QStringList out;
        for (DomNode *n : el("NoteLinks")->querySelectorAll("div.dNote"))
            out << n->innerText();
        return out;
    }
    QString area() { return el("idNote")->value(); }
    void event(DomEventType type, const QString &id, int keyCode = 0, const QString &cls = {})
    {
        DomEvent e;
        e.type = type;
        e.keyCode = keyCode;
        e.source.id = id;
        e.source.className = cls;
        e.source.value = id == QLatin1String("idNote") ? area() : QString();
        Q_EMIT pane.domEvent(e);
        r.settle();
    }
    void button(const char *id) { event(DomEventType::Click, id, 0, "notetab"); }
    // Notes in the file as "status:text", newest first.
    QStringList onDisk()
    {
        QStringList out;
        auto rs = Recordset::Open(r.stores.gsNotesFile);
        if (!rs)
            return out;
        (void)rs->SetSort("Date DESC");
        for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
            out << rs->Field("Status").toString() + ':' + rs->Field("Note").toString();
        return out;
    }
};

} // namespace

class TestNotes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The buttons' texts, the list's entries and the popup's Delete.
    void buttonsAndEntries()
    {
        NotesRig s;
        Recordset &rs = s.r.stores.rsNotes;
        const QString longNote = QStringLiteral("<b>line</b>\none\r\ntwo ") + QString(60, 'x');
        (void)rs.AddNew({"Date", "Note"}, {DateValue::now() - 1, longNote}); // no status
        (void)rs.AddNew({"Date", "Note", "Status"}, {DateValue::now() - 2, "gone", 2});
        (void)rs.AddNew({"Date", "Note", "Status"}, {DateValue::now() - 3, "older", 0});
        s.notes.zNotes(Notes::Fill);
        s.r.settle();
        QCOMPARE(s.entries(), (QStringList{"<b>line</b> one two " + QString(29, 'x'), "older"}));

        DocumentWindow *w = s.r.window(0);
        w->strDocumentTitle = QStringLiteral("Title");
        w->msURL = QStringLiteral("http://site.test/");
        s.button("ntitle");
        s.button("nreturn");
        s.button("nurl");
        QCOMPARE(s.area(), QStringLiteral("Title \nhttp://site.test/ "));
        s.r.platform.ui.fireTimers(1000);
        QCOMPARE(s.entries().first(), QStringLiteral("Title http://site.test/"));

        s.button("nlinks");
        QCOMPARE(s.el("NoteLinks")->style("display"), QStringLiteral("none"));
        QCOMPARE(s.el("nlinks")->attribute("title"), QStringLiteral("Show Note Links"));

        // The popup deletes the entry it was opened on, not the note being written.
        s.event(DomEventType::ContextMenu,
                s.el("NoteLinks")->querySelectorAll("div.dNote").last()->id(), 0, "dNote");
        s.frame.menuItem("cmNotes(0)")->trigger();
        s.r.settle();
        QCOMPARE(s.entries().size(), 2);
        QCOMPARE(s.area(), QStringLiteral("Title \nhttp://site.test/ "));

        // The exit keeps the note without a status and drops only the deleted ones.
        s.notes.zNotes(Notes::SaveAndClose);
        QCOMPARE(s.onDisk(), (QStringList{"0:Title \nhttp://site.test/", ":" + longNote}));
    }
};

QTEST_MAIN(TestNotes)
#include "test_notes.moc"
