#pragma once

#include "platform/Document.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct WindowStyle;

// The markup of the sidebar's lists and the record queries behind them. Every text that comes
// from outside (titles, addresses, headings, folder and group names) is escaped here, and every
// value that enters a filter expression has its single quotes doubled.
namespace SidebarHtml {

inline const QString kPlaceholder = QStringLiteral("Search, Filter, or Highlight Textbox");
inline const QString kEmptyBoxMessage = QStringLiteral(
    "You must enter some characters in the filter box to use the Favorites or the History tab");
inline const QString kListEnd = QStringLiteral("<HR>");

// Text for an element's content or a quoted attribute value (both quote characters escaped).
QString escape(const QString &text);
// A record's bookmark as the ids and commands write it ("B12", "skl:L12").
QString bookmarkText(double bookmark);

// The list types of SidebarLinks.
namespace ListType {
inline constexpr int Current = -1;
inline constexpr int QuickLinks = 0;
inline constexpr int FavoritesFilter = 1;
inline constexpr int HistoryFilter = 2;
inline constexpr int Scheduled = 3;
inline constexpr int QuickFolders = 4;
inline constexpr int OpenWindows = 5;
inline constexpr int Feeds = 6;
} // namespace ListType

enum class ListStore { Favorites, History, Options };

struct ListQuery
{
    ListStore store = ListStore::Favorites;
    QString filter;
    QString sort;
};

// The store, filter and sort of a list type; nullopt for the open windows and unknown types.
// boxText: the search box's text (types 1 and 2).
std::optional<ListQuery> listQuery(int type, const QString &boxText);
// Types 1 and 2 need some text in the box (the placeholder does not count).
bool boxTextMissing(const QString &boxText);
// Favorites in the trash never show in a list.
bool isTrashed(const QString &keywords);

QString favoriteEntry(double bookmark, const QString &title, const QString &url);
// An entry without a title shows its address. Only web addresses are followed in the pane;
// any other address goes through the program ("skl:X"), so nothing runs inside the pane.
QString historyEntry(const QString &title, const QString &url);
QString quickFolderEntry(const QString &folder);
QString groupEntry(const QString &name);
// The distinct group names of "!skl\Groups\<name>" paths, in the order given.
QStringList groupNames(const QStringList &keywords);
inline const QString kGroupPrefix = QStringLiteral("!skl\\Groups\\");

// One heading of the current page; id: the heading's id (given one when it had none).
QString headingEntry(int level, const QString &id, const QString &text);
// The id of the n-th heading (from 1) that had none.
QString headingId(int n);

// An entry of the open-windows list in the window's colours.
QString windowEntry(int slot, const QString &title, const WindowStyle &style);
// The style properties (CSS name, value) an entry of the open-windows list carries.
QList<QPair<QString, QString>> windowStyleProperties(const WindowStyle &style);
QString queueEntry(double bookmark, const QString &title);
QString queueEntryId(double bookmark);

// The check-links menu; its commands are shown disabled while the link checker is missing.
QString checkLinksMenu(bool linkCheckerAvailable);

// A command link of the sidebar: "skl:" + one letter + its argument.
struct PaneCommand
{
    QChar code;
    QString argument;
};
std::optional<PaneCommand> parsePaneCommand(const QString &url);

} // namespace SidebarHtml
