#pragma once

#include "platform/Document.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class dlgGen;
class QWidget;
struct AppContext;

// The notes pane of the sidebar: a text area, a row of buttons and the list of stored notes.
// The text area's text is followed through the events it sends (each carries its value) and
// through the program's own writes, so every operation works on what the user sees. The note
// being typed reaches the notes file within a second, so a killed program loses none of it.
class Notes : public QObject
{
    Q_OBJECT
public:
    // zNotes' operations.
    enum Operation {
        ButtonRow = -1,
        Fill = 0,
        NewNote = 1,
        ShowOrHide = 2,
        OpenNote = 3,
        DeleteNote = 4,
        SaveAndClose = 5,
        AppendSelection = 6,
        EditAndPrint = 11,
    };

    Notes(AppContext &ctx, QWidget *dialogParent);
    ~Notes() override;

    // The sidebar's page, where the pane lives.
    void attach(Document &pane);

    // elem: the clicked button or list entry, where the operation has one.
    void zNotes(int iFlag, const ElementSnapshot &elem = {});
    // An event of the sidebar's page; true when it belonged to the notes pane.
    bool domEvent(const DomEvent &event);
    // The popup of a list entry: 0 deletes the note of the entry it was opened on.
    void cmNotes_Click(int index);
    // The rules that keep the text area's keys and the entries' menu to the program.
    static QList<EventRule> eventRules();

    // A list entry's text: the note's first 50 characters with line breaks as blanks.
    static QString entryText(const QString &note);
    static QString entryHtml(double bookmark, const QString &note);

    bool shown() const { return m_shown; }
    QString text() const { return m_text; }
    // The record of the note in the text area; 0 for a new, unsaved note.
    double currentBookmark() const { return m_bookmark; }

    // Set by the frame: the pane was shown or hidden (its top-bar cell, the sidebar itself).
    std::function<void(bool shown)> shownChanged;
    // Set by the frame: appends the note to the research file (a right click on "nnew").
    std::function<void(const QString &note)> appendToResearch;
    // Set by the frame: shows the list entries' popup (cmNotes_).
    std::function<void()> showEntryMenu;

    // The notes reached their file (tests and benchmarks wait for it).
    Q_SIGNAL void saved();

    // A change is on disk this long after it was typed, at most (a run of keys is one save).
    static constexpr int kSaveDelayMs = 800;

private:
    void buttonClicked(const QString &id);
    // Saves the text area's note: a new record or the current one. False when there was
    // nothing to save (a blank note, no store).
    bool saveCurrentNote();
    void writeStore();
    void setText(const QString &text);
    void append(const QString &text);
    void textSeen(const QString &text);
    void scheduleSave();
    void forgetCurrent();
    void setCurrent(double bookmark);
    void deleteRecord(double bookmark);
    void toggleLinks();
    void editAndPrint();
    void caretToEnd();
    QString entryId(double bookmark) const;

    AppContext &m_ctx;
    QWidget *m_dialogParent = nullptr;
    Document *m_pane = nullptr;
    QString m_text;      // what the text area holds
    QString m_savedText; // what the current record holds
    double m_bookmark = 0;
    bool m_shown = false;
    bool m_linksShown = true;
    bool m_savePending = false;
    double m_popupBookmark = 0;
    QPointer<dlgGen> m_dialog;
};
