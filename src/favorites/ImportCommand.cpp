#include "favorites/ImportCommand.h"

#include "favorites/BookmarkImport.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "store/ErrorLog.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <QDir>

QString ImportResultText(const BookmarkImport &found, int added)
{
    if (!found.ok)
        return found.error;
    if (added == 1)
        return QStringLiteral("1 bookmark imported from %1.").arg(found.source);
    return QStringLiteral("%1 bookmarks imported from %2.").arg(added).arg(found.source);
}

QString ImportFirstRunBookmarks(Recordset &rsFavorites, const QString &userHome, ErrorLog &log)
{
    const BookmarkImport found = ReadDefaultBrowserBookmarks(userHome);
    if (!found.ok) {
        if (!found.error.isEmpty())
            log.LogError(found.error, QStringLiteral(" Importing Bookmarks"));
        return found.error;
    }
    return ImportResultText(found, AddImportedBookmarks(rsFavorites, found.bookmarks, false));
}

QString ImportBookmarksCommand(AppContext &ctx)
{
    if (!ctx.ui || !ctx.stores || !ctx.stores->rsFavorites.State())
        return QString();
    BookmarkImport found = ReadDefaultBrowserBookmarks(ctx.folders.userHome);
    bool fromBrowser = false;
    if (found.ok) {
        const MessageResult answer = ctx.ui->messageBox(
            QStringLiteral("Import the bookmarks of %1 (%2 found)?\n\nChoose No to import a "
                           "bookmarks file (HTML) instead.")
                .arg(found.source)
                .arg(found.bookmarks.size()),
            QStringLiteral("Import Bookmarks"), MessageButtons::YesNoCancel, MessageIcon::Question);
        if (answer == MessageResult::Cancel)
            return QString();
        fromBrowser = answer == MessageResult::Yes;
    }
    if (!fromBrowser) {
        const auto file =
            ctx.ui->openFileName(QStringLiteral("Import Bookmarks"), ctx.folders.userHome,
                                 QStringLiteral("Bookmarks files (*.htm *.html);;"
                                                "All files (*)"));
        if (!file)
            return QString();
        found = ReadBookmarksHtml(*file);
    }
    if (!found.ok) {
        ctx.ui->messageBox(found.error, QStringLiteral("Import Bookmarks"), MessageButtons::Ok,
                           MessageIcon::Warning);
        return found.error;
    }
    Recordset rs = ctx.stores->rsFavorites.Clone();
    const int added = AddImportedBookmarks(rs, found.bookmarks, true);
    if (added > 0 && !rs.Save())
        ctx.errorLog.LogError(rs.lastError(), QStringLiteral(" Saving Favorites"));
    return ImportResultText(found, added);
}
