#include "BrowserContract.h"

#include "platform/NavigationPolicy.h"

#include "platform/PageWriter.h"

#include <QtTest>
#include <algorithm>

// ---- ServedRequest ----

QByteArray ServedRequest::header(const QByteArray &name) const
{
    for (const auto &[headerName, value] : headers) {
        if (headerName.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QByteArray();
}

// ---- ContractRecorder ----

ContractRecorder::ContractRecorder(BrowserControl &control) : m_control(control)
{
    control.setListener(this);
    control.document().setListener(this);
}

ContractRecorder::~ContractRecorder()
{
    m_control.setListener(nullptr);
    m_control.document().setListener(nullptr);
}

int ContractRecorder::indexOf(const QString &name, const QUrl &url, int from) const
{
    for (int i = std::max(0, from); i < events.size(); ++i) {
        if (events[i].name == name && (url.isEmpty() || events[i].url == url))
            return i;
    }
    return -1;
}

QList<DomEvent> ContractRecorder::domEventsOf(DomEventType type) const
{
    QList<DomEvent> result;
    for (const DomEvent &event : domEvents) {
        if (event.type == type)
            result.append(event);
    }
    return result;
}

void ContractRecorder::clear()
{
    events.clear();
    navigations.clear();
    newWindows.clear();
    errors.clear();
    titles.clear();
    keyPresses.clear();
    keyReleases.clear();
    wheels.clear();
    contextMenus.clear();
    domEvents.clear();
    frames.clear();
    closeRequests = 0;
    commandStates.clear();
}

bool ContractRecorder::beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info)
{
    events.append({QStringLiteral("beforeNavigate"), info.url, info.isTopFrame});
    navigations.append(info);
    return cancelNavigation ? cancelNavigation(info) : false;
}

BrowserControl *ContractRecorder::newWindowRequested(BrowserControl &, const NewWindowInfo &info)
{
    events.append({QStringLiteral("newWindow"), info.url, true});
    newWindows.append(info);
    return newWindowTarget ? newWindowTarget(info) : nullptr;
}

void ContractRecorder::readyStateChanged(BrowserControl &, ReadyState state)
{
    static const char *names[] = {"uninitialized", "loading", "interactive", "complete"};
    events.append({QStringLiteral("readyState:") + QLatin1String(names[int(state)]), {}, true});
}

bool ContractRecorder::navigateError(BrowserControl &, const QUrl &url, qint32 statusCode,
                                     const QString &, bool isTopFrame)
{
    events.append({QStringLiteral("navigateError"), url, isTopFrame});
    errors.append({url, statusCode});
    return false;
}

void ContractRecorder::domEvent(const DomEvent &event)
{
    domEvents.append(event);
}

void ContractRecorder::frameDocumentComplete(const FrameDocumentInfo &frame)
{
    events.append({QStringLiteral("frameComplete"), frame.url, false});
    frames.append(frame);
}

// ---- the checks ----

namespace {

const Qt::KeyboardModifiers kNone = Qt::NoModifier;

QString pageHtml(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html><head><title>") + title +
           QStringLiteral("</title></head><body>") + body + QStringLiteral("</body></html>");
}

// Serves a page of that title and body at path; returns its address.
QUrl servePage(ContractHarness &h, const QString &path, const QString &title, const QString &body)
{
    return h.serve(path, ServedResponse::page(pageHtml(title, body)));
}

// Loaded: the download ended, then the document completed.
bool loaded(const ContractRecorder &rec, const QUrl &url)
{
    const int done = rec.indexOf(QStringLiteral("documentComplete"), url);
    if (done < 0 || !rec.events[done].isTopFrame)
        return false;
    for (int i = done - 1; i >= 0; --i) {
        if (rec.events[i].name == QLatin1String("downloadComplete"))
            return true;
    }
    return false;
}

bool load(ContractHarness &h, ContractRecorder &rec, const QUrl &url)
{
    rec.clear();
    if (!h.control().navigate(url))
        return false;
    return h.waitFor([&] { return loaded(rec, url); });
}

std::optional<ElementSnapshot> readElement(ContractHarness &h, const ElementRef &ref)
{
    bool answered = false;
    std::optional<ElementSnapshot> result;
    h.control().document().queryElement(ref, [&](const std::optional<ElementSnapshot> &s) {
        answered = true;
        result = s;
    });
    if (!h.waitFor([&] { return answered; }))
        return std::nullopt;
    return result;
}

QList<ElementSnapshot> selectAll(ContractHarness &h, const QString &selector)
{
    bool answered = false;
    QList<ElementSnapshot> result;
    h.control().document().querySelectorAll(selector, [&](const QList<ElementSnapshot> &found) {
        answered = true;
        result = found;
    });
    return h.waitFor([&] { return answered; }) ? result : QList<ElementSnapshot>();
}

const BeforeNavigateInfo *findNavigation(const ContractRecorder &rec, const QUrl &url)
{
    for (const BeforeNavigateInfo &info : rec.navigations) {
        if (info.url == url)
            return &info;
    }
    return nullptr;
}

bool hasDomEvent(const ContractRecorder &rec, DomEventType type, const QString &sourceId)
{
    for (const DomEvent &event : rec.domEvents) {
        if (event.type == type && event.source.id == sourceId)
            return true;
    }
    return false;
}

DomEvent domEventFrom(const ContractRecorder &rec, DomEventType type, const QString &sourceId)
{
    for (const DomEvent &event : rec.domEvents) {
        if (event.type == type && event.source.id == sourceId)
            return event;
    }
    return DomEvent();
}

// Block-sized links, so that a real mouse finds them.
const char kLinkStyle[] = "<style>a,div{display:block;height:40px;margin:4px}</style>";

} // namespace

namespace BrowserContract {

void checkNavigationEventOrder(ContractHarness &h)
{
    const QUrl url = servePage(h, "/order.htm", "Order", "<p>text</p>");
    ContractRecorder rec(h.control());
    QVERIFY(h.control().navigate(url));
    QVERIFY(h.waitFor([&] { return loaded(rec, url) && rec.titles.contains("Order"); }));

    QCOMPARE(rec.events.first().name, QStringLiteral("beforeNavigate"));
    const BeforeNavigateInfo &nav = rec.navigations.first();
    QCOMPARE(nav.url, url);
    QCOMPARE(nav.kind, NavigationKind::Program);
    QVERIFY(nav.isTopFrame);
    QVERIFY(!nav.linkClicked);

    const int begin = rec.indexOf(QStringLiteral("downloadBegin"));
    const int committed = rec.indexOf(QStringLiteral("navigateComplete"), url);
    const int interactive = rec.indexOf(QStringLiteral("readyState:interactive"));
    const int complete = rec.indexOf(QStringLiteral("readyState:complete"));
    const int documentDone = rec.indexOf(QStringLiteral("documentComplete"), url);
    const int downloadDone = rec.indexOf(QStringLiteral("downloadComplete"), QUrl(), committed);
    const int title = rec.indexOf(QStringLiteral("title"));
    QVERIFY2(begin > 0 && begin < committed, "download begins before the commit");
    QVERIFY2(committed < interactive && interactive < complete, "ready states after the commit");
    QVERIFY2(committed < downloadDone && downloadDone < documentDone,
             "download complete, then document complete");
    QCOMPARE(rec.indexOf(QStringLiteral("downloadComplete")), downloadDone);
    QVERIFY2(title > committed, "the new document's titles arrive after its commit");

    QCOMPARE(h.control().locationUrl(), url);
    QVERIFY(!h.control().isLoading());
    const DocumentSnapshot snap = h.control().document().snapshot();
    QCOMPARE(snap.readyState, ReadyState::Complete);
    QCOMPARE(snap.title, QStringLiteral("Order"));
    QCOMPARE(snap.url, url);
}

void checkCancelledNavigation(ContractHarness &h)
{
    const QUrl first = servePage(h, "/first.htm", "First", "first");
    const QUrl refused = servePage(h, "/refused.htm", "Refused", "no");
    const QUrl after = servePage(h, "/after.htm", "After", "after");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, first));

    rec.clear();
    rec.cancelNavigation = [&](const BeforeNavigateInfo &info) { return info.url == refused; };
    QVERIFY(h.control().navigate(refused));
    QVERIFY(h.waitFor([&] { return rec.has(QStringLiteral("beforeNavigate"), refused); }));

    // A load in another control gives a wrongly started load time to reach the server,
    // without replacing it the way a new navigation of this control would.
    std::unique_ptr<BrowserControl> other = h.createControl();
    ContractRecorder otherRec(*other);
    QVERIFY(other->navigate(after));
    QVERIFY(h.waitFor([&] { return loaded(otherRec, after); }));
    QVERIFY(h.requests(QStringLiteral("/refused.htm")).isEmpty());
    QVERIFY(!rec.has(QStringLiteral("navigateComplete"), refused));
    QVERIFY(!rec.has(QStringLiteral("downloadBegin")));
    QCOMPARE(h.control().locationUrl(), first);
}

void checkRedirect(ContractHarness &h)
{
    const QUrl target = servePage(h, "/landing.htm", "Landing", "landed");
    const QUrl from = h.serve(QStringLiteral("/moved.htm"), ServedResponse::redirect(target));
    ContractRecorder rec(h.control());
    QVERIFY(h.control().navigate(from));
    QVERIFY(h.waitFor([&] { return loaded(rec, target); }));

    QCOMPARE(h.control().locationUrl(), target);
    // A server redirect belongs to its request: one beforeNavigate, for the address asked.
    QCOMPARE(rec.navigations.size(), 1);
    QCOMPARE(rec.navigations.first().url, from);
    QCOMPARE(rec.navigations.first().kind, NavigationKind::Program);
    QVERIFY(rec.has(QStringLiteral("navigateComplete"), target));
    QVERIFY(!rec.has(QStringLiteral("navigateComplete"), from));
    QCOMPARE(h.requests(QStringLiteral("/moved.htm")).size(), 1);
    QCOMPARE(h.requests(QStringLiteral("/landing.htm")).size(), 1);

    // A meta refresh is the document's own navigation, reported as a redirect.
    const QUrl refresh = h.serve(
        QStringLiteral("/refresh.htm"),
        ServedResponse::page(QStringLiteral("<html><head><meta http-equiv=refresh "
                                            "content='0;url=/landing.htm'></head></html>")));
    rec.cancelNavigation = [](const BeforeNavigateInfo &info) {
        return info.kind == NavigationKind::Redirect;
    };
    QVERIFY(load(h, rec, refresh));
    QVERIFY(h.waitFor([&] { return rec.navigations.size() == 2; }));
    QCOMPARE(rec.navigations[1].url, target);
    QCOMPARE(rec.navigations[1].kind, NavigationKind::Redirect);
    QVERIFY(!rec.navigations[1].linkClicked);
    QCOMPARE(h.control().locationUrl(), refresh);
}

void checkFailedLoadStatusCodes(ContractHarness &h)
{
    struct Case
    {
        QString path;
        int status;
        QString body;
    };
    const QList<Case> cases{
        {QStringLiteral("/gone-with-body.htm"), 404,
         pageHtml("Not here", "<p id=custom>custom 404</p>")},
        {QStringLiteral("/gone-empty.htm"), 404, QString()},
        {QStringLiteral("/broken.htm"), 500, QStringLiteral("server trouble")},
    };
    ContractRecorder rec(h.control());
    for (const Case &c : cases) {
        const QUrl url = h.serve(c.path, ServedResponse::error(c.status, c.body));
        rec.clear();
        QVERIFY(h.control().navigate(url));
        const bool ended = h.waitFor([&] {
            const int error = rec.indexOf(QStringLiteral("navigateError"), url);
            return error >= 0 &&
                   rec.indexOf(QStringLiteral("downloadComplete"), QUrl(), error) >= 0;
        });
        QVERIFY2(ended, qPrintable(c.path));
        QCOMPARE(rec.errors.size(), 1);
        QCOMPARE(rec.errors.first().second, c.status);
        QVERIFY(rec.events[rec.indexOf(QStringLiteral("navigateError"), url)].isTopFrame);
        QVERIFY2(rec.indexOf(QStringLiteral("beforeNavigate"), url) <
                     rec.indexOf(QStringLiteral("navigateError"), url),
                 qPrintable(c.path));
    }
}

void checkRequestHeadersAndBody(ContractHarness &h)
{
    const QUrl posted = servePage(h, "/posted.htm", "Posted", "ok");
    const QUrl plain = servePage(h, "/plain.htm", "Plain", "ok");
    const QUrl never = servePage(h, "/never.htm", "Never", "no");
    ContractRecorder rec(h.control());
    h.control().setUserAgent(QStringLiteral("SkimlineContract/1.0"));
    h.control().setHostHeaderRules({{posted.host(), "X-Host-Rule", "yes"},
                                    {QStringLiteral("elsewhere.invalid"), "X-Other-Host", "no"}});

    rec.clear();
    QVERIFY(h.control().navigate(posted, QStringLiteral("X-Skl-Test: 42\r\nX-Second: two"),
                                 QByteArray("a=1&b=two+words")));
    QVERIFY(h.waitFor([&] { return loaded(rec, posted); }));
    QVERIFY(rec.navigations.first().isPost);
    QCOMPARE(rec.navigations.first().postData, QByteArray("a=1&b=two+words"));
    auto sent = h.requests(QStringLiteral("/posted.htm"));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().method, QByteArray("POST"));
    QCOMPARE(sent.first().body, QByteArray("a=1&b=two+words"));
    QCOMPARE(sent.first().header("x-skl-test"), QByteArray("42"));
    QCOMPARE(sent.first().header("X-Second"), QByteArray("two"));
    QVERIFY(sent.first().header("User-Agent").contains("SkimlineContract/1.0"));
    QCOMPARE(sent.first().header("X-Host-Rule"), QByteArray("yes"));
    QVERIFY(sent.first().header("X-Other-Host").isNull());

    QVERIFY(load(h, rec, plain));
    sent = h.requests(QStringLiteral("/plain.htm"));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.first().method, QByteArray("GET"));
    QVERIFY(sent.first().body.isEmpty());
    QVERIFY(sent.first().header("X-Skl-Test").isNull());

    // Lines that would smuggle a header or are no header at all: nothing is sent.
    for (const char *bad :
         {"X-Bad: a\rInjected: b", "X-A: 1\nX-B: 2", "X-A: 1\n", "X A: 1", "NoColonHere", ": 1"})
        QVERIFY2(!h.control().navigate(never, QString::fromLatin1(bad)), bad);
    QVERIFY(!h.control().navigate(QUrl()));
    QVERIFY(load(h, rec, posted));
    QVERIFY(h.requests(QStringLiteral("/never.htm")).isEmpty());
}

void checkClickKinds(ContractHarness &h)
{
    const QUrl target = servePage(h, "/clicked.htm", "Clicked", "target");
    const QUrl links =
        servePage(h, "/links.htm", "Links",
                  QLatin1String(kLinkStyle) +
                      QStringLiteral("<a id=plain href='/clicked.htm'>plain link</a>"
                                     "<a id=blank href='/clicked.htm' target=_blank>new</a>"));
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, links));
    rec.cancelNavigation = [](const BeforeNavigateInfo &info) { return info.linkClicked; };

    struct Case
    {
        const char *name;
        QString id;
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        WindowDisposition disposition;
        QString target;
    };
    using D = WindowDisposition;
    const QList<Case> cases{
        {"plain", "plain", Qt::LeftButton, kNone, D::CurrentWindow, {}},
        {"ctrl", "plain", Qt::LeftButton, Qt::ControlModifier, D::NewBackgroundTab, {}},
        {"shift", "plain", Qt::LeftButton, Qt::ShiftModifier, D::NewWindow, {}},
        {"middle", "plain", Qt::MiddleButton, kNone, D::NewBackgroundTab, {}},
        {"target=_blank", "blank", Qt::LeftButton, kNone, D::NewForegroundTab, "_blank"},
    };
    for (const Case &c : cases) {
        rec.clear();
        h.click(h.control(), c.id, c.button, c.modifiers);
        QVERIFY2(h.waitFor([&] { return !rec.navigations.isEmpty(); }), c.name);
        const BeforeNavigateInfo &nav = rec.navigations.first();
        QVERIFY2(nav.url == target, c.name);
        QVERIFY2(nav.kind == NavigationKind::LinkClicked, c.name);
        QVERIFY2(nav.linkClicked, c.name);
        QVERIFY2(nav.isTopFrame, c.name);
        QVERIFY2(nav.modifiers == c.modifiers, c.name);
        QVERIFY2(nav.button == c.button, c.name);
        QVERIFY2(nav.disposition == c.disposition, c.name);
        QVERIFY2(nav.targetFrameName == c.target, c.name);
        QVERIFY2(nav.source == NavigationSource::WebContent, c.name);
        QVERIFY2(rec.newWindows.isEmpty(), c.name);
    }
    QCOMPARE(h.control().locationUrl(), links);

    // In a frame: a frame's own link is its navigation; one that opens a window comes from
    // the top.
    const QUrl frames = servePage(h, "/link-frames.htm", "Frames",
                                  "<iframe src='/links.htm' width=600 height=300></iframe>");
    QVERIFY(load(h, rec, frames));
    for (const Case &c : cases.mid(0, 4)) {
        rec.clear();
        QVERIFY2(h.clickUntil(h.control(), c.id, c.button, c.modifiers, 0,
                              [&] { return !rec.navigations.isEmpty(); }),
                 c.name);
        const BeforeNavigateInfo &nav = rec.navigations.first();
        QVERIFY2(nav.url == target && nav.kind == NavigationKind::LinkClicked, c.name);
        QVERIFY2(nav.disposition == c.disposition, c.name);
        QVERIFY2(nav.isTopFrame == (c.disposition != WindowDisposition::CurrentWindow), c.name);
    }
    QCOMPARE(h.control().locationUrl(), frames);
}

void checkFormSubmission(ContractHarness &h)
{
    const QUrl submit = servePage(h, "/submit", "Sent", "sent");
    const QUrl form = servePage(h, "/form.htm", "Form",
                                "<form method=post action='/submit'><input name=q "
                                "value='hello world'><input type=hidden name=n value=42>"
                                "<input id=go type=submit value=Go style='height:40px'>"
                                "</form>");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, form));
    rec.clear();
    h.click(h.control(), QStringLiteral("go"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return loaded(rec, submit); }));
    QCOMPARE(rec.navigations.first().kind, NavigationKind::FormSubmitted);
    QCOMPARE(h.requests(QStringLiteral("/submit")).value(0).body, QByteArray("q=hello+world&n=42"));

    // Sent to a new window: the window handed back receives the same post.
    std::unique_ptr<BrowserControl> other = h.createControl();
    ContractRecorder otherRec(*other);
    QVERIFY(load(h, rec, form));
    rec.clear();
    rec.newWindowTarget = [&](const NewWindowInfo &) { return other.get(); };
    h.click(h.control(), QStringLiteral("go"), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(h.waitFor([&] { return loaded(otherRec, submit); }));
    QCOMPARE(rec.navigations.size(), 1);
    QCOMPARE(rec.navigations.first().kind, NavigationKind::FormSubmitted);
    QVERIFY(rec.navigations.first().isPost);
    const QList<ServedRequest> sent = h.requests(QStringLiteral("/submit"));
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.last().method, QByteArray("POST"));
    QCOMPARE(sent.last().body, QByteArray("q=hello+world&n=42"));
    QCOMPARE(h.control().locationUrl(), form);
}

void checkNewWindowRequests(ContractHarness &h)
{
    const QUrl target = servePage(h, "/opened.htm", "Opened", "opened");
    const QUrl links =
        servePage(h, "/openers.htm", "Openers",
                  QLatin1String(kLinkStyle) +
                      QStringLiteral("<a id=plain href='/opened.htm'>plain</a>"
                                     "<a id=blank href='/opened.htm' target=_blank>new</a>"));
    ContractRecorder rec(h.control());
    std::unique_ptr<BrowserControl> other = h.createControl();
    ContractRecorder otherRec(*other);

    // Not cancelled, a Ctrl-click (background tab) loads in the same control.
    QVERIFY(load(h, rec, links));
    h.click(h.control(), QStringLiteral("plain"), Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(h.waitFor([&] { return loaded(rec, target); }));
    QVERIFY(rec.newWindows.isEmpty());

    // target=_blank becomes a new-window request; the control handed back loads the page.
    QVERIFY(load(h, rec, links));
    rec.newWindowTarget = [&](const NewWindowInfo &) { return other.get(); };
    h.click(h.control(), QStringLiteral("blank"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return loaded(otherRec, target); }));
    QCOMPARE(rec.newWindows.size(), 1);
    QCOMPARE(rec.newWindows.first().url, target);
    QVERIFY(rec.newWindows.first().userInitiated);
    QCOMPARE(rec.newWindows.first().source, NavigationSource::WebContent);
    QCOMPARE(h.control().locationUrl(), links);
    QCOMPARE(other->locationUrl(), target);

    // Shift-click refused by returning no control: nothing loads anywhere.
    rec.clear();
    otherRec.clear();
    rec.newWindowTarget = nullptr;
    h.click(h.control(), QStringLiteral("plain"), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(h.waitFor([&] { return !rec.newWindows.isEmpty(); }));
    QCOMPARE(rec.newWindows.first().disposition, WindowDisposition::NewWindow);
    QVERIFY(rec.newWindows.first().userInitiated);

    // A script pop-up outside a user gesture is blocked: the click after it is the next
    // request.
    const QUrl popup = links.resolved(QUrl(QStringLiteral("/popup.htm")));
    h.runPageScript(h.control(), PageScript::OpenPopup, popup.toString());
    h.click(h.control(), QStringLiteral("plain"), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(h.waitFor([&] { return rec.newWindows.size() == 2; }));
    QCOMPARE(rec.newWindows.last().url, target);
    QVERIFY(h.requests(QStringLiteral("/popup.htm")).isEmpty());
    QCOMPARE(h.control().locationUrl(), links);
    QStringList late;
    for (const ContractRecorder::Event &e : otherRec.events)
        late << e.name + QLatin1Char(' ') + e.url.toString();
    QVERIFY2(otherRec.events.isEmpty(), qPrintable(late.join(QLatin1String(", "))));
}

// The navigation policy both controls follow, case by case, and what web content gets when
// it reaches for the program's pages or commands in any spelling.
void checkNavigationPolicy(ContractHarness &h)
{
    using K = NavigationKind;
    using S = NavigationSource;
    using V = NavigationVerdict;
    struct Row
    {
        const char *url;
        K kind;
        bool isMainFrame;
        S source;
        bool redirectOfOwnLoad;
        bool userAsked;
        bool newWindow;
        V expected;
    };
    const Row rows[] = {
        {"skl:dbm1", K::LinkClicked, true, S::ProgramPage, false, true, false, V::DeferCommand},
        {"skl:dbm1", K::LinkClicked, true, S::WebContent, false, true, false, V::Refuse},
        {"SKL:del3", K::Program, true, S::None, false, false, false, V::Refuse},
        {"https://a.test/", K::Program, true, S::WebContent, false, false, false, V::Proceed},
        {"SKL-APP://PAGES/Start.htm", K::LinkClicked, true, S::WebContent, false, true, false,
         V::Refuse},
        {"skl-app://pages/Start.htm", K::LinkClicked, true, S::ProgramPage, false, true, false,
         V::Ask},
        {"skl-app://pages/Start.htm", K::BackForward, true, S::WebContent, false, false, false,
         V::Refuse},
        {"skl-app://pages/Start.htm", K::BackForward, true, S::WebContent, false, true, false,
         V::Ask},
        {"skl-app://pages/Start.htm", K::Reload, true, S::None, false, false, false, V::Proceed},
        {"skl-app://pages/Start.htm", K::Redirect, true, S::None, true, false, false, V::Refuse},
        {"https://a.test/b", K::Redirect, true, S::None, true, false, false, V::Proceed},
        {"https://a.test/b", K::Redirect, true, S::WebContent, false, false, false, V::Ask},
        {"skl-app://pages/Start.htm", K::Other, true, S::WebContent, false, true, true, V::Refuse},
        {"skl:dbm1", K::LinkClicked, true, S::ProgramPage, false, true, true, V::DeferCommand},
        {"https://a.test/b", K::Other, true, S::WebContent, false, false, true, V::Ask},
    };
    for (const Row &row : rows) {
        NavigationRequest r;
        r.url = QUrl(QString::fromLatin1(row.url));
        r.kind = row.kind;
        r.isMainFrame = row.isMainFrame;
        r.source = row.source;
        r.redirectOfOwnLoad = row.redirectOfOwnLoad;
        r.userAsked = row.userAsked;
        r.newWindow = row.newWindow;
        QVERIFY2(navigationVerdict(r) == row.expected, row.url);
    }

    const char *const reached[] = {"skl:dbm1", "SKL:Del3", "skl-app://pages/Start.htm",
                                   "SKL-APP://PAGES/Start.htm", "skl-app://other/x.htm"};
    QString body = QLatin1String(kLinkStyle);
    for (int i = 0; i < int(std::size(reached)); ++i)
        body += QStringLiteral("<a id=l%1 href='%2'>%2</a>").arg(i).arg(QLatin1String(reached[i]));
    body += QStringLiteral("<a id=next href='/after-commands.htm'>next</a>");
    const QUrl web = servePage(h, "/commands.htm", "Cmd", body);
    const QUrl after = servePage(h, "/after-commands.htm", "After", "after");
    const QUrl command(QStringLiteral("skl:dbm1"));
    ContractRecorder rec(h.control());
    rec.cancelNavigation = [](const BeforeNavigateInfo &info) {
        return ProgramPages::isCommandLink(info.url);
    };

    // In web content none of them is even reported, clicked or set by script. The plain
    // link clicked after them shows that their clicks were handled.
    QVERIFY(load(h, rec, web));
    rec.clear();
    for (int i = 0; i < int(std::size(reached)); ++i)
        h.click(h.control(), QStringLiteral("l%1").arg(i), Qt::LeftButton, kNone);
    h.runPageScript(h.control(), PageScript::SetLocation, QStringLiteral("SKL-APP://pages/x.htm"));
    h.runPageScript(h.control(), PageScript::OpenPopup,
                    QStringLiteral("skl-app://pages/Start.htm"));
    h.click(h.control(), QStringLiteral("next"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return loaded(rec, after); }));
    QCOMPARE(rec.navigations.size(), 1);
    QCOMPARE(rec.navigations.first().url, after);
    QVERIFY(rec.newWindows.isEmpty());
    QCOMPARE(rec.indexOf(QStringLiteral("navigateComplete")),
             rec.indexOf(QStringLiteral("navigateComplete"), after));

    // The same link in a page the program wrote is the program's own.
    rec.clear();
    const QUrl written = h.control().pageWriter().writePage(pageHtml("Own", body), "Own.htm");
    QVERIFY(h.waitFor([&] { return loaded(rec, written); }));
    rec.clear();
    h.click(h.control(), QStringLiteral("l0"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return findNavigation(rec, command) != nullptr; }));
    QCOMPARE(findNavigation(rec, command)->source, NavigationSource::ProgramPage);
    QCOMPARE(h.control().locationUrl(), written);
}

void checkOffline(ContractHarness &h)
{
    const QUrl url = servePage(h, "/online.htm", "Online", "here");
    ContractRecorder rec(h.control());
    h.control().setOffline(true);
    QVERIFY(h.control().navigate(url));
    QVERIFY(h.waitFor([&] { return !rec.errors.isEmpty(); }));
    QCOMPARE(rec.errors.first().second, NavErrorCode::CannotConnect);
    QVERIFY(h.requests(QStringLiteral("/online.htm")).isEmpty());
    h.control().setOffline(false);
    QVERIFY(load(h, rec, url));
    QCOMPARE(h.requests(QStringLiteral("/online.htm")).size(), 1);
}

void checkDocumentSnapshotAndWrites(ContractHarness &h)
{
    servePage(h, "/frame-blank.htm", "F", "frame");
    const QUrl url =
        h.serve(QStringLiteral("/snapshot.htm"),
                ServedResponse::page(QStringLiteral(
                    "<!DOCTYPE html><html><head><title>Snap</title>"
                    "<meta name=description content='About it'><meta name=keywords content='k1,k2'>"
                    "</head><body style='height:3000px'><h1>Heading</h1><h2>Second</h2>"
                    "<div id=box class=c1>old</div><a id=l1 href='/x.htm'>x</a>"
                    "<a href='/y.htm'>y</a><img src='/none.png'><form id=f action='/go'>"
                    "<input id=t name=t value=v disabled><input type=checkbox id=c name=c></form>"
                    "<iframe src='/frame-blank.htm'></iframe><ul id=list><li>one</li></ul>"
                    "</body></html>")));
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, url));
    Document &doc = h.control().document();
    QVERIFY(h.waitFor([&] { return doc.snapshot().readyState == ReadyState::Complete; }));
    const DocumentSnapshot snap = doc.snapshot();
    QCOMPARE(snap.title, QStringLiteral("Snap"));
    QCOMPARE(snap.url, url);
    QCOMPARE(snap.metaDescription, QStringLiteral("About it"));
    QCOMPARE(snap.metaKeywords, QStringLiteral("k1,k2"));
    QCOMPARE(snap.linkCount, 2);
    QCOMPARE(snap.imageCount, 1);
    QCOMPARE(snap.formCount, 1);
    QCOMPARE(snap.iframeCount, 1);
    QCOMPARE(snap.frameElementCount, 0);
    QCOMPARE(snap.compatMode, QStringLiteral("CSS1Compat"));

    doc.setInnerHTML(QStringLiteral("box"),
                     QStringLiteral("<b id=bold>new &amp; <i>nested</i></b>"));
    doc.setStyle(QStringLiteral("box"), QStringLiteral("background-color"), QStringLiteral("red"));
    doc.setAttribute(QStringLiteral("box"), QStringLiteral("title"), QStringLiteral("tip"));
    doc.setAttribute(QStringLiteral("t"), QStringLiteral("disabled"), QString());
    doc.setValue(QStringLiteral("t"), QStringLiteral("typed"));
    doc.setChecked(QStringLiteral("c"), true);
    doc.insertAdjacentHTML(QStringLiteral("list"), QStringLiteral("beforeEnd"),
                           QStringLiteral("<li id=two>two</li>"));
    doc.setOuterHTML(QStringLiteral("l1"), QStringLiteral("<span id=repl>r</span>"));
    doc.setInnerHTML(QStringLiteral("no-such-element"), QStringLiteral("ignored"));

    // Answers never come inside the call.
    bool answeredInside = false;
    bool answered = false;
    doc.queryElement(QStringLiteral("bold"),
                     [&](const std::optional<ElementSnapshot> &) { answered = true; });
    answeredInside = answered;
    QVERIFY(!answeredInside);
    QVERIFY(h.waitFor([&] { return answered; }));

    const auto bold = readElement(h, QStringLiteral("bold"));
    QVERIFY(bold);
    QCOMPARE(bold->tagName, QStringLiteral("B"));
    QCOMPARE(bold->text, QStringLiteral("new & nested"));
    const auto box = readElement(h, QStringLiteral("box"));
    QVERIFY(box);
    QVERIFY(box->styleText.contains(QStringLiteral("background-color: red")));
    QCOMPARE(box->className, QStringLiteral("c1"));
    const auto field = readElement(h, QStringLiteral("t"));
    QVERIFY(field);
    QCOMPARE(field->value, QStringLiteral("typed"));
    QVERIFY(field->isEditable);
    QCOMPARE(field->type, QStringLiteral("text"));
    const auto box2 = readElement(h, QStringLiteral("c"));
    QVERIFY(box2 && box2->checked);
    QVERIFY(!readElement(h, QStringLiteral("l1")));
    QVERIFY(readElement(h, QStringLiteral("repl")));

    const QList<ElementSnapshot> items = selectAll(h, QStringLiteral("#list li"));
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[1].id, QStringLiteral("two"));

    QList<LinkInfo> links;
    QList<FormInfo> forms;
    QString outer;
    int answers = 0;
    doc.queryLinks([&](const QList<LinkInfo> &l) { links = l, ++answers; });
    doc.queryForms([&](const QList<FormInfo> &f) { forms = f, ++answers; });
    doc.queryOuterHTML([&](const QString &html) { outer = html, ++answers; });
    QVERIFY(h.waitFor([&] { return answers == 3; }));
    QList<LinkInfo> topLinks;
    for (const LinkInfo &link : links) {
        if (link.frameIndex < 0)
            topLinks.append(link);
    }
    QCOMPARE(topLinks.size(), 1);
    QCOMPARE(topLinks.first().href, url.resolved(QUrl("/y.htm")).toString());
    QCOMPARE(topLinks.first().innerHTML, QStringLiteral("y"));
    QCOMPARE(forms.size(), 1);
    QCOMPARE(forms.first().method, QStringLiteral("get"));
    QCOMPARE(forms.first().action, url.resolved(QUrl("/go")).toString());
    QCOMPARE(forms.first().fields.size(), 2);
    QCOMPARE(forms.first().fields[0].value, QStringLiteral("typed"));
    QVERIFY(forms.first().fields[1].checked);
    QVERIFY(outer.contains(QStringLiteral("<span id=\"repl\">r</span>")));
    QVERIFY(outer.contains(QStringLiteral("title=\"tip\"")));
    QVERIFY(!outer.contains(QStringLiteral("disabled")));
    // Text is text, not markup; an element without an id is reached by its handle; a CSS
    // rule joins the page's sheets.
    doc.setInnerText(QStringLiteral("repl"), QStringLiteral("<b>not markup</b>"));
    doc.addCssRule(QStringLiteral(".c1"), QStringLiteral("color: red"));
    QList<HeadingInfo> headings;
    QList<StyleSheetInfo> sheets;
    answers = 0;
    doc.queryHeadings([&](const QList<HeadingInfo> &found) { headings = found, ++answers; });
    doc.queryStyleSheets([&](const QList<StyleSheetInfo> &found) { sheets = found, ++answers; });
    QVERIFY(h.waitFor([&] { return answers == 2; }));
    QCOMPARE(readElement(h, QStringLiteral("repl"))->text, QStringLiteral("<b>not markup</b>"));
    QVERIFY(std::any_of(sheets.begin(), sheets.end(), [](const StyleSheetInfo &s) {
        return s.text.contains(QStringLiteral(".c1 { color: red; }"));
    }));
    QCOMPARE(headings.size(), 2);
    QCOMPARE(headings[1].level, 2);
    doc.setInnerText(ElementRef::fromHandle(headings[1].handle), QStringLiteral("Renamed"));
    QCOMPARE(selectAll(h, QStringLiteral("h2")).value(0).text, QStringLiteral("Renamed"));

    // Scrolling stays within the page; a page down moves by the visible height less overlap.
    doc.scrollTo(0, 1000000);
    QVERIFY(h.waitFor([&] {
        const DocumentSnapshot s = doc.snapshot();
        return s.scrollTop > 0 && s.scrollTop == s.scrollHeight - s.clientHeight;
    }));
    doc.scrollTo(0, 0);
    QVERIFY(h.waitFor([&] { return doc.snapshot().scrollTop == 0; }));
    doc.scrollFramePage(1, 40, std::nullopt);
    QVERIFY(
        h.waitFor([&] { return doc.snapshot().scrollTop == doc.snapshot().clientHeight - 40; }));
}

void checkDomEvents(ContractHarness &h)
{
    const QUrl target = servePage(h, "/event-target.htm", "T", "t");
    const QUrl url =
        servePage(h, "/events.htm", "Events",
                  QLatin1String(kLinkStyle) +
                      QStringLiteral("<a id=lnk class=k href='/event-target.htm'>"
                                     "<span id=inner>inner text</span></a>"
                                     "<div id=plainDiv class='p q'>plain</div>"
                                     "<a id=blocked class=block href='/blocked.htm'>no</a>"));
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, url));
    rec.cancelNavigation = [](const BeforeNavigateInfo &info) { return info.linkClicked; };
    EventRule block;
    block.type = DomEventType::Click;
    block.selector = QStringLiteral("a.block");
    h.control().document().setEventRules({block});

    h.click(h.control(), QStringLiteral("plainDiv"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return hasDomEvent(rec, DomEventType::Click, "plainDiv"); }));
    DomEvent click = domEventFrom(rec, DomEventType::Click, QStringLiteral("plainDiv"));
    QCOMPARE(click.source.tagName, QStringLiteral("DIV"));
    QCOMPARE(click.source.className, QStringLiteral("p q"));
    QCOMPARE(click.source.text, QStringLiteral("plain"));
    QCOMPARE(click.frameIndex, -1);
    QCOMPARE(click.modifiers, kNone);
    QVERIFY(!click.defaultPrevented);

    // An element inside a link names the link; the click goes on to navigate.
    h.click(h.control(), QStringLiteral("inner"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] {
        return hasDomEvent(rec, DomEventType::Click, "inner") && findNavigation(rec, target);
    }));
    click = domEventFrom(rec, DomEventType::Click, QStringLiteral("inner"));
    QCOMPARE(click.source.tagName, QStringLiteral("SPAN"));
    QCOMPARE(click.source.linkHref, target.toString());
    QVERIFY(click.source.href.isEmpty());

    // A click that an event rule cancels reports the event and does not navigate.
    h.click(h.control(), QStringLiteral("blocked"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return hasDomEvent(rec, DomEventType::Click, "blocked"); }));
    QVERIFY(domEventFrom(rec, DomEventType::Click, QStringLiteral("blocked")).defaultPrevented);
    rec.domEvents.clear();
    h.click(h.control(), QStringLiteral("plainDiv"), Qt::LeftButton, Qt::ControlModifier);
    QVERIFY(h.waitFor([&] { return hasDomEvent(rec, DomEventType::Click, "plainDiv"); }));
    QCOMPARE(domEventFrom(rec, DomEventType::Click, QStringLiteral("plainDiv")).modifiers,
             Qt::KeyboardModifiers(Qt::ControlModifier));
    QVERIFY(!findNavigation(rec, url.resolved(QUrl("/blocked.htm"))));
}

void checkEventsAfterDocumentWrite(ContractHarness &h)
{
    const QUrl url = servePage(h, "/rewrite.htm", "Before", "<div id=old>old</div>");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, url));
    h.runPageScript(h.control(), PageScript::DocumentWrite,
                    QStringLiteral("<html><head><title>After</title></head><body>") +
                        QLatin1String(kLinkStyle) +
                        QStringLiteral("<div id=fresh>fresh</div></body></html>"));
    QVERIFY(h.waitFor([&] { return readElement(h, QStringLiteral("fresh")).has_value(); }));
    h.click(h.control(), QStringLiteral("fresh"), Qt::LeftButton, kNone);
    QVERIFY(h.waitFor([&] { return hasDomEvent(rec, DomEventType::Click, "fresh"); }));
    QVERIFY(!readElement(h, QStringLiteral("old")));
}

void checkFrameDocuments(ContractHarness &h)
{
    using P = ContractHarness::FrameProbe;
    const QUrl a =
        h.serve(QStringLiteral("/fr/a.htm"),
                ServedResponse::page(
                    pageHtml("A", QLatin1String(kLinkStyle) +
                                      QStringLiteral("<p id=para>alpha words <a href='one.htm'>"
                                                     "one</a></p><a id=toB href='b.htm'>b</a>"))));
    const QUrl b = servePage(
        h, "/fr/b.htm", "B",
        QStringLiteral("<p>beta words</p><div id=inB class=b>%1</div>").arg(QString(200, u'b')));
    QUrl foreign = servePage(h, "/fr/c.htm", "C", "c");
    foreign.setHost(QStringLiteral("localhost"));
    const QUrl top =
        servePage(h, "/fr/top.htm", "Top",
                  QStringLiteral("<p>top words</p><iframe src='a.htm' width=400 height=300>"
                                 "</iframe><iframe src='%1'></iframe>")
                      .arg(foreign.toString()));
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, top));
    QCOMPARE(rec.frames.size(), 1);
    const FrameDocumentInfo fa = rec.frames.first();
    QCOMPARE(fa.url, a);
    QCOMPARE(fa.frameIndex, 0);
    QVERIFY(fa.bodyTextLength >= 11);
    QVERIFY(!fa.frame.isNull());
    QVERIFY(rec.indexOf(QStringLiteral("frameComplete"), a) <
            rec.indexOf(QStringLiteral("documentComplete"), top));

    // A selection in the frame: its links resolve against the frame's address.
    Document &doc = h.control().document();
    h.selectContents(h.control(), QStringLiteral("para"), 0);
    QString selected;
    doc.querySelectedHTML([&](const QString &html) { selected = html; });
    QVERIFY(h.waitFor([&] { return !selected.isEmpty(); }));
    QVERIFY2(selected.contains(
                 QStringLiteral("href=\"%1\"").arg(a.resolved(QUrl("one.htm")).toString())),
             qPrintable(selected));

    // The frame moves on: its new document comes under the same frame element.
    h.click(h.control(), QStringLiteral("toB"), Qt::LeftButton, kNone, 0);
    QVERIFY(h.waitFor([&] { return rec.frames.size() == 2; }));
    QCOMPARE(rec.frames.last().url, b);
    QCOMPARE(rec.frames.last().frame.handle, fa.frame.handle);
    QVERIFY(rec.frames.last().bodyTextLength > fa.bodyTextLength);
    // Its events come with the frame's index, and the event rules hold there too.
    EventRule rule;
    rule.type = DomEventType::Click;
    rule.selector = QStringLiteral(".b");
    doc.setEventRules({rule});
    QVERIFY(h.clickUntil(h.control(), QStringLiteral("inB"), Qt::LeftButton, kNone, 0,
                         [&] { return hasDomEvent(rec, DomEventType::Click, "inB"); }));
    QCOMPARE(domEventFrom(rec, DomEventType::Click, QStringLiteral("inB")).frameIndex, 0);
    QVERIFY(domEventFrom(rec, DomEventType::Click, QStringLiteral("inB")).defaultPrevented);

    // Highlighting and zoom of the top document stay out of its frame, and the other way.
    doc.setBodyZoom(QStringLiteral("105%"));
    doc.highlightTerms({QStringLiteral("TOP")}, {QStringLiteral("color:red")});
    doc.setFrameBodyZoom(fa.frame, QStringLiteral("150%"));
    doc.highlightFrameTerms(fa.frame, {QStringLiteral("words")}, {QStringLiteral("color:red")});
    QVERIFY(h.waitFor([&] { return h.frameProbe(h.control(), 0, P::BodyZoom) == "150%"; }));
    QVERIFY(h.waitFor([&] { return h.frameProbe(h.control(), 0, P::FontTexts) == "words"; }));
    QVERIFY(h.waitFor([&] { return doc.snapshot().bodyZoom == QLatin1String("105%"); }));
    const QList<ElementSnapshot> fonts = selectAll(h, QStringLiteral("font"));
    QCOMPARE(fonts.size(), 1);
    QCOMPARE(fonts.first().text, QStringLiteral("top"));
    QCOMPARE(h.control().locationUrl(), top);
}

void checkKeys(ContractHarness &h)
{
    const QUrl url =
        servePage(h, "/keys.htm", "Keys", "<input id=field type=text><div id=text>text</div>");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, url));

    // The program has the keys before the page: a page that takes every key leaves them.
    h.runPageScript(h.control(), PageScript::SwallowKeys);
    h.pressKey(h.control(), Qt::Key_X, kNone, QStringLiteral("x"));
    QVERIFY(h.waitFor([&] { return !rec.keyReleases.isEmpty(); }));
    QCOMPARE(rec.keyPresses.size(), 1);
    QCOMPARE(rec.keyPresses.first().virtualKey, 88);
    QCOMPARE(rec.keyReleases.first().virtualKey, 88);

    // The page again without its handlers: with them, typing into the field is unreliable in
    // this rig (the reading e2e types into such a page).
    QVERIFY(load(h, rec, url));
    h.control().document().focus(QStringLiteral("field"));
    QVERIFY(h.waitFor([&] { return hasDomEvent(rec, DomEventType::FocusIn, "field"); }));
    rec.clear();
    h.pressKey(h.control(), Qt::Key_X, kNone, QStringLiteral("x"));
    QVERIFY(h.waitFor([&] {
        const auto field = readElement(h, QStringLiteral("field"));
        return field && field->value == QLatin1String("x");
    }));
    QVERIFY(hasDomEvent(rec, DomEventType::KeyDown, "field"));
    QVERIFY(domEventFrom(rec, DomEventType::KeyDown, QStringLiteral("field")).source.isEditable);
    QVERIFY2(rec.keyPresses.isEmpty(), "typing into a field is the page's");
    QVERIFY2(rec.keyReleases.isEmpty(), "typing into a field is the page's");
}

void checkWheelAndContextMenu(ContractHarness &h)
{
    const QUrl url = servePage(h, "/wheel.htm", "Wheel",
                               QLatin1String(kLinkStyle) +
                                   QStringLiteral("<a id=lnk href='/menu-target.htm'>link</a>"
                                                  "<div id=area style='height:3000px'>long</div>"));
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, url));
    rec.consumeWheel = true;
    h.wheel(h.control(), QStringLiteral("area"), -120, Qt::ControlModifier);
    QVERIFY(h.waitFor([&] { return !rec.wheels.isEmpty(); }));
    QCOMPARE(rec.wheels.first().delta, -120);
    QVERIFY(rec.wheels.first().modifiers & Qt::ControlModifier);

    h.contextClick(h.control(), QStringLiteral("lnk"));
    QVERIFY(h.waitFor([&] {
        return !rec.contextMenus.isEmpty() && hasDomEvent(rec, DomEventType::ContextMenu, "lnk");
    }));
    QCOMPARE(rec.contextMenus.first().linkUrl, url.resolved(QUrl("/menu-target.htm")));
    QCOMPARE(domEventFrom(rec, DomEventType::ContextMenu, QStringLiteral("lnk")).button, 2);
}

void checkWindowClose(ContractHarness &h)
{
    const QUrl url = servePage(h, "/closing.htm", "Close", "bye");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, url));
    rec.keepWindowOnClose = true;
    h.runPageScript(h.control(), PageScript::CloseWindow);
    QVERIFY(h.waitFor([&] { return rec.closeRequests == 1; }));
    QCOMPARE(h.control().locationUrl(), url);
}

void checkBackForward(ContractHarness &h)
{
    const QUrl a = servePage(h, "/a.htm", "A", "a");
    const QUrl b = servePage(h, "/b.htm", "B", "b");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, a));
    QVERIFY(!h.control().canGoBack());
    QVERIFY(load(h, rec, b));
    QVERIFY(h.waitFor([&] { return h.control().canGoBack(); }));
    QVERIFY(rec.commandStates.contains({true, false}));

    rec.clear();
    h.control().goBack();
    QVERIFY(h.waitFor([&] { return loaded(rec, a); }));
    QCOMPARE(h.control().locationUrl(), a);
    QVERIFY(findNavigation(rec, a));
    QCOMPARE(findNavigation(rec, a)->kind, NavigationKind::BackForward);
    QVERIFY(h.waitFor([&] { return h.control().canGoForward(); }));

    rec.clear();
    h.control().goForward();
    QVERIFY(h.waitFor([&] { return loaded(rec, b); }));
    QCOMPARE(h.control().locationUrl(), b);
}

void checkWrittenPage(ContractHarness &h)
{
    const QUrl before = servePage(h, "/before.htm", "Before", "b");
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, before));

    QString filler;
    for (int i = 0; i < 20000; ++i)
        filler += QStringLiteral("<p class=row>Row %1 of a long generated report</p>").arg(i);
    const QString html =
        pageHtml(QStringLiteral("Written"), QStringLiteral("<div id=w>written &lt;b&gt;</div>") +
                                                filler + QStringLiteral("<div id=last>end</div>"));
    QVERIFY(html.size() > 1000000);
    rec.clear();
    const QUrl url = h.control().pageWriter().writePage(html, QStringLiteral("Report.htm"));
    // Writes right after the page apply to the page.
    h.control().document().setInnerText(QStringLiteral("last"), QStringLiteral("the end"));
    QVERIFY(ProgramPages::isWrittenPage(url));
    QVERIFY(h.waitFor([&] { return loaded(rec, url); }));
    QVERIFY2(rec.navigations.isEmpty(), "a written page raises no beforeNavigate");
    QCOMPARE(h.control().locationUrl(), url);
    QCOMPARE(h.control().document().snapshot().title, QStringLiteral("Written"));
    const auto written = readElement(h, QStringLiteral("w"));
    QVERIFY(written);
    QCOMPARE(written->text, QStringLiteral("written <b>"));
    const auto last = readElement(h, QStringLiteral("last"));
    QVERIFY2(last, "the whole page arrived");
    QCOMPARE(last->text, QStringLiteral("the end"));

    rec.clear();
    h.control().goBack();
    QVERIFY(h.waitFor([&] { return loaded(rec, before); }));
    QCOMPARE(h.control().locationUrl(), before);

    // Written just after another page loaded, before that page's document has announced
    // itself: the writes still go to the written page.
    const QUrl blank(QStringLiteral("about:blank"));
    QVERIFY(h.control().navigate(blank));
    QVERIFY(h.waitFor([&] { return h.control().locationUrl() == blank; }));
    QVERIFY(ProgramPages::isWrittenPage(h.control().pageWriter().writePage(
        pageHtml(QStringLiteral("Quick"), QStringLiteral("<div id=q>q</div>")),
        QStringLiteral("Quick.htm"))));
    h.control().document().setInnerText(QStringLiteral("q"), QStringLiteral("applied"));
    QVERIFY(h.waitFor([&] {
        const auto q = readElement(h, QStringLiteral("q"));
        return q && q->text == QLatin1String("applied");
    }));
}

void checkSleepAndWake(ContractHarness &h)
{
    const QUrl first = servePage(h, "/sleeper.htm", "Sleeper", "here");
    const QUrl next = servePage(h, "/next.htm", "Next", "next");
    const auto asked = [&] { return h.requests(QStringLiteral("/sleeper.htm")).size(); };
    ContractRecorder rec(h.control());
    QVERIFY(load(h, rec, first));
    h.control().sleep(SleepMode::Freeze);
    QVERIFY(h.control().isAsleep());
    QVERIFY(!h.control().wake());
    QVERIFY(!h.control().isAsleep());
    QCOMPARE(asked(), 1);

    h.control().sleep(SleepMode::Discard);
    rec.clear();
    QVERIFY(h.control().wake());
    QVERIFY(h.waitFor([&] { return loaded(rec, first); }));
    QCOMPARE(asked(), 2);

    h.control().sleep(SleepMode::Discard);
    QVERIFY(load(h, rec, next));
    QVERIFY(!h.control().isAsleep());
    QCOMPARE(asked(), 2);
    QVERIFY(!rec.has(QStringLiteral("navigateComplete"), first));
}

} // namespace BrowserContract
