#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class DocumentWindow;
class Recordset;
struct AppContext;

// One visited page as the history keeps it.
struct HistoryVisit
{
    QString url;
    QString title;
    QString domain;
    QString description;
    QString keywords;
};

// Whether an address may ever enter the history: web and local pages only, never "about:"
// pages, the program's own pages nor command links.
bool isHistoryUrl(const QString &url);

// One record per address: a new record, or one visit more and today's date for a known one.
// False when nothing was written (an address the history never keeps, a closed store).
bool AddHistoryVisit(Recordset &history, const HistoryVisit &visit, const QDate &today);

// The window's current document, when history is kept and the window has a visit to give
// (its add-to-history mark, cleared here). The store reaches the disk a second later.
bool RecordHistory(AppContext &ctx, DocumentWindow &w);

// Writes the history store once, about a second after the first of a run of visits.
void ScheduleHistorySave(AppContext &ctx);

// The history page in the document window.
namespace HistoryPage {

enum Sort { ByDate = 0, ByTitle = 1, ByDomain = 2, ByVisits = 3 };

inline const QString kTitle = QStringLiteral("Skimline History");
inline const QString kShowDescriptions = QStringLiteral("Show Descriptions and Keywords");
inline const QString kHideDescriptions = QStringLiteral("Hide Descriptions and Keywords");
// The menu's sort items, by sort order.
inline const QStringList kSortLabels = {
    QStringLiteral("Sort by Date"), QStringLiteral("Sort by Title"),
    QStringLiteral("Sort by Domain"), QStringLiteral("Sort by Number of Visits")};
inline const QString kShowAll = QStringLiteral("Show All History Links");
inline const QString kLocalFiles = QStringLiteral("Files on your Computer");

// "Monday, Dec 7 2026", whatever the user's language.
QString dateText(const QDate &date);
// The store's sort of a sort order.
QString sortExpression(int iSort);
// The search box's text as a filter over title, address, description and keywords.
QString filterExpression(const QString &text);
// The sidebar's history menu; the last item shows only while a filter is on.
QString menuHtml(bool filtered);
// The whole page from the records `history` shows, sorted here by iSort (its filter stays).
QString pageHtml(Recordset &history, int iSort);
// The same page in parts, for a large history: the first holds the head and the first
// firstRecords records, each further part up to partRecords more; the body is left open.
QStringList pageParts(Recordset &history, int iSort, int firstRecords, int partRecords);

} // namespace HistoryPage
