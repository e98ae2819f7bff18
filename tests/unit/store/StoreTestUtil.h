#pragma once

#include "store/Recordset.h"

#include <QStringList>
#include <QVariantMap>

// A store in memory with the given rows (field name -> value; missing fields stay Null).
inline Recordset makeStore(const Schema &schema, const QList<QVariantMap> &rows)
{
    Recordset rs = Recordset::Create(schema);
    for (const QVariantMap &row : rows) {
        rs.AddNew();
        for (auto it = row.begin(); it != row.end(); ++it) {
            if (!rs.SetField(it.key(), it.value()))
                qFatal("fixture: %s", qPrintable(rs.lastError()));
        }
        rs.Update();
    }
    rs.MoveFirst();
    return rs;
}

// The values of one field over the visible records, in cursor order.
inline QStringList column(Recordset &rs, const QString &field)
{
    QStringList out;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        out << rs.Field(field).toString();
    rs.MoveFirst();
    return out;
}
