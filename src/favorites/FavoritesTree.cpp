#include "favorites/FavoritesTree.h"

#include "store/Recordset.h"

#include <QBrush>
#include <QFont>
#include <QTreeWidget>

int FavoritesTree::folderCounter = 0;

namespace {

constexpr int kKeyRole = Qt::UserRole + 1;

void styleFolder(QTreeWidgetItem *item)
{
    QFont font = item->font(0);
    font.setBold(true);
    item->setFont(0, font);
    item->setForeground(0, QBrush(Qt::red));
}

} // namespace

FavoritesTree::FavoritesTree(QTreeWidget *view) : m_view(view)
{}

QString FavoritesTree::key(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kKeyRole).toString() : QString();
}

bool FavoritesTree::isFolder(const QTreeWidgetItem *node)
{
    return key(node).startsWith(QLatin1Char('K'));
}

QString FavoritesTree::linkKey(double bookmark)
{
    return QStringLiteral("L") + QString::number(bookmark, 'g', 17);
}

void FavoritesTree::clear()
{
    m_view->clear();
    m_nodes.clear();
    m_root = new QTreeWidgetItem(m_view, QStringList{QStringLiteral("Favorites")});
    m_root->setData(0, kKeyRole, QStringLiteral("K0"));
    styleFolder(m_root);
    m_nodes.insert(QStringLiteral("K0"), m_root);
    m_root->setExpanded(true);
}

QTreeWidgetItem *FavoritesTree::addFolder(QTreeWidgetItem *parent, const QString &text, int index)
{
    const QString k = QStringLiteral("K") + QString::number(++folderCounter);
    auto *item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kKeyRole, k);
    styleFolder(item);
    if (index < 0 || index >= parent->childCount())
        parent->addChild(item);
    else
        parent->insertChild(index, item);
    item->setExpanded(true);
    m_nodes.insert(k, item);
    return item;
}

QTreeWidgetItem *FavoritesTree::addLink(QTreeWidgetItem *parent, double bookmark,
                                        const QString &title)
{
    const QString k = linkKey(bookmark);
    auto *item = new QTreeWidgetItem(parent, QStringList{title});
    item->setData(0, kKeyRole, k);
    m_nodes.insert(k, item);
    return item;
}

void FavoritesTree::forget(QTreeWidgetItem *node)
{
    for (int i = 0; i < node->childCount(); ++i)
        forget(node->child(i));
    m_nodes.remove(key(node));
}

void FavoritesTree::remove(QTreeWidgetItem *node)
{
    if (!node || node == m_root)
        return;
    forget(node);
    delete node;
}

QStringList KeywordParts(const QString &keywords)
{
    const QString path = keywords.trimmed();
    return path.isEmpty() ? QStringList() : path.split(QLatin1Char('\\'));
}

void BuildFavoritesTree(FavoritesTree &tree, Recordset &rs, int mode)
{
    QTreeWidget *view = tree.view();
    view->setUpdatesEnabled(false);
    tree.clear();
    QStringList previous;
    // The folder node of each part of the previous path. Climbing by text, as one could, would
    // stop at a deeper folder of the same name (A\A\x, then A\y).
    QList<QTreeWidgetItem *> folders;
    rs.MoveFirst();
    while (!rs.isEOF()) {
        const QString keywords = rs.Field(QStringLiteral("Keywords")).toString().trimmed();
        const QStringList parts = KeywordParts(keywords);
        qsizetype i = 0;
        while (i < parts.size() && i < previous.size() && parts[i] == previous[i])
            ++i;
        folders.resize(i);
        for (qsizetype j = i; j < parts.size(); ++j)
            folders.append(tree.addFolder(j == 0 ? tree.root() : folders[j - 1], parts[j]));
        QTreeWidgetItem *folder = folders.isEmpty() ? tree.root() : folders.last();
        do {
            if (mode == 0)
                tree.addLink(folder, rs.Bookmark(),
                             rs.Field(QStringLiteral("Title")).toString().trimmed());
            rs.MoveNext();
        } while (!rs.isEOF() && rs.Field(QStringLiteral("Keywords"))
                                        .toString()
                                        .trimmed()
                                        .compare(keywords, Qt::CaseInsensitive) == 0);
        previous = parts;
    }
    rs.ClearFilter();
    view->setUpdatesEnabled(true);
}

void AddMarkedRecordsToTree(FavoritesTree &tree, Recordset &rs, int mark)
{
    if (rs.SetFilter(QStringLiteral("Selected = ") + QString::number(mark))) {
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            QTreeWidgetItem *node = tree.root();
            for (const QString &part :
                 KeywordParts(rs.Field(QStringLiteral("Keywords")).toString())) {
                QTreeWidgetItem *found = nullptr;
                int before = -1;
                for (int c = 0; c < node->childCount() && !found; ++c) {
                    QTreeWidgetItem *child = node->child(c);
                    if (!FavoritesTree::isFolder(child))
                        continue;
                    const int order = child->text(0).compare(part, Qt::CaseInsensitive);
                    if (order == 0)
                        found = child;
                    else if (order > 0 && before < 0)
                        before = c;
                }
                node = found ? found : tree.addFolder(node, part, before);
            }
            tree.addLink(node, rs.Bookmark(), rs.Field(QStringLiteral("Title")).toString());
        }
    }
    rs.ClearFilter();
}

QString NodeFolderPath(const QTreeWidgetItem *node)
{
    QStringList parts;
    for (; node && node->parent(); node = node->parent())
        parts.prepend(node->text(0));
    return parts.join(QLatin1Char('\\'));
}

void ClearSelection(Recordset &rs)
{
    if (rs.SetFilter(QStringLiteral("Selected = 1"))) {
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            (void)rs.SetField(QStringLiteral("Selected"), 0);
    }
    rs.ClearFilter();
}

void UnhighlightSelectedNodes(FavoritesTree &tree, Recordset &rs)
{
    if (rs.SetFilter(QStringLiteral("Selected = 1"))) {
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            if (QTreeWidgetItem *n = tree.node(FavoritesTree::linkKey(rs.Bookmark())))
                n->setBackground(0, QBrush(Qt::white));
        }
    }
    rs.ClearFilter();
}
