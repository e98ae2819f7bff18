#include "frame/Notes.h"

#include "frame/PanePages.h"
#include "frame/SidebarHtml.h"
#include "frame/dlgGen.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/DateValue.h"
#include "store/Stores.h"

#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QLocale>

namespace {
const QString kTextArea = QStringLiteral("idNote");
const QString kContainer = QStringLiteral("Notes");
const QString kLinks = QStringLiteral("NoteLinks");
const QString kCurrentEntry = QStringLiteral("#eeeeee");
const QString kPrintError = QStringLiteral("There was an error with printing. Make sure that it "
                                           "is turned on and connected to the printer.");
constexpr int kDeleted = 2;
constexpr int kF2 = 113;
constexpr int kEscape = 27;

bool hasClass(const ElementSnapshot &e, const QString &name)
{
    return e.className.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(name);
}

// The record of a list entry ("n12"), or 0.
double entryBookmark(const QString &id)
{
    if (!id.startsWith(QLatin1Char('n')))
        return 0;
    bool ok = false;
    const double b = id.mid(1).toDouble(&ok);
    return ok ? b : 0;
}
} // namespace

Notes::Notes(AppContext &ctx, QWidget *dialogParent) : m_ctx(ctx), m_dialogParent(dialogParent)
{}

Notes::~Notes()
{
    if (m_dialog)
        delete m_dialog.data();
}

void Notes::attach(Document &pane)
{
    m_pane = &pane;
}

QList<EventRule> Notes::eventRules()
{
    // F2 and Escape in the text area are the pane's: no reading command sees them.
    QList<EventRule> rules;
    for (int key : {kF2, kEscape}) {
        EventRule r;
        r.type = DomEventType::KeyDown;
        r.selector = QStringLiteral("#idNote");
        r.keyCode = key;
        rules << r;
    }
    // A right click on the new-note button appends the note to the research file.
    EventRule research;
    research.type = DomEventType::ContextMenu;
    research.selector = QStringLiteral("#nnew");
    rules << research;
    return rules;
}

QString Notes::entryText(const QString &note)
{
    QString text = note.left(50);
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString Notes::entryHtml(double bookmark, const QString &note)
{
    return QStringLiteral("<div class=dNote id=n") + SidebarHtml::bookmarkText(bookmark) +
           QLatin1Char('>') + SidebarHtml::escape(entryText(note)) + QStringLiteral("</div>");
}

QString Notes::entryId(double bookmark) const
{
    return QStringLiteral("n") + SidebarHtml::bookmarkText(bookmark);
}

// ---------------------------------------------------------------------------------------------
// Events

bool Notes::domEvent(const DomEvent &event)
{
    const ElementSnapshot &src = event.source;
    if (src.id == kTextArea) {
        // Only the user's edits: a key event can still carry the text from before a write
        // of the program's that the page has not applied yet.
        if (event.type == DomEventType::Input) {
            textSeen(src.value);
        } else if (event.type == DomEventType::KeyDown && event.keyCode == kF2) {
            zNotes(NewNote);
        } else if (event.type == DomEventType::KeyDown && event.keyCode == kEscape) {
            // A fresh note; the one before stays as it was last saved.
            forgetCurrent();
            setText(QString());
        } else if (event.type == DomEventType::DblClick) {
            setText(QString());
        } else {
            return false; // the sidebar's keys (Alt+arrows) work here too
        }
        return true;
    }
    if (hasClass(src, QStringLiteral("notetab"))) {
        if (event.type == DomEventType::Click)
            zNotes(ButtonRow, src);
        else if (event.type == DomEventType::ContextMenu && src.id == QLatin1String("nnew") &&
                 appendToResearch)
            appendToResearch(m_text);
        return true;
    }
    if (hasClass(src, QStringLiteral("dNote"))) {
        if (event.type == DomEventType::Click) {
            zNotes(OpenNote, src);
        } else if (event.type == DomEventType::ContextMenu) {
            m_popupBookmark = entryBookmark(src.id);
            if (showEntryMenu)
                showEntryMenu();
        }
        return true;
    }
    return false;
}

void Notes::textSeen(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    scheduleSave();
}

void Notes::scheduleSave()
{
    if (!m_ctx.ui) {
        if (saveCurrentNote())
            writeStore();
        return;
    }
    // One save for a run of keys, at most a little less than a second after the first.
    if (m_savePending)
        return;
    m_savePending = true;
    (void)m_ctx.ui->singleShot(kSaveDelayMs, this, [this] {
        m_savePending = false;
        if (saveCurrentNote())
            writeStore();
    });
}

// ---------------------------------------------------------------------------------------------
// Operations

void Notes::zNotes(int iFlag, const ElementSnapshot &elem)
{
    if (!m_ctx.stores || !m_ctx.stores->rsNotes.State())
        return;
    Recordset &rs = m_ctx.stores->rsNotes;
    if (iFlag == SaveAndClose) {
        (void)saveCurrentNote();
        // Deleted notes leave the file now; until the exit they were only marked.
        rs.ClearFilter();
        if (DeleteMatching(rs, QStringLiteral("Status = 2")) < 0 || !rs.Save())
            m_ctx.errorLog.LogError(rs.lastError(), StoreLog::FinalUnload);
        rs.Close();
        return;
    }
    if (!m_pane)
        return;
    switch (iFlag) {
    case ButtonRow:
        buttonClicked(elem.id);
        return; // each button places the caret itself
    case Fill: {
        QString html;
        Recordset all = rs.Clone();
        (void)all.SetSort(rs.Sort());
        for (all.MoveFirst(); !all.isEOF(); all.MoveNext()) {
            if (all.Field(QStringLiteral("Status")).toInt() != kDeleted)
                html += entryHtml(all.Bookmark(), all.Field(QStringLiteral("Note")).toString());
        }
        m_pane->insertAdjacentHTML(kLinks, QStringLiteral("beforeEnd"), html);
        return;
    }
    case NewNote:
        if (saveCurrentNote())
            writeStore();
        forgetCurrent();
        setText(QString());
        break;
    case ShowOrHide:
        m_shown = !m_shown;
        m_pane->setStyle(kContainer, QStringLiteral("display"),
                         m_shown ? QStringLiteral("block") : QStringLiteral("none"));
        if (shownChanged)
            shownChanged(m_shown);
        if (!m_shown)
            return;
        break;
    case OpenNote: {
        const double b = entryBookmark(elem.id);
        if (b == 0 || b == m_bookmark)
            break;
        if (m_text.trimmed() != m_savedText && saveCurrentNote())
            writeStore();
        if (!rs.SetBookmark(b))
            return;
        const QString note = rs.Field(QStringLiteral("Note")).toString();
        setCurrent(b);
        m_savedText = note;
        setText(note);
        break;
    }
    case DeleteNote:
        if (m_bookmark != 0)
            deleteRecord(m_bookmark);
        forgetCurrent();
        setText(QString());
        break;
    case AppendSelection: {
        const QString selection =
            m_ctx.reader ? m_ctx.reader->nav.gsSelectedText.trimmed() : QString();
        if (selection.isEmpty())
            return;
        if (!m_shown)
            zNotes(ShowOrHide);
        // Excerpts stay apart from what the note held before.
        const bool joined = m_text.isEmpty() || m_text.back().isSpace();
        append(joined ? selection : QStringLiteral("\n") + selection);
        break;
    }
    case EditAndPrint:
        editAndPrint();
        return;
    default:
        return;
    }
    caretToEnd();
}

void Notes::buttonClicked(const QString &id)
{
    DocumentWindow *w = m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
    if (id == QLatin1String("ndate")) {
        append(QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    } else if (id == QLatin1String("ntitle")) {
        if (w)
            append(w->strDocumentTitle + QLatin1Char(' '));
    } else if (id == QLatin1String("nurl")) {
        if (w)
            append(w->msURL + QLatin1Char(' '));
    } else if (id == QLatin1String("nreturn")) {
        append(QStringLiteral("\n"));
    } else if (id == QLatin1String("nlinks")) {
        toggleLinks();
        return;
    } else if (id == QLatin1String("nnew")) {
        zNotes(NewNote);
        return;
    } else if (id == QLatin1String("ncopy")) {
        m_pane->selectText(kTextArea);
        if (QClipboard *clipboard = QGuiApplication::clipboard())
            clipboard->setText(m_text);
        return;
    } else if (id == QLatin1String("ndel")) {
        zNotes(DeleteNote);
        return;
    } else if (id == QLatin1String("nprint")) {
        zNotes(EditAndPrint);
        return;
    } else {
        return;
    }
    caretToEnd();
}

void Notes::cmNotes_Click(int index)
{
    if (index != 0 || m_popupBookmark == 0)
        return;
    // The entry the menu was opened on, which need not be the note in the text area.
    if (m_popupBookmark == m_bookmark) {
        zNotes(DeleteNote);
    } else {
        deleteRecord(m_popupBookmark);
    }
    m_popupBookmark = 0;
}

bool Notes::saveCurrentNote()
{
    if (!m_ctx.stores || !m_ctx.stores->rsNotes.State())
        return false;
    const QString text = m_text.trimmed();
    if (text.isEmpty() || (m_bookmark != 0 && text == m_savedText))
        return false;
    Recordset &rs = m_ctx.stores->rsNotes;
    rs.ClearFilter();
    if (m_bookmark != 0 && rs.SetBookmark(m_bookmark)) {
        (void)rs.SetField(QStringLiteral("Date"), DateValue::now());
        (void)rs.SetField(QStringLiteral("Note"), text);
        rs.Update();
        if (m_pane)
            m_pane->setInnerText(entryId(m_bookmark), entryText(text));
    } else {
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Date"), DateValue::now());
        (void)rs.SetField(QStringLiteral("Status"), 0);
        (void)rs.SetField(QStringLiteral("Note"), text);
        rs.Update();
        const double b = rs.Bookmark();
        if (m_pane)
            m_pane->insertAdjacentHTML(kLinks, QStringLiteral("afterBegin"), entryHtml(b, text));
        setCurrent(b);
    }
    m_savedText = text;
    return true;
}

void Notes::writeStore()
{
    if (!m_ctx.stores || !m_ctx.stores->rsNotes.State())
        return;
    Recordset all = m_ctx.stores->rsNotes.Clone();
    if (!all.Save()) {
        m_ctx.errorLog.LogError(all.lastError(), QStringLiteral(" Saving Notes"));
        return;
    }
    Q_EMIT saved();
}

void Notes::deleteRecord(double bookmark)
{
    Recordset &rs = m_ctx.stores->rsNotes;
    rs.ClearFilter();
    if (!rs.SetBookmark(bookmark))
        return;
    (void)rs.SetField(QStringLiteral("Status"), kDeleted);
    rs.Update();
    m_pane->setOuterHTML(entryId(bookmark), QString());
    writeStore();
}

void Notes::setText(const QString &text)
{
    m_text = text;
    m_pane->setValue(kTextArea, text);
}

void Notes::append(const QString &text)
{
    setText(m_text + text);
    scheduleSave();
}

void Notes::forgetCurrent()
{
    setCurrent(0);
    m_savedText.clear();
}

void Notes::setCurrent(double bookmark)
{
    if (!m_pane) {
        m_bookmark = bookmark;
        return;
    }
    if (m_bookmark != 0)
        m_pane->setStyle(entryId(m_bookmark), QStringLiteral("background-color"), QString());
    m_bookmark = bookmark;
    if (bookmark != 0)
        m_pane->setStyle(entryId(bookmark), QStringLiteral("background-color"), kCurrentEntry);
}

void Notes::toggleLinks()
{
    m_linksShown = !m_linksShown;
    m_pane->setStyle(kLinks, QStringLiteral("display"),
                     m_linksShown ? QStringLiteral("block") : QStringLiteral("none"));
    m_pane->setInnerText(QStringLiteral("nlinks"),
                         QString::fromUtf16(m_linksShown ? PanePages::kNoteLinksShown
                                                         : PanePages::kNoteLinksHidden));
    m_pane->setAttribute(QStringLiteral("nlinks"), QStringLiteral("title"),
                         m_linksShown ? QStringLiteral("Hide Note Links")
                                      : QStringLiteral("Show Note Links"));
}

void Notes::editAndPrint()
{
    if (m_dialog)
        return;
    m_dialog = dlgGen::create(m_ctx, m_dialogParent, m_text.trimmed());
    if (!m_dialog) {
        if (m_ctx.ui)
            (void)m_ctx.ui->messageBox(kPrintError, QStringLiteral("Skimline"), MessageButtons::Ok,
                                       MessageIcon::Warning);
        return;
    }
    connect(m_dialog, &dlgGen::textReturned, this, [this](const QString &text) {
        if (!m_pane)
            return;
        setText(text);
        scheduleSave();
        caretToEnd();
    });
    m_dialog->open();
}

void Notes::caretToEnd()
{
    // The engine puts the caret after a written value; focusing keeps it there.
    m_pane->focus(kTextArea);
}
