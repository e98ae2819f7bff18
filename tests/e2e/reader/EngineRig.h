#pragma once

#include "FakePlatform.h"
#include "HttpFixture.h"
#include "TempProfile.h"
#include "WebHarness.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "reader/AppContext.h"
#include "store/CWinInet_URL.h"
#include "store/Stores.h"
#include "store/cFile.h"

#include <QDir>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

// The frame's side of the reading workflow over real engine controls: each window's view is
// a top-level widget of its own (offscreen), shown while it is the active one.
class EngineHost : public ReaderHost
{
public:
    explicit EngineHost(WebEnginePlatform &p) : platform(p) {}

    DocumentWindow *loadWindow(int slot) override
    {
        std::unique_ptr<BrowserControl> control = platform.createControl();
        control->widget()->resize(800, 600);
        control->widget()->show();
        auto w = std::make_unique<DocumentWindow>(*reader, control.get());
        DocumentWindow *out = w.get();
        controls[slot] = std::move(control);
        windows[slot] = std::move(w);
        ++loaded;
        return out;
    }
    DocumentWindow *window(int slot) const override
    {
        auto it = windows.find(slot);
        return it == windows.end() ? nullptr : it->second.get();
    }
    void destroyWindow(int slot) override
    {
        auto it = windows.find(slot);
        if (it == windows.end())
            return;
        graveyard.push_back(std::move(it->second));
        graveyardControls.push_back(std::move(controls[slot]));
        windows.erase(it);
        controls.erase(slot);
        ++destroyed;
    }
    void setStatusText(int panel, const QString &text) override { status[panel] = text; }
    void openFeedViewer(const QString &url) override { feeds << url; }
    bool hasFeedViewer() const override { return true; }
    HighlightWords highlightWords() const override { return highlight; }

    void clear()
    {
        windows.clear();
        graveyard.clear();
        controls.clear();
        graveyardControls.clear();
    }

    WebEnginePlatform &platform;
    Reader *reader = nullptr;
    std::map<int, std::unique_ptr<DocumentWindow>> windows;
    std::map<int, std::unique_ptr<BrowserControl>> controls;
    std::vector<std::unique_ptr<DocumentWindow>> graveyard;
    std::vector<std::unique_ptr<BrowserControl>> graveyardControls;
    int loaded = 0;
    int destroyed = 0;
    QHash<int, QString> status;
    QStringList feeds;
    HighlightWords highlight;
};

// Stores in a profile folder, a reader over engine controls, window 0 active.
struct EngineRig
{
    EngineRig(WebEnginePlatform &platform, const QString &dataFolder, int maxWindows = 50)
        : stores(ctx.errorLog), host(platform), reader(ctx, host)
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
    EngineHost host;
    Reader reader;
};
