#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class MDIForm1;
class QMenu;
class Reader;
struct AppContext;

// The Favorites menu's commands on the store and the open windows: saved window groups (their
// submenu, saving, opening), deleting the favorite the active window came from, and the command
// links that delete a favorite or open a folder's shortcut files.
class FavoritesMenu : public QObject
{
    Q_OBJECT
public:
    FavoritesMenu(AppContext &ctx, MDIForm1 &frame);
    ~FavoritesMenu() override;
    // "lwg" and "dbm": the reading workflow comes after the frame.
    void registerCommandLinks(Reader &reader);

    // Asks for a name and saves every open window that has an address under it.
    void saveOpenWindowsAsGroup();
    // Adds the records of one group; "\" in the name becomes "-". The number of records added.
    int saveGroup(const QString &name);
    // The group names after the submenu's first two items (menu order by path).
    void rebuildGroupsMenu();
    void deleteThisFavorite();
    // The favorite editor: 0 new, 1 the selected favorites, 3 a feed page's.
    void openEditor(int mode, const QString &keywords = QString());
    // Marks the favorite selected and edits it.
    void editFavorite(double bookmark);
    // The shortcut files of a local folder, loaded in name order. How many were loaded.
    int openUrlFilesInFolder(const QString &folder);

private:
    QMenu *groupsMenu() const;

    AppContext &m_ctx;
    MDIForm1 &m_frame;
};

// The addresses of the ".url" files of a folder, in name order; files without one are left out.
QStringList UrlFilesInFolder(const QString &folder);
