#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <optional>

class Reader;
class Recordset;
class QTableWidget;
struct AppContext;

// Saved searches: each record holds a search's address and post data with the terms of its last
// run in them, so a new run puts the new terms where the old ones were.
namespace SearchRecords {

// "Skimline Search Page": one "skl:s--" link per record, titles escaped.
[[nodiscard]] QString pageHtml(Recordset &searches);

struct Search
{
    QString url;
    QByteArray postData;
};

// The address and post data of the record's search for text (blanks become "+"): the record's
// old terms replaced, or the text appended to an address that holds none. The record keeps
// the new terms, address and post data and counts the run. Nothing for an unknown record, an
// empty text, or an address that is not http(s) (a record never runs a command or a script).
[[nodiscard]] std::optional<Search> run(Recordset &searches, double bookmark, const QString &text);

// Puts the saved searches into the running program: the Favorites menu's search page and
// editor (ctx.dialogs) and the page's "s--" links, which ask for the terms and load the search
// as a click on the page would.
void connect(AppContext &ctx, Reader &reader, QWidget *dialogParent);

} // namespace SearchRecords

// The modal editor of the saved searches: one row a record; OK writes them back and saves the
// store at once.
class SearchRecordsDialog : public QDialog
{
    Q_OBJECT
public:
    SearchRecordsDialog(Recordset &searches, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }
    // Writes the rows into the store (rows without title and address are dropped); false when
    // the store could not be written.
    bool apply();

private:
    void addRow(const QString &title, const QString &terms, const QString &url,
                const QString &postData, int frequency);

    Recordset &m_searches;
    QTableWidget *m_table;
};
