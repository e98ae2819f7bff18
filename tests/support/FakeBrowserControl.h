#pragma once

#include "FakeDocument.h"
#include "platform/BrowserControl.h"
#include "platform/PageWriter.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>

class FakeBrowserControl;

// What the fake web answers for an address.
struct FakeResponse
{
    enum class Kind {
        Page,         // 200 with html
        Error,        // an HTTP status >= 400 (html: the server's error body, may be empty)
        NetworkError, // no response: a NavErrorCode value
        Redirect,     // 3xx to location
        Pending,      // the load hangs until the test finishes it on the control
        NoDocument,   // the load ends with no document (a file to save, 204)
    };
    Kind kind = Kind::Page;
    QString html;
    int status = 200;
    QUrl location;

    static FakeResponse page(const QString &html) { return {Kind::Page, html, 200, {}}; }
    static FakeResponse error(int status, const QString &html = QString())
    {
        return {Kind::Error, html, status, {}};
    }
    static FakeResponse networkError(qint32 code) { return {Kind::NetworkError, {}, code, {}}; }
    static FakeResponse redirect(const QUrl &to, int status = 302)
    {
        return {Kind::Redirect, {}, status, to};
    }
    static FakeResponse pending() { return {Kind::Pending, {}, 0, {}}; }
};

// A request as the fake server received it.
struct FakeRequest
{
    QUrl url;
    QByteArray method; // "GET" or "POST"
    QList<HeaderLine> headers;
    QByteArray body;
    NavigationKind kind = NavigationKind::Other;
    bool isTopFrame = true;
    const BrowserControl *control = nullptr;
};

// The fake's world: the pages every control can load, the log of requests, and the queue on
// which loads and query answers run (the stand-in for the engine's asynchrony).
//
// Timing: navigate() and clicks raise beforeNavigate inside the call, as the interface says;
// the rest of a load (download begin ... title) runs as one later step of the queue, because
// the program's code after navigate() runs before the engine's events in real life. Steps run
// from the Qt event loop on their own, or at once with settle().
class FakeWeb : public QObject
{
    Q_OBJECT
public:
    explicit FakeWeb(QObject *parent = nullptr);
    ~FakeWeb() override;

    // The address's fragment is ignored when answering.
    void serve(const QUrl &url, const FakeResponse &response);
    void serve(const QString &url, const FakeResponse &response) { serve(QUrl(url), response); }
    void servePage(const QString &url, const QString &html)
    {
        serve(QUrl(url), FakeResponse::page(html));
    }
    // For addresses nobody scripted: an empty page unless set otherwise.
    void setDefaultResponse(const FakeResponse &response) { m_default = response; }
    FakeResponse responseFor(const QUrl &url) const;

    const QList<FakeRequest> &requests() const { return m_requests; }
    void recordRequest(const FakeRequest &request) { m_requests.append(request); }

    // Runs every queued step, including those the steps queue, until none is left.
    void settle();
    int pendingSteps() const { return int(m_steps.size()); }
    // For the controls and documents: run step later (dropped when alive is false by then).
    void post(const std::weak_ptr<bool> &alive, std::function<void()> step);

    // Controls made by the factory or by hand, live ones only, in creation order.
    QList<FakeBrowserControl *> controls() const { return m_controls; }
    void registerControl(FakeBrowserControl *control) { m_controls.append(control); }
    std::weak_ptr<bool> aliveToken() const { return m_alive; }
    void unregisterControl(FakeBrowserControl *control) { m_controls.removeAll(control); }

private:
    void runSteps();

    struct Step
    {
        std::weak_ptr<bool> alive;
        std::function<void()> run;
    };

    QHash<QString, FakeResponse> m_responses;
    FakeResponse m_default;
    QString m_pagesFolder;
    QList<FakeRequest> m_requests;
    std::deque<Step> m_steps;
    bool m_posted = false;
    bool m_running = false;
    QList<FakeBrowserControl *> m_controls;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// The BrowserControl of the platform double. Loads follow FakeWeb's answers and raise the
// listener's events in the engine's order; the user's and the page's own actions are made by
// hand through the methods below. Everything the program asked of it is recorded.
class FakeBrowserControl : public BrowserControl, public PageWriter
{
public:
    struct NavigateCall
    {
        QUrl url;
        QString headers;
        QByteArray postData;
    };

    explicit FakeBrowserControl(FakeWeb &web);
    ~FakeBrowserControl() override;

    // BrowserControl
    void setListener(BrowserControlListener *listener) override { m_listener = listener; }
    QWidget *widget() const override;
    Document &document() override { return m_document; }
    PageWriter &pageWriter() override { return *this; }
    bool navigate(const QUrl &url, const QString &headers = QString(),
                  const QByteArray &postData = QByteArray()) override;
    void stop() override;
    void refresh() override;
    void goBack() override;
    void goForward() override;
    bool canGoBack() const override { return m_historyIndex > 0; }
    bool canGoForward() const override { return m_historyIndex + 1 < int(m_history.size()); }
    bool execCommand(BrowserCommand command,
                     CommandPrompt prompt = CommandPrompt::Default) override;
    bool queryCommandEnabled(BrowserCommand command) const override;
    void setTextSize(int size) override { m_textSize = std::clamp(size, 0, 4); }
    int textSize() const override { return m_textSize; }
    void setZoomFactor(double factor) override { m_zoomFactor = factor; }
    double zoomFactor() const override { return m_zoomFactor; }
    QUrl locationUrl() const override { return m_location; }
    QString title() const override;
    bool isLoading() const override { return m_loading; }
    QString selectedText() const override { return m_selectedText; }
    void setFocus() override {}
    void setOffline(bool offline) override { m_offline = offline; }
    bool isOffline() const override { return m_offline; }
    void setUserAgent(const QString &userAgent) override { m_userAgent = userAgent; }
    QString userAgent() const override { return m_userAgent; }
    void setHostHeaderRules(const QList<HostHeaderRule> &rules) override { m_hostRules = rules; }
    void sleep(SleepMode mode) override;
    bool wake() override;
    bool isAsleep() const override { return m_asleep; }

    // PageWriter
    QUrl writePage(const QString &html, const QString &name = QString()) override;

    // ---- the test's view ----
    FakeWeb &web() const { return m_web; }
    FakeDocument &fakeDocument() { return m_document; }
    FakeDom &dom() { return m_document.dom(); }
    const QList<NavigateCall> &navigateCalls() const { return m_navigateCalls; }
    // The requests this control sent (what reached the fake server).
    QList<FakeRequest> requests() const;
    const QList<std::pair<BrowserCommand, CommandPrompt>> &commands() const { return m_commands; }
    void setCommandEnabled(BrowserCommand command, bool enabled);
    void setSelectedText(const QString &text);

    // A load the web answered with Pending.
    bool hasPendingLoad() const { return m_pending.has_value(); }
    QUrl pendingUrl() const { return m_pending ? m_pending->url : QUrl(); }
    void completePendingLoad(const QString &html);

    // ---- the user's actions ----
    // A mouse click on the element, with the mouse events, the DOM click and the default
    // action: follow a link, submit a form, tick a box. false when there is no such element.
    bool click(const ElementRef &element, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier, int frameIndex = -1);
    bool doubleClick(const ElementRef &element, Qt::MouseButtons held = Qt::LeftButton,
                     int frameIndex = -1);
    // Right click: returns whether the engine's own menu is shown.
    bool contextClick(const ElementRef &element, int frameIndex = -1,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The user gives the element the focus (clicking or tabbing into it).
    void focusElement(const ElementRef &element, int frameIndex = -1);
    // Press and release. The listener has each key before the page, except while an editable
    // element has the focus: then the page alone.
    void pressKey(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                  const QString &text = QString());
    void keyDown(const KeyInfo &key);
    void keyUp(const KeyInfo &key);
    // A wheel turn over the element (null: the body); scrolls when nobody consumed it.
    void wheel(const ElementRef &element, int delta,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::MouseButtons buttons = Qt::NoButton, int frameIndex = -1);
    void mousePress(const ElementRef &element, Qt::MouseButton button, Qt::MouseButtons held,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier, int frameIndex = -1);

    // ---- the page's own actions ----
    // window.open: a new-window request; a script pop-up outside a user gesture is blocked.
    void scriptOpenWindow(const QUrl &url, bool userGesture = false,
                          WindowDisposition disposition = WindowDisposition::Popup);
    // location.href = url (Other) or a meta refresh (Redirect).
    void scriptNavigate(const QUrl &url, NavigationKind kind = NavigationKind::Other);
    void scriptDocumentWrite(const QString &html);
    // window.close(); returns whether the listener kept the window.
    bool scriptClose();
    // The page's own key handlers prevent the default of every key outside its fields: the
    // program still has them first, so nothing changes here.
    void scriptSwallowKeys() {}
    void scriptError(const QString &text, int line, const QUrl &source);
    void emitStatusText(const QString &text);
    void emitProgress(int progress, int progressMax);

private:
    struct HistoryEntry
    {
        QUrl url;
        QString writtenHtml; // for pages made by writePage
        bool written = false;
    };
    struct Request
    {
        QUrl url;
        QByteArray method = "GET";
        QString headers;
        QByteArray body;
        NavigationKind kind = NavigationKind::Program;
        NavigationSource source = NavigationSource::None;
        int historyIndex = -1; // >= 0: a Back/Forward/Reload to that entry
        bool written = false;  // a page made by writePage: html is its content
        QString html;
    };

    NavigationSource sourceOf(int frameIndex) const;
    // Raises beforeNavigate; true when the listener let it go.
    bool askBeforeNavigate(const BeforeNavigateInfo &info);
    void beginLoad(const Request &request);
    void runLoad(Request request, quint64 serial);
    void fetch(Request request, quint64 serial, int hops);
    void commit(const Request &request, const QString &html, quint64 serial);
    void finishError(const Request &request, int status, const QString &html, quint64 serial);
    void endLoadQuietly(quint64 serial);
    void loadFrames(quint64 serial);
    // index -1 adds a frame, else replaces that frame's document.
    void loadFrameDocument(int index, const QUrl &url, qint64 element = 0);
    void goToHistory(int index, NavigationKind kind);
    Request historyRequest(int index, NavigationKind kind) const;
    void openFromOpener(const NewWindowInfo &info, const QByteArray &postData);
    void submitFormNode(DomNode *form, Qt::KeyboardModifiers modifiers, int frameIndex);
    bool stillCurrent(const std::weak_ptr<bool> &alive, quint64 serial) const;
    void followLink(DomNode *link, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                    int frameIndex);
    // postData: a form's post, which the new window sends as the engine does.
    void handOverToNewWindow(const NewWindowInfo &info, const QByteArray &postData = {});
    void updateCommandState();
    QList<HeaderLine> requestHeaders(const QUrl &url, const QString &extra) const;
    bool isEditable(const DomNode *node) const;

    FakeWeb &m_web;
    FakeDocument m_document;
    std::weak_ptr<bool> m_webAlive;
    BrowserControlListener *m_listener = nullptr;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    QSet<int> m_keysBeforePage; // pressed while the program had the first word
    mutable QPointer<QWidget> m_widget;
    quint64 m_loadSerial = 0;
    bool m_loading = false;
    bool m_downloadBegun = false;
    QUrl m_location;
    std::vector<HistoryEntry> m_history;
    int m_historyIndex = -1;
    bool m_lastCanGoBack = false;
    bool m_lastCanGoForward = false;
    std::optional<Request> m_pending;
    int m_writtenPages = 0;

    QList<NavigateCall> m_navigateCalls;
    QList<std::pair<BrowserCommand, CommandPrompt>> m_commands;
    QSet<int> m_disabledCommands;
    int m_textSize = 2;
    double m_zoomFactor = 1.0;
    QString m_selectedText;
    bool m_offline = false;
    QString m_userAgent = QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) FakeBrowserControl");
    QList<HostHeaderRule> m_hostRules;
    bool m_asleep = false;
    SleepMode m_sleepMode = SleepMode::Freeze;
};

// Makes FakeBrowserControls over one FakeWeb; remembers them so a test can reach the control
// that the program made for a window.
class FakeBrowserFactory : public BrowserFactory
{
public:
    explicit FakeBrowserFactory(FakeWeb &web) : m_web(web) {}
    std::unique_ptr<BrowserControl> createControl() override;
    FakeWeb &web() const { return m_web; }
    // Live controls made here, oldest first.
    QList<FakeBrowserControl *> controls() const;
    FakeBrowserControl *last() const;

private:
    FakeWeb &m_web;
    QSet<FakeBrowserControl *> m_made;
};
