#pragma once

#include "reader/AppContext.h"
#include "reader/SessionLog.h"
#include "store/CWinInet_URL.h"
#include "store/Stores.h"
#include "store/cFile.h"

#include <QDateTime>
#include <QDir>
#include <QStringList>

// A program context over real stores in a data folder, as start-up leaves it for the reading
// workflow. The rigs build on it: it comes first, as everything else holds on to its context.
struct StoredContext
{
    explicit StoredContext(const QString &data, int maxWindows = 50) : stores(ctx.errorLog)
    {
        QDir().mkpath(data + QStringLiteral("/common"));
        ctx.errorLog.setPath(data + QStringLiteral("/common/LoggedErrors.txt"));
        OpenAllStores(stores, data, data + QStringLiteral("/common"));
        file.setOptionsStore(&stores.rsOptions);
        ctx.stores = &stores;
        ctx.gFile = &file;
        ctx.gURL = &url;
        ctx.giMaxWindows = maxWindows;
        ctx.gdStartTime = QDateTime::currentDateTime();
    }

    // The session's records in Order: "URL", or with flags "URL:bRead:bLoaded".
    static QStringList sessionRecords(const SessionLog &log, const QString &filter, bool flags)
    {
        Recordset rs = log.cursor();
        if (!filter.isEmpty())
            (void)rs.SetFilter(filter);
        (void)rs.SetSort(QStringLiteral("Order"));
        QStringList out;
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
            QString record = rs.Field(QStringLiteral("URL")).toString();
            if (flags)
                record += QStringLiteral(":%1:%2")
                              .arg(rs.Field(QStringLiteral("bRead")).toInt())
                              .arg(rs.Field(QStringLiteral("bLoaded")).toInt());
            out << record;
        }
        return out;
    }

    AppContext ctx;
    Stores stores;
    cFile file;
    CWinInet_URL url;
};
