#pragma once

#include <QString>

class ErrorLog;
class Recordset;
struct AppContext;
struct BookmarkImport;

// What the user is told of an import: how many came from where, or why none did.
QString ImportResultText(const BookmarkImport &found, int added);

// The first start: the bookmarks of the browser used before, when one is found under the home
// folder. Returns the status text ("" when there was nothing to import); a damaged source is
// logged and imports nothing.
QString ImportFirstRunBookmarks(Recordset &rsFavorites, const QString &userHome, ErrorLog &log);

// File > Import Bookmarks...: from the browser found (when the user wants it) or a bookmarks
// file the user picks; addresses already in their folder are not added again. The store is
// written at once. Returns the status text; "" when the user cancelled.
QString ImportBookmarksCommand(AppContext &ctx);
