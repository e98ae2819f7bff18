#pragma once

#include "FakePlatform.h"
#include "HttpFixture.h"
#include "StoredContext.h"
#include "TempProfile.h"
#include "WebHarness.h"
#include "frame/FrameReaderHost.h"
#include "frame/MDIForm1.h"
#include "frame/Pane.h"
#include "frame/Sidebar.h"
#include "frame/TopBar.h"
#include "platform/HttpClient.h"
#include "reader/AppContext.h"
#include "reader/Reader.h"
#include "reader/frmBrowser.h"
#include "store/Stores.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <memory>

// The program as start-up puts it together, on the engine: the main frame with both panes,
// its document windows in the frame, the reading workflow over them, stores in a profile.
struct SidebarEngineRig : StoredContext
{
    SidebarEngineRig(WebEnginePlatform &platform, const QString &data, int maxWindows = 50)
        : StoredContext(data, maxWindows)
    {
        OpenHistoryStore(stores);
        ctx.ui = &ui;
        ctx.http = &http;
        ctx.browsers = &platform;
        frame = std::make_unique<MDIForm1>(ctx);
        host = std::make_unique<FrameReaderHost>(ctx, *frame);
        reader = std::make_unique<Reader>(ctx, *host);
        ctx.reader = reader.get();
        frame->connectReader();
        ctx.LoadDocument = [this](const QString &address, LoadWhere where) {
            (void)reader->queue.LoadDocument(address, where);
        };
        frmBrowser *first = host->adoptWindow(0, platform.createControl());
        first->InitializeForm(0, false);
        frame->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(first->parentWidget()));
        ctx.gsWindowState[0] = QStringLiteral("f");
        frame->resize(1280, 800);
        frame->show();
    }
    ~SidebarEngineRig()
    {
        frame->UnloadChildren();
        reader.reset();
        host.reset();
        frame.reset();
    }

    bool ready() const
    {
        return WebHarness::waitFor(
            [&] { return frame->topBarPane()->isReady() && frame->sidebarPane()->isReady(); });
    }
    static WebEngineControl &engine(Pane *pane)
    {
        return static_cast<WebEngineControl &>(pane->control());
    }
    WebEngineControl &sidebarEngine() const { return engine(frame->sidebarPane()); }
    WebEngineControl &windowEngine(int slot) const
    {
        return *static_cast<WebEngineControl *>(ctx.gBrowsers.at(slot)->brwWebBrowser);
    }
    QString sidebarScript(const QString &js) const
    {
        return WebHarness::runScript(sidebarEngine(), js, QWebEngineScript::MainWorld).toString();
    }
    // Real keys into the search box: a click into it, then the text once it is empty.
    bool typeIntoSearchBoxWithoutEnter(const QString &text)
    {
        WebEngineControl &bar = engine(frame->topBarPane());
        if (!WebHarness::clickElementUntil(bar, QStringLiteral("SearchTerms"), Qt::LeftButton,
                                           Qt::NoModifier, -1, [&] { return ctx.gbTextEntry; }))
            return false;
        frame->topBar()->setSearchBoxText(QString());
        if (!WebHarness::waitFor([&] {
                return WebHarness::runScript(bar,
                                             QStringLiteral("document.getElementById("
                                                            "'SearchTerms').value"),
                                             QWebEngineScript::MainWorld)
                    .toString()
                    .isEmpty();
            }))
            return false;
        WebHarness::typeText(bar, text);
        return true;
    }

    FakeUi ui;
    QtHttpClient http;
    std::unique_ptr<MDIForm1> frame;
    std::unique_ptr<FrameReaderHost> host;
    std::unique_ptr<Reader> reader;
};
