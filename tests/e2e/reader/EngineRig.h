#pragma once

#include "../../unit/reader/ReaderRig.h"
#include "HttpFixture.h"
#include "StoredContext.h"
#include "WebHarness.h"

#include <QWidget>

#include <memory>

// Stores in a profile folder, a reader over engine controls, window 0 active. Each window's
// view is a top-level widget of its own (offscreen), shown while it is the active one.
struct EngineRig : StoredContext
{
    EngineRig(WebEnginePlatform &platform, const QString &dataFolder, int maxWindows = 50)
        : StoredContext(dataFolder, maxWindows), host([&platform] {
              std::unique_ptr<BrowserControl> control = platform.createControl();
              control->widget()->resize(800, 600);
              control->widget()->show();
              return control;
          }),
          reader(ctx, host)
    {
        ctx.ui = &ui;
        ctx.gsExtraHeaders = QStringLiteral("User-Agent: Skimline-e2e\r\n");
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
        return sessionRecords(reader.log, filter, false);
    }
    int count(const QString &filter) const { return int(records(filter).size()); }

    FakeUi ui;
    RecordingHost host;
    Reader reader;
};
