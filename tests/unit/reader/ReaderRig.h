#pragma once

#include "FakePlatform.h"
#include "StoredContext.h"
#include "TempProfile.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

// The frame as the reading workflow sees it, recorded; its windows' controls come from the
// double or from the engine.
class RecordingHost : public ReaderHost
{
public:
    using ControlFactory = std::function<std::unique_ptr<BrowserControl>()>;
    explicit RecordingHost(ControlFactory make) : makeControl(std::move(make)) {}

    DocumentWindow *loadWindow(int slot) override
    {
        auto control = makeControl();
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
        // Gone from the slot now, freed later: the caller may be inside its events.
        auto it = windows.find(slot);
        if (it == windows.end())
            return;
        graveyard.push_back(std::move(it->second));
        graveyardControls.push_back(std::move(controls[slot]));
        windows.erase(it);
        controls.erase(slot);
    }
    void showWindow(DocumentWindow &) override {}
    void setStatusText(int panel, const QString &text) override { status[panel] = text; }
    void setAddressText(const QString &text) override { address = text; }
    void showWindowState(int slot, const WindowStyle &style) override { styles[slot] = style; }
    void setMenuItem(const QString &name, bool, bool checked) override { checks[name] = checked; }
    void setToolButton(const QString &key, bool, bool pressed) override
    {
        pressedButtons[key] = pressed;
    }
    void showBrowseMode(const QString &letter, const QString &) override { modeLetter = letter; }
    void queueListAdd(double bookmark, const QString &) override { queue << bookmark; }
    void queueListRemove(double bookmark) override { queue.removeAll(bookmark); }
    void queueListClear() override
    {
        queue.clear();
        ++queueClears;
    }
    void openFeedViewer(const QString &url, double) override { feeds << url; }
    bool hasFeedViewer() const override { return feedViewer; }
    void loadScheduledPages(int) override { ++scheduledLoads; }
    HighlightWords highlightWords() const override
    {
        return highlightSource ? highlightSource() : highlight;
    }

    BrowserControl *control(int slot) const
    {
        auto it = controls.find(slot);
        return it == controls.end() ? nullptr : it->second.get();
    }
    // Windows reach back into the reader while they go.
    void clear()
    {
        windows.clear();
        graveyard.clear();
        controls.clear();
        graveyardControls.clear();
    }

    ControlFactory makeControl;
    Reader *reader = nullptr;
    HighlightWords highlight;
    std::function<HighlightWords()> highlightSource; // the frame's words, when a test has one
    bool feedViewer = true;
    std::map<int, std::unique_ptr<DocumentWindow>> windows;
    std::map<int, std::unique_ptr<BrowserControl>> controls;
    std::vector<std::unique_ptr<DocumentWindow>> graveyard;
    std::vector<std::unique_ptr<BrowserControl>> graveyardControls;
    int loaded = 0;
    QHash<int, QString> status;
    QString address;
    QHash<int, WindowStyle> styles;
    QHash<QString, bool> checks;
    QHash<QString, bool> pressedButtons;
    QString modeLetter;
    QList<double> queue;
    int queueClears = 0;
    QStringList feeds;
    int scheduledLoads = 0;
};

struct WithProfile
{
    TempProfile profile;
};

// One program's worth of the reading workflow on the platform double, with real stores in a
// temporary profile. Window 0 exists and is active, as after start-up.
struct ReaderRig : WithProfile, StoredContext
{
    explicit ReaderRig(int maxWindows = 50)
        : StoredContext(profile.file(QStringLiteral("data")), maxWindows),
          host([this] { return platform.browsers.createControl(); }), reader(ctx, host)
    {
        ctx.ui = &platform.ui;
        ctx.browsers = &platform.browsers;
        ctx.gsExtraHeaders = QStringLiteral("User-Agent: Skimline-Test\r\n");
        ctx.gsDefaultUserAgent = QStringLiteral("EngineAgent/1.0");
        host.reader = &reader;
        platform.web.setDefaultResponse(FakeResponse::page(QStringLiteral("<title>t</title>x")));
        const int slot = reader.pool.ChooseWindow(false, true);
        Q_ASSERT(slot == 0);
        reader.pool.setState(0, QStringLiteral("a"));
        window(0)->bActiveForm = true;
    }

    ~ReaderRig() { host.clear(); }

    DocumentWindow *window(int slot) const { return host.window(slot); }
    FakeBrowserControl *control(int slot) const
    {
        return static_cast<FakeBrowserControl *>(host.control(slot));
    }
    QString state(int slot) const { return ctx.gsWindowState.value(slot); }
    void settle() { platform.settle(); }
    static QString page(int n) { return QStringLiteral("http://site.test/p%1.htm").arg(n); }

    // Session records as "URL:bRead:bLoaded" in Order.
    QStringList records(const QString &filter = QString()) const
    {
        return sessionRecords(reader.log, filter, true);
    }

    FakePlatform platform;
    RecordingHost host;
    Reader reader;
};
