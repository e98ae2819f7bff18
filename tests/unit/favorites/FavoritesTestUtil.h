#pragma once

#include "favorites/FavoritesTree.h"
#include "store/Recordset.h"

#include <QTreeWidgetItem>

// The tree as text: folders with their children in brackets, links by title.
inline QString dump(const QTreeWidgetItem *node)
{
    QString s = node->text(0);
    if (!FavoritesTree::isFolder(node))
        return s;
    QStringList children;
    for (int i = 0; i < node->childCount(); ++i)
        children << dump(node->child(i));
    return children.isEmpty()
               ? s + QStringLiteral("()")
               : s + QLatin1Char('(') + children.join(QLatin1Char(',')) + QLatin1Char(')');
}

// Records in the order given (the store's order is the caller's): "path|title|Selected|bfFav";
// each links to http://<title>.test/.
inline Recordset favorites(const QStringList &rows)
{
    Recordset rs = Recordset::Create(FavoritesSchema());
    for (const QString &row : rows) {
        const QStringList f = row.split(QLatin1Char('|'));
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Keywords"), f[0]);
        (void)rs.SetField(QStringLiteral("Title"), f.value(1));
        (void)rs.SetField(QStringLiteral("URL"), "http://" + f.value(1).trimmed() + ".test/");
        (void)rs.SetField(QStringLiteral("Selected"), f.value(2).toInt());
        (void)rs.SetField(QStringLiteral("bfFav"), f.value(3).toInt());
        rs.Update();
    }
    return rs;
}
