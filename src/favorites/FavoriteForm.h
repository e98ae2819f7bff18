#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

class Document;
class Recordset;
struct ElementSnapshot;

// The favorite editor's fields as the page holds them: text as typed, boxes as ticked.
struct FavoriteFormValues
{
    QString keywords;
    QString title;
    QString url;
    QString description;
    QString docKeywords;
    QString notes;
    QString postData;            // one character per stored byte
    int period = 0;              // the ticked one of pr0..pr3
    std::array<bool, 7> days{};  // dw0 (Sunday) .. dw6
    std::array<bool, 4> weeks{}; // wm0 .. wm3
    bool quickLink = false;      // ap0
    bool feed = false;           // ap1
    // Not in the page: carried from the record and back.
    QString headers;
    QString extra;
};

// The current record's fields as the form shows them.
FavoriteFormValues FormFromRecord(const Recordset &rs);
// Writes the form into the current record (not updated). Returns the fields the store refused,
// each with its reason; the others are written.
[[nodiscard]] QStringList WriteFormToRecord(const FavoriteFormValues &form, Recordset &rs);

// The stored bytes as text, one character per byte, and back. Characters beyond one byte (typed
// by hand) go out as UTF-8, as a browser would send them.
QString PostDataText(const QByteArray &bytes);
QByteArray PostDataBytes(const QString &text);

// The read-only "AdditionalInfo" block of the current record, its values escaped.
QString AdditionalInfoHtml(const Recordset &rs);

// The page's side: its inputs and text areas as queried, and the writes that show a form.
FavoriteFormValues FormFromPage(const QList<ElementSnapshot> &fields);
void WriteFormToPage(const FavoriteFormValues &form, Document &page);
