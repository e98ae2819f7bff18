#pragma once

#include "../../unit/reader/ReaderRig.h"
#include "FakePlatform.h"
#include "HttpFixture.h"
#include "TempProfile.h"
#include "WebHarness.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/CWinInet_URL.h"
#include "store/Stores.h"
#include "store/cFile.h"

#include <QDir>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

// Stores in a profile folder, a reader over engine controls, window 0 active. Each window's
// view is a top-level widget of its own (offscreen), shown while it is the active one.
struct EngineRig
{
    EngineRig(WebEnginePlatform &platform, const QString &dataFolder, int maxWindows = 50)
        : stores(ctx.errorLog), host([&platform] {
              std::unique_ptr<BrowserControl> control = platform.createControl();
              control->widget()->resize(800, 600);
              control->widget()->show();
              return control;
          }),
          reader(ctx, host)
    {
        QDir().mkpath(dataFolder + QStringLiteral("/common"));
        ctx.errorLog.setPath(dataFolder + QStringLiteral("/common/LoggedErrors.txt"));
        OpenAllStores(stores, dataFolder, dataFolder + QStringLiteral("/common"));
        file.setOptionsStore(&stores.rsOptions);
        ctx.stores = &stores;
        ctx.gFile = &file;
        ctx.gURL = &url;
        ctx.ui = &ui;
        ctx.giMaxWindows = maxWindows;
        ctx.gsExtraHeaders = QStringLiteral("User-Agent: Skimline-e2e\r\n");
        ctx.gdStartTime = QDateTime::currentDateTime();
        host.reader = &reader;
        const int slot = reader.pool.ChooseWindow(false, true);
        Q_ASSERT(slot == 0);
        reader.pool.setState(0, QStringLiteral("a"));
    }
    ~EngineRig() { host.clear(); }

    DocumentWindow *window(int slot) const { return host.window(slot); }
    QString state(int slot) const { return ctx.gsWindowState.value(slot); }

    QStringList records(const QString &filter = QString()) const
    {
        Recordset rs = reader.log.cursor();
        if (!filter.isEmpty())
            (void)rs.SetFilter(filter);
        (void)rs.SetSort(QStringLiteral("Order"));
        QStringList out;
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            out << rs.Field(QStringLiteral("URL")).toString();
        return out;
    }
    int count(const QString &filter) const { return int(records(filter).size()); }

    AppContext ctx;
    Stores stores;
    cFile file;
    CWinInet_URL url;
    FakeUi ui;
    RecordingHost host;
    Reader reader;
};
