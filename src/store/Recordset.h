#pragma once

#include "store/Schemas.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BackgroundSaves;
class Table;

// A cursor over a store: an in-memory table with a fixed schema, loaded whole from one .skl file
// and written whole. Clones share the table; each cursor keeps its own position, filter and sort.
//
// Values as Field() returns them: Null is an invalid QVariant; integer types give int (qint64 for
// type 19); Double and Date give double (dates are day counts, see DateValue); text gives QString;
// binary gives QByteArray.
//
// Edits (SetField after AddNew or on an existing record) are held by the cursor until Update, and
// are committed implicitly by any move, filter, sort, find, save, close, clone or AddNew.
// A cursor's filter and sort are applied when set: records added later come at the end (an
// unfiltered cursor also shows those added through its clones), and edited records keep their
// place until the filter or sort is set again.
class Recordset
{
public:
    Recordset(); // closed
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;
    Recordset(Recordset &&) noexcept;
    Recordset &operator=(Recordset &&) noexcept;

    // An empty, open store in memory; `path` (may be empty) is the file Save() writes.
    static Recordset Create(const Schema &schema, const QString &path = QString());
    // Loads a whole store file; the store then belongs to that file.
    [[nodiscard]] static std::optional<Recordset> Open(const QString &path,
                                                       QString *error = nullptr);

    bool State() const; // open
    void Close();       // commits a pending edit, releases this cursor without saving
    QString path() const;
    QString lastError() const { return m_lastError; } // of the most recent failure

    // Schema
    const Schema &schema() const;
    int FieldCount() const;
    int FieldIndex(const QString &name) const; // case-insensitive; -1 when unknown

    // Current record
    QVariant Field(const QString &name) const;
    QVariant Field(int index) const;
    // Coerces the value to the field's type; false (and lastError) when the field is unknown,
    // there is no current record, or the value does not fit the type. Text longer than the
    // defined size is cut to it; binary values longer than the size are refused. Numbers are
    // rounded for integer fields and refused outside the type's range; a bool is 1 or 0; a date
    // field also takes QDateTime, QDate or text in the general date format. An invalid QVariant
    // writes Null.
    bool SetField(const QString &name, const QVariant &value);
    bool SetField(int index, const QVariant &value);

    void AddNew();
    // AddNew, set the listed fields, Update. False when a field or value is refused (the record
    // stays, with the accepted values).
    bool AddNew(const QStringList &names, const QVariantList &values);
    void Update();
    // Deletes the current record only; the next MoveNext goes to the record after it.
    bool Delete();

    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    bool isEOF() const;
    bool isBOF() const;
    int RecordCount() const; // visible under the current filter

    // Stable row id (> 0) of the current record, kept across sort, filter, save and reopen;
    // 0 without a current record.
    double Bookmark() const;
    // Makes that record current; false (position unchanged) when it is not visible.
    [[nodiscard]] bool SetBookmark(double bookmark);
    int AbsolutePosition() const; // 1-based; 0 without a current record
    [[nodiscard]] bool SetAbsolutePosition(int position);

    // Shows only the matching records, cursor on the first. An invalid expression is refused:
    // false, lastError set, filter and position unchanged. An empty expression clears the filter.
    [[nodiscard]] bool SetFilter(const QString &expression);
    void ClearFilter(); // Filter = 0
    QString Filter() const;
    // "Field [DESC|ASC], Field ..."; empty = stored order. Cursor on the first record.
    [[nodiscard]] bool SetSort(const QString &order);
    QString Sort() const;
    // One comparison, searched forward from the first visible record. True when a record
    // matched (it is current); otherwise the cursor is at EOF (lastError set when the criterion
    // was invalid).
    [[nodiscard]] bool Find(const QString &criterion);

    // The index flag ("Optimize"): equality lookups on the field become hashed.
    bool SetIndexed(const QString &field);

    // A second cursor over the same rows: no filter, stored order, on the first record.
    Recordset Clone() const;

    // Writes the records visible under the current filter, atomically, to the store's file or
    // to `path` (the store then belongs to that file).
    [[nodiscard]] bool Save();
    [[nodiscard]] bool Save(const QString &path);
    // Save() to the store's file with the waiting for the disk left to `saves`: false when the
    // rows could not be written; done says whether the file then reached its place.
    [[nodiscard]] bool SaveInBackground(BackgroundSaves &saves,
                                        std::function<void(bool ok, const QString &error)> done);

private:
    struct Cursor;
    explicit Recordset(std::shared_ptr<Table> table);
    bool fail(const QString &message) const;
    void commitPending();

    std::shared_ptr<Table> m_table;
    std::unique_ptr<Cursor> m_cursor;
    mutable QString m_lastError;
};

// Text to stand between quotes in a filter or find expression: its quotes doubled.
inline QString FilterText(QString text)
{
    return text.replace(QLatin1Char('\''), QStringLiteral("''"));
}

// Deletes every record of rs that matches filter, handing each one to visit first (when given).
// rs is left unfiltered. The number deleted, or -1 when the filter was refused.
int DeleteMatching(Recordset &rs, const QString &filter,
                   const std::function<void(const Recordset &)> &visit = {});
