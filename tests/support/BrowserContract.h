#pragma once

#include "platform/BrowserControl.h"
#include "platform/Document.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

// The behaviour of BrowserControl and Document that the program relies on, written once and
// run against both the test double (unit) and the Qt WebEngine control (e2e). Each side
// supplies a ContractHarness; every check takes a fresh harness.

// What the server answers for one path.
struct ServedResponse
{
    int status = 200;
    QByteArray body;
    QByteArray contentType = "text/html; charset=utf-8";
    QUrl redirectTo; // with a 3xx status: the Location

    static ServedResponse page(const QString &html)
    {
        ServedResponse r;
        r.body = html.toUtf8();
        return r;
    }
    static ServedResponse error(int status, const QString &html = QString())
    {
        ServedResponse r;
        r.status = status;
        r.body = html.toUtf8();
        return r;
    }
    static ServedResponse redirect(const QUrl &to, int status = 302)
    {
        ServedResponse r;
        r.status = status;
        r.redirectTo = to;
        return r;
    }
};

// A request as the server saw it.
struct ServedRequest
{
    QByteArray method; // "GET", "POST"
    QString path;
    QList<std::pair<QByteArray, QByteArray>> headers; // names as sent
    QByteArray body;

    // The first header of that name, compared case-insensitively; null when absent.
    QByteArray header(const QByteArray &name) const;
};

// Things that page script does on its own, run in the page's world (not the program's).
enum class PageScript {
    OpenPopup,     // window.open(argument, "_blank", "width=300,height=200") outside a user gesture
    DocumentWrite, // document.open(); document.write(argument); document.close()
    CloseWindow,   // window.close()
    SetLocation,   // location.href = argument
    SwallowKeys,   // preventDefault on every keydown and keyup outside the page's fields
};

class ContractHarness
{
public:
    virtual ~ContractHarness() = default;

    // The control under test, made when the harness was.
    virtual BrowserControl &control() = 0;
    // Another control of the same kind (the target a new-window request is handed to).
    virtual std::unique_ptr<BrowserControl> createControl() = 0;

    // Serves response at path ("/a.htm") from now on; returns the page's full address.
    virtual QUrl serve(const QString &path, const ServedResponse &response) = 0;
    // Every request the server received for path, oldest first.
    virtual QList<ServedRequest> requests(const QString &path) = 0;

    // Runs the event loop until condition holds or a generous limit passes; returns condition().
    // The limit only keeps a broken build from hanging: nothing asserts on the time taken.
    virtual bool waitFor(const std::function<bool()> &condition) = 0;

    // The user's actions, made with the real input path (mouse and keys on the view).
    // frameIndex: -1 for an element of the top document, else the index in window.frames.
    virtual void click(BrowserControl &control, const QString &elementId, Qt::MouseButton button,
                       Qt::KeyboardModifiers modifiers, int frameIndex = -1) = 0;
    // The click again while done() does not hold: a frame may drop the first input for a
    // while after it was drawn. For clicks whose effect can be repeated.
    virtual bool clickUntil(BrowserControl &control, const QString &elementId,
                            Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int frameIndex,
                            const std::function<bool()> &done)
    {
        click(control, elementId, button, modifiers, frameIndex);
        return waitFor(done);
    }
    virtual void contextClick(BrowserControl &control, const QString &elementId) = 0;
    // Press and release of one key, delivered to whatever has the focus in the page.
    virtual void pressKey(BrowserControl &control, int qtKey,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                          const QString &text = QString()) = 0;
    // One wheel turn over the element (delta 120 per notch, > 0 away from the user).
    virtual void wheel(BrowserControl &control, const QString &elementId, int delta,
                       Qt::KeyboardModifiers modifiers = Qt::NoModifier) = 0;
    virtual void runPageScript(BrowserControl &control, PageScript script,
                               const QString &argument = QString()) = 0;
    // The user selects the element's contents (frameIndex as for click).
    virtual void selectContents(BrowserControl &control, const QString &elementId,
                                int frameIndex = -1) = 0;
    // What the frame's document shows: its body's zoom, or the texts of its FONT elements
    // joined by '|'.
    enum class FrameProbe { BodyZoom, FontTexts };
    virtual QString frameProbe(BrowserControl &control, int frameIndex, FrameProbe probe) = 0;
};

// Records what a control and its document report, and answers with the verdicts set on it.
class ContractRecorder : public BrowserControlListener, public DocumentListener
{
public:
    struct Event
    {
        QString name; // "beforeNavigate", "navigateComplete", "readyState:complete", ...
        QUrl url;
        bool isTopFrame = true;
    };

    explicit ContractRecorder(BrowserControl &control);
    ~ContractRecorder() override;

    // Verdicts.
    std::function<bool(const BeforeNavigateInfo &)> cancelNavigation; // null: allow all
    std::function<BrowserControl *(const NewWindowInfo &)> newWindowTarget;
    bool keepWindowOnClose = true;
    bool consumeWheel = false;

    QList<Event> events;
    QList<BeforeNavigateInfo> navigations;
    QList<NewWindowInfo> newWindows;
    QList<std::pair<QUrl, qint32>> errors;
    QStringList titles;
    QList<KeyInfo> keyPresses;
    QList<KeyInfo> keyReleases;
    QList<WheelInfo> wheels;
    QList<ContextMenuInfo> contextMenus;
    QList<DomEvent> domEvents;
    QList<FrameDocumentInfo> frames;
    int closeRequests = 0;
    QList<std::pair<bool, bool>> commandStates;

    // Index of the first event with that name (and URL, when given) after from; -1 if none.
    int indexOf(const QString &name, const QUrl &url = QUrl(), int from = 0) const;
    bool has(const QString &name, const QUrl &url = QUrl()) const
    {
        return indexOf(name, url) >= 0;
    }
    QList<DomEvent> domEventsOf(DomEventType type) const;
    void clear();

    // BrowserControlListener
    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override;
    BrowserControl *newWindowRequested(BrowserControl &, const NewWindowInfo &info) override;
    void navigateComplete(BrowserControl &, const QUrl &url, bool isTop) override
    {
        events.append({QStringLiteral("navigateComplete"), url, isTop});
    }
    void documentComplete(BrowserControl &, const QUrl &url, bool isTop) override
    {
        events.append({QStringLiteral("documentComplete"), url, isTop});
    }
    void downloadBegin(BrowserControl &) override
    {
        events.append({QStringLiteral("downloadBegin"), {}, true});
    }
    void downloadComplete(BrowserControl &) override
    {
        events.append({QStringLiteral("downloadComplete"), {}, true});
    }
    void readyStateChanged(BrowserControl &, ReadyState state) override;
    bool navigateError(BrowserControl &, const QUrl &url, qint32 statusCode, const QString &,
                       bool isTopFrame) override;
    void titleChanged(BrowserControl &, const QString &title) override
    {
        events.append({QStringLiteral("title"), {}, true});
        titles.append(title);
    }
    void commandStateChanged(BrowserControl &, bool back, bool forward) override
    {
        commandStates.append({back, forward});
    }
    bool windowClosing(BrowserControl &) override { return ++closeRequests, keepWindowOnClose; }
    bool keyPressed(BrowserControl &, const KeyInfo &key) override
    {
        return keyPresses.append(key), false;
    }
    bool keyReleased(BrowserControl &, const KeyInfo &key) override
    {
        return keyReleases.append(key), false;
    }
    bool wheelEvent(BrowserControl &, const WheelInfo &w) override
    {
        return wheels.append(w), consumeWheel;
    }
    bool contextMenuRequested(BrowserControl &, const ContextMenuInfo &info) override
    {
        return contextMenus.append(info), false;
    }

    // DocumentListener
    void domEvent(const DomEvent &event) override;
    void frameDocumentComplete(const FrameDocumentInfo &frame) override;

private:
    BrowserControl &m_control;
};

// The checks, grouped by what the program builds on. Each one uses a fresh harness and
// reports through QtTest (QVERIFY/QCOMPARE), so it is called from a test slot.
namespace BrowserContract {

// A load: beforeNavigate first, then download begin, navigate complete, the ready states,
// download complete, document complete, and the title after the commit; a cancelled one
// loads nothing. A server redirect is part of its request (no beforeNavigate of its own); a
// meta refresh is the document's own navigation of kind Redirect.
void checkNavigationEventOrder(ContractHarness &h);
void checkCancelledNavigation(ContractHarness &h);
void checkRedirect(ContractHarness &h);
// 404 with and without a body, 500: navigateError with the status code, then the load ends.
void checkFailedLoadStatusCodes(ContractHarness &h);
// Extra headers, the POST body, the user agent and the per-host header rules reach the server;
// header lines that could inject a header are refused.
void checkRequestHeadersAndBody(ContractHarness &h);
// Plain, Ctrl, Shift, middle and target=_blank clicks reach beforeNavigate with their flags;
// what loads where when nobody cancels; a script pop-up is a new-window request not asked by
// the user.
void checkClickKinds(ContractHarness &h);
void checkNewWindowRequests(ContractHarness &h);
// A form posts its fields, also into a new window.
void checkFormSubmission(ContractHarness &h);
// The shared navigation policy as a table; command links and the program's pages in any
// spelling are not reported at all from web content; in a written page a command link is
// reported as the program's own.
void checkNavigationPolicy(ContractHarness &h);
// While offline a load fails as the server could not be reached, and asks it nothing.
void checkOffline(ContractHarness &h);
// Snapshot after load, writes by id or handle read back by queries, query callbacks never run
// inside the call; text stays text; scrolling and paging stay within the page.
void checkDocumentSnapshotAndWrites(ContractHarness &h);
// DOM events with their source element; event rules cancel the default action.
void checkDomEvents(ContractHarness &h);
// After the page rewrites itself with document.write, its events still arrive.
void checkEventsAfterDocumentWrite(ContractHarness &h);
// Frame documents of the page's origin are reported when complete, before the page, under
// their frame element, also after the frame moved on; their events carry the frame's index;
// highlighting and zoom reach the document meant and no other; a selection in a frame comes
// with its links absolute.
void checkFrameDocuments(ContractHarness &h);
// Keys reach the program before the page, also from a page that takes every key; typing into
// a text field does not.
void checkKeys(ContractHarness &h);
void checkWheelAndContextMenu(ContractHarness &h);
void checkWindowClose(ContractHarness &h);
void checkBackForward(ContractHarness &h);
// A written page: no beforeNavigate, a written-page address, its content readable by id,
// no size limit, Back returns to the page before.
void checkWrittenPage(ContractHarness &h);
// A frozen page wakes as it was; a discarded one loads again when it wakes; a navigation of
// a sleeping page loads only its new address.
void checkSleepAndWake(ContractHarness &h);

} // namespace BrowserContract

// The checks as test slots of a class with run(check); both sides list the same ones.
// clang-format off
#define SKL_CONTRACT_SLOTS \
    void navigationEventOrder() { run(BrowserContract::checkNavigationEventOrder); } \
    void cancelledNavigation() { run(BrowserContract::checkCancelledNavigation); } \
    void redirect() { run(BrowserContract::checkRedirect); } \
    void failedLoadStatusCodes() { run(BrowserContract::checkFailedLoadStatusCodes); } \
    void requestHeadersAndBody() { run(BrowserContract::checkRequestHeadersAndBody); } \
    void clickKinds() { run(BrowserContract::checkClickKinds); } \
    void newWindowRequests() { run(BrowserContract::checkNewWindowRequests); } \
    void formSubmission() { run(BrowserContract::checkFormSubmission); } \
    void navigationPolicy() { run(BrowserContract::checkNavigationPolicy); } \
    void offline() { run(BrowserContract::checkOffline); } \
    void documentSnapshotAndWrites() { run(BrowserContract::checkDocumentSnapshotAndWrites); } \
    void domEvents() { run(BrowserContract::checkDomEvents); } \
    void eventsAfterDocumentWrite() { run(BrowserContract::checkEventsAfterDocumentWrite); } \
    void frameDocuments() { run(BrowserContract::checkFrameDocuments); } \
    void keys() { run(BrowserContract::checkKeys); } \
    void wheelAndContextMenu() { run(BrowserContract::checkWheelAndContextMenu); } \
    void windowClose() { run(BrowserContract::checkWindowClose); } \
    void backForward() { run(BrowserContract::checkBackForward); } \
    void writtenPage() { run(BrowserContract::checkWrittenPage); } \
    void sleepAndWake() { run(BrowserContract::checkSleepAndWake); }
// clang-format on
