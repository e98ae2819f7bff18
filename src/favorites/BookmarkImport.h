#pragma once

#include <QList>
#include <QString>

class Recordset;

// One bookmark read from another browser, already placed in our folder scheme.
struct ImportedBookmark
{
    QString keywords; // folder path, parts joined by "\"; "" = root
    QString title;
    QString url;
    QString description;
    double dateCreated = 0; // day count (DateValue); 0 = unknown
    bool quickLink = false; // from the bookmarks toolbar
    bool homePage = false;  // the browser's home page
};

struct BookmarkImport
{
    bool ok = false;
    QString source; // shown to the user: "Firefox", "Chromium", "Google Chrome", "bookmarks file"
    QString error;  // when !ok
    QList<ImportedBookmark> bookmarks;
};

// firefoxDir holds profiles.ini (e.g. ~/.mozilla/firefox).
BookmarkImport ReadFirefoxProfile(const QString &firefoxDir);
BookmarkImport ReadChromiumBookmarks(const QString &bookmarksJson, const QString &source);
// A Netscape-format export, as every browser writes it.
BookmarkImport ReadBookmarksHtml(const QString &htmlFile);
// The first of Firefox, Chromium and Google Chrome found under home. ok is false with an empty
// error when there is none.
BookmarkImport ReadDefaultBrowserBookmarks(const QString &home);

// Adds the bookmarks to a favorites store: quick links under "Links" flagged bfFav = 1, the home
// page at the root with Period = 1. With skipKnownUrls a URL already in the same folder is not
// added again. Returns how many were added; the cursor is left unfiltered.
int AddImportedBookmarks(Recordset &rsFavorites, const QList<ImportedBookmark> &list,
                         bool skipKnownUrls);
