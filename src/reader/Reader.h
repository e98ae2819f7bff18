#pragma once

#include "platform/BrowserControl.h"
#include "reader/LoadingQueue.h"
#include "reader/Navigator.h"
#include "reader/SessionLog.h"
#include "reader/SessionReport.h"
#include "reader/WindowPool.h"
#include "reader/cForm.h"
#include "store/CWinInet_URL.h"

#include <QString>
#include <QStringList>

struct AppContext;
class DocumentWindow;

// How a window's entry looks in the window list and the Window menu.
struct WindowStyle
{
    QString color; // empty: leave the colour as it is
    QString background;
    bool bold = false;
    bool strikeThrough = false;
    bool operator==(const WindowStyle &) const = default;
};

// The sidebar's search words and the styles that mark them.
struct HighlightWords
{
    QStringList terms;
    QStringList styles;
    bool isOn() const { return !terms.isEmpty(); }
};

// What the reading workflow asks of the main frame. The frame implements it; tests record it.
// Every method but the window bookkeeping has an empty default, so a pane that is not there
// yet simply shows nothing. Nothing here may run a nested event loop: these calls come from
// inside the engine's own callbacks.
class ReaderHost
{
public:
    virtual ~ReaderHost() = default;

    // Makes the window of a pool slot (not brought to the front); nullptr when none can be made.
    virtual DocumentWindow *loadWindow(int slot) = 0;
    virtual DocumentWindow *window(int slot) const = 0;
    // Drops an unloaded window: the slot no longer holds it; the object goes after this turn.
    virtual void destroyWindow(int slot) = 0;
    // Maximises the window inside the frame and gives it the focus / moves it out of view.
    virtual void showWindow(DocumentWindow &) {}
    virtual void hideWindow(DocumentWindow &) {}

    virtual void setStatusText(int /*panel*/, const QString &) {}
    virtual void setAddressText(const QString &) {}
    // The window's caption and its item in the window list changed.
    virtual void setWindowCaption(DocumentWindow &, const QString &) {}
    // Windows came or went (zShowWindows): rebuild the window list.
    virtual void windowListChanged() {}
    virtual void showWindowState(int /*slot*/, const WindowStyle &) {}
    virtual void setToolButton(const QString & /*key*/, bool /*enabled*/, bool /*pressed*/) {}
    virtual void setMenuItem(const QString & /*name*/, bool /*enabled*/, bool /*checked*/) {}
    // The top bar's cells that follow the active window (the favorite buttons).
    virtual void zTopBar() {}
    // The top bar's "mode" element.
    virtual void showBrowseMode(const QString & /*letter*/, const QString & /*tooltip*/) {}
    // The sidebar's queue list "qul"; entries are keyed by the session record's bookmark.
    virtual void queueListAdd(double /*bookmark*/, const QString & /*title*/) {}
    virtual void queueListRemove(double /*bookmark*/) {}
    virtual void queueListClear() {}

    // The parts of other features the workflow calls into.
    // bookmark: the favorite it came from, 0 for a link.
    virtual void openFeedViewer(const QString & /*url*/, double /*bookmark*/) {}
    // A raw feed leaves its window only for a viewer that shows it.
    virtual bool hasFeedViewer() const { return false; }
    // The main frame is the window the user works in (no other program or dialog in front):
    // only then may the pointer move the keyboard into a document.
    virtual bool isInForeground() const { return true; }
    // The search words while highlighting is on; none while it is off.
    virtual HighlightWords highlightWords() const { return {}; }
    // The download list: 0 today's scheduled pages, 1 the unread days' too.
    virtual void loadScheduledPages(int /*index*/) {}
    // The active window's document completed.
    virtual void activeDocumentCompleted(DocumentWindow &) {}
};

// The reading workflow's program-wide part: the session log, the window pool, the loading
// queue, the session report and the navigator, over one context and one frame.
class Reader
{
public:
    Reader(AppContext &ctx, ReaderHost &host);
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // Through the shared URL object, whose last parts other code reads; a test context may lack it.
    URLParts urlParts(const QString &url) const;

    AppContext &ctx;
    ReaderHost &host;
    SessionLog log;
    WindowPool pool;
    LoadingQueue queue;
    SessionReport report;
    // Where followed links go, command links, keys and mouse in documents, open all links.
    Navigator nav;
    // Saved form fields (Ctrl+-, Ctrl+=, Ctrl+0 and the top bar's form cells).
    cForm form;

    // How a read window that is not kept is put to sleep, and after how long.
    SleepMode sleepMode = SleepMode::Discard;
    int sleepDelayMs = 3000;
    bool sleepReadWindows = true;
};

// One of the program's own fields (a pane's box, a dialog's) took the keyboard or gave it up:
// the single keys are off meanwhile, and no completing page takes the focus away. Without
// the reading workflow (a test's bare frame) only the flag is set.
void setProgramFieldFocused(AppContext &ctx, bool focused);
