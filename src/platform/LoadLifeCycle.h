#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <utility>

#include "platform/BrowserControl.h"

// What the engine tells of a control's top-level loads, in plain terms.
struct LoadInput
{
    enum class Kind {
        Begin,        // a top-level navigation of this control goes ahead (url)
        Redirect,     // the server moved the request under way (url)
        End,          // the engine ended a load (url, outcome, status, text)
        Document,     // a new document's bridge greeted (url, readyState, errorPage)
        ReadyState,   // the current document's bridge told its ready state
        Title,        // the page's title changed (text)
        Progress,     // status: percent loaded
        BridgeSilent, // no bridge greeted or completed in time
    };
    enum class Outcome { Succeeded, Failed, Aborted };

    LoadInput(Kind kind = Kind::Begin, const QUrl &url = QUrl()) : kind(kind), url(url) {}

    Kind kind;
    QUrl url;
    Outcome outcome = Outcome::Succeeded;
    qint32 status = 0; // a failure's HTTP status or NavErrorCode value; a progress's percent
    QString text;      // a failure's error text, a title
    ReadyState readyState = ReadyState::Uninitialized;
    bool errorPage = false; // the document is the engine's own error page
};

// Turns the engine's load events into the listener's, in the order the program expects and
// each once per load: downloadBegin, navigateError (failures), navigateComplete, readyState
// interactive, downloadComplete, documentComplete, readyState complete. A load completes on
// its document's bridge saying so, or, for documents without a bridge (error pages, plain
// files), when the bridge wait runs out.
class LoadLifeCycle : public QObject
{
public:
    // What the life cycle asks of the page that shows the loads.
    class Page
    {
    public:
        virtual ~Page() = default;
        virtual QUrl url() const = 0;
        virtual QString title() const = 0;
        // Writes and queries wait for a new document's bridge.
        virtual bool awaitsDocument() const = 0;
        virtual void giveUpWaiting() = 0;
        // A load ended: the history may have changed.
        virtual void loadEnded() = 0;
    };

    LoadLifeCycle(BrowserControl &control, Page &page, int bridgeWaitMs, QObject *parent = nullptr);

    void setListener(BrowserControlListener *listener) { m_listener = listener; }
    // The listener may destroy the control, and this with it, from any event.
    void feed(const LoadInput &input);

    // The load asked for has no document yet: a server redirect still belongs to it.
    bool awaitsCommit() const { return m_load.active && !m_load.finished && !m_load.committed; }
    QUrl requestedUrl() const { return m_load.url; }
    // How many loads completed only because the bridge never reported.
    int bridgeFallbacks() const { return m_bridgeFallbacks; }
    bool waitsForBridge() const { return m_bridgeWait.isActive(); }

    // Whatever wakes a discarded page makes the engine load its old document again first; when
    // a navigation woke it, that reload is refused before it asks the server. true: refuse
    // this request (asked of every request; only the first after waking can be the reload).
    void wokeForNavigation(bool discarded) { m_dropStaleReload = discarded; }
    bool refuseStaleReload(bool topFrameReload)
    {
        return std::exchange(m_dropStaleReload, false) && topFrameReload;
    }

private:
    struct Load
    {
        bool active = false;
        bool committed = false;
        bool interactive = false;
        bool finished = false;
        bool ok = false;
        bool bridgeComplete = false;
        bool completed = false;
        bool aborted = false;
        bool errorPage = false;    // the engine's error page greeted before the load ended
        bool titlePending = false; // the title changed before the commit
        bool completeReported = false;
        QUrl url;         // requested, then where the server redirected it
        QUrl documentUrl; // the committed document's, as its bridge reported it
    };

    void begin(const QUrl &url);
    void end(const LoadInput &input);
    void documentCreated(const QUrl &url, ReadyState readyState, bool errorPage);
    void readyState(ReadyState readyState);
    void bridgeSilent();
    void maybeComplete(bool force);
    // navigateComplete, then the title held back until the commit; false: this is gone.
    bool reportCommit(const QUrl &url);
    void fireInteractive();

    BrowserControl &m_control;
    Page &m_page;
    BrowserControlListener *m_listener = nullptr;
    Load m_load;
    QTimer m_bridgeWait;
    int m_bridgeFallbacks = 0;
    bool m_dropStaleReload = false;
};
