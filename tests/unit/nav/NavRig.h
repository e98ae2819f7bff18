#pragma once

#include "../reader/ReaderRig.h"
#include "NavForwarder.h"
#include "reader/Navigator.h"

#include <map>
#include <memory>

// The reading workflow with the navigator answering for every window, on the platform double.
struct NavRig : ReaderRig
{
    explicit NavRig(int maxWindows = 50) : ReaderRig(maxWindows), nav(reader)
    {
        ctx.shell = &platform.shell;
        wire();
    }
    ~NavRig()
    {
        for (auto &[slot, w] : host.windows) {
            nav.detach(*w);
            if (w->brwWebBrowser)
                w->brwWebBrowser->setListener(w.get());
        }
    }

    // Every window the pool made answers through the navigator.
    void wire()
    {
        for (auto &[slot, w] : host.windows) {
            if (wired.count(w.get()))
                continue;
            auto f = std::make_unique<NavForwarder>(*w, nav);
            w->brwWebBrowser->setListener(f.get());
            nav.attach(*w);
            wired[w.get()] = std::move(f);
        }
    }
    void settle()
    {
        wire();
        platform.settle();
        wire();
    }

    // Loads a page into window 0 and brings it into the reading state.
    void show(const QString &url, const QString &html)
    {
        platform.web.servePage(url, html);
        (void)reader.queue.LoadDocument(url, LoadWhere::Here);
        settle();
        DocumentWindow *w = window(0);
        w->Form_Activate();
        settle();
    }

    Navigator nav;
    std::map<DocumentWindow *, std::unique_ptr<NavForwarder>> wired;
};
