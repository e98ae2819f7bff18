#pragma once

#include <QHash>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class Recordset;

// A tree of favorites drawn from their Keywords paths: the root "Favorites" ("K0"), folder nodes
// "K" + a number from one counter every tree shares, and link nodes "L" + the record's bookmark,
// so a node always leads back to its record. The widget is the caller's; this keeps the keys.
class FavoritesTree
{
public:
    explicit FavoritesTree(QTreeWidget *view);

    QTreeWidget *view() const { return m_view; }
    QTreeWidgetItem *root() const { return m_root; }
    QTreeWidgetItem *node(const QString &key) const { return m_nodes.value(key); }
    static QString key(const QTreeWidgetItem *node);
    static bool isFolder(const QTreeWidgetItem *node);
    static QString linkKey(double bookmark);

    // Removes every node and adds the root.
    void clear();
    // A folder node at `index` among the parent's children (-1: last): expanded, bold and red.
    QTreeWidgetItem *addFolder(QTreeWidgetItem *parent, const QString &text, int index = -1);
    QTreeWidgetItem *addLink(QTreeWidgetItem *parent, double bookmark, const QString &title);
    void remove(QTreeWidgetItem *node);

    // The counter the folder keys come from; opening the organizer sets it to 20000.
    static int folderCounter;

private:
    void forget(QTreeWidgetItem *node);

    QTreeWidget *m_view;
    QTreeWidgetItem *m_root = nullptr;
    QHash<QString, QTreeWidgetItem *> m_nodes;
};

// The parts of a trimmed Keywords path; an empty path has none.
QStringList KeywordParts(const QString &keywords);

// Builds the tree from the records visible under the store's filter, in store order: 0 folders
// and links, 1 folders only. Records whose whole paths match without case share a folder; the
// parts of different paths compare with case. The filter is cleared afterwards.
void BuildFavoritesTree(FavoritesTree &tree, Recordset &rsFavorites, int mode);
// Places each record marked `mark` in Selected under its folder, making missing folders in
// sorted place. The filter is cleared afterwards.
void AddMarkedRecordsToTree(FavoritesTree &tree, Recordset &rsFavorites, int mark);
// The texts of the node's ancestors below the root and its own, joined by "\"; "" for the root.
QString NodeFolderPath(const QTreeWidgetItem *node);
// Selected = 1 becomes 0 on every record.
void ClearSelection(Recordset &rsFavorites);
// The link nodes of the records with Selected = 1 get a white background again.
void UnhighlightSelectedNodes(FavoritesTree &tree, Recordset &rsFavorites);
