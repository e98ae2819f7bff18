#pragma once

#include "../reader/ReaderRig.h"
#include "reader/Navigator.h"

// The reading workflow on the platform double; every window answers through the reader's
// navigator, as in the program.
struct NavRig : ReaderRig
{
    explicit NavRig(int maxWindows = 50) : ReaderRig(maxWindows), nav(reader.nav)
    {
        ctx.shell = &platform.shell;
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

    Navigator &nav;
};
