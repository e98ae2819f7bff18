#include "FakeBrowserControl.h"

#include "platform/NavigationPolicy.h"

#include <QFile>
#include <QMetaObject>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

const Qt::KeyboardModifiers kModifierMask =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

QString responseKey(QUrl url)
{
    url.setFragment(QString());
    return url.toString(QUrl::FullyEncoded);
}

bool isNetworkScheme(const QUrl &url)
{
    static const QStringList schemes{"http", "https", "ftp", "ws", "wss"};
    return schemes.contains(url.scheme().toLower());
}

int domButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::MiddleButton:
        return 1;
    case Qt::RightButton:
        return 2;
    default:
        return 0;
    }
}

int domButtons(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

QByteArray formEncode(const QString &text)
{
    QByteArray out = text.toUtf8().toPercentEncoding(" ");
    out.replace(' ', '+');
    return out;
}

bool isSubmitter(const DomNode *node)
{
    if (node->is(QStringLiteral("button"))) {
        const QString type = node->type();
        return type.isEmpty() || type == QLatin1String("submit");
    }
    return node->is(QStringLiteral("input")) &&
           (node->type() == QLatin1String("submit") || node->type() == QLatin1String("image"));
}

// A printable key that types into a field.
bool typingKey(const KeyInfo &key)
{
    return !(key.modifiers & (Qt::ControlModifier | Qt::AltModifier)) && !key.text.isEmpty() &&
           key.text.at(0).isPrint();
}

const char kDefaultPage[] = "<html><head><title></title></head><body></body></html>";

QString defaultErrorPage(int status)
{
    return QStringLiteral("<html><head><title>Error %1</title></head><body><h1>Error %1</h1>"
                          "</body></html>")
        .arg(status);
}

} // namespace

// ---- FakeWeb ----

FakeWeb::FakeWeb(QObject *parent)
    : QObject(parent), m_default(FakeResponse::page(QString::fromLatin1(kDefaultPage))),
      m_pagesFolder(qEnvironmentVariable("SKIMLINE_PAGES"))
{}

FakeWeb::~FakeWeb()
{
    *m_alive = false;
}

void FakeWeb::serve(const QUrl &url, const FakeResponse &response)
{
    m_responses.insert(responseKey(url), response);
}

FakeResponse FakeWeb::responseFor(const QUrl &url) const
{
    const auto it = m_responses.constFind(responseKey(url));
    if (it != m_responses.constEnd())
        return *it;
    if (ProgramPages::isProgramUrl(url) && !m_pagesFolder.isEmpty()) {
        QFile file(m_pagesFolder + u'/' + url.path().mid(1));
        if (!url.path().contains(QStringLiteral("..")) && file.open(QIODevice::ReadOnly))
            return FakeResponse::page(QString::fromUtf8(file.readAll()));
        return FakeResponse::error(404);
    }
    return m_default;
}

void FakeWeb::post(const std::weak_ptr<bool> &alive, std::function<void()> step)
{
    m_steps.push_back({alive, std::move(step)});
    if (m_posted)
        return;
    m_posted = true;
    std::weak_ptr<bool> self = m_alive;
    QMetaObject::invokeMethod(
        this,
        [this, self] {
            if (self.expired())
                return;
            m_posted = false;
            runSteps();
        },
        Qt::QueuedConnection);
}

void FakeWeb::runSteps()
{
    if (m_running)
        return;
    m_running = true;
    while (!m_steps.empty()) {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        if (!step.alive.expired())
            step.run();
    }
    m_running = false;
}

void FakeWeb::settle()
{
    runSteps();
}

// ---- FakeBrowserControl ----

FakeBrowserControl::FakeBrowserControl(FakeWeb &web)
    : m_web(web), m_document(web), m_webAlive(web.aliveToken())
{
    m_web.registerControl(this);
}

FakeBrowserControl::~FakeBrowserControl()
{
    *m_alive = false;
    if (!m_webAlive.expired())
        m_web.unregisterControl(this);
    delete m_widget.data();
}

QWidget *FakeBrowserControl::widget() const
{
    if (!m_widget)
        m_widget = new QWidget;
    return m_widget;
}

QString FakeBrowserControl::title() const
{
    const QString t = m_document.hasDocument() ? m_document.dom().title() : QString();
    return t.isEmpty() ? m_location.toString() : t;
}

QList<FakeRequest> FakeBrowserControl::requests() const
{
    QList<FakeRequest> result;
    for (const FakeRequest &request : m_web.requests()) {
        if (request.control == this)
            result.append(request);
    }
    return result;
}

NavigationSource FakeBrowserControl::sourceOf(int frameIndex) const
{
    const QUrl url = m_document.documentUrl(frameIndex);
    if (url.isEmpty())
        return NavigationSource::None;
    return ProgramPages::isProgramUrl(url) ? NavigationSource::ProgramPage
                                           : NavigationSource::WebContent;
}

bool FakeBrowserControl::askBeforeNavigate(const BeforeNavigateInfo &info)
{
    // The program's own requests are its listener's to decide; the rest follow the engine
    // control's policy.
    if (info.kind != NavigationKind::Program) {
        NavigationRequest request;
        request.url = info.url;
        request.kind = info.kind;
        request.isMainFrame = info.isTopFrame;
        request.source = info.source;
        // No page script moves this control through its history: goBack() is the program's.
        request.userAsked = true;
        switch (navigationVerdict(request)) {
        case NavigationVerdict::Refuse:
            return false;
        case NavigationVerdict::Proceed:
            return true;
        case NavigationVerdict::Ask:
        case NavigationVerdict::DeferCommand:
            break;
        }
    }
    if (!m_listener)
        return true;
    std::weak_ptr<bool> alive = m_alive;
    const bool cancel = m_listener->beforeNavigate(*this, info);
    return !cancel && !alive.expired();
}

bool FakeBrowserControl::stillCurrent(const std::weak_ptr<bool> &alive, quint64 serial) const
{
    return !alive.expired() && serial == m_loadSerial;
}

QList<HeaderLine> FakeBrowserControl::requestHeaders(const QUrl &url, const QString &extra) const
{
    QList<HeaderLine> headers;
    headers.append({"User-Agent", m_userAgent.toUtf8()});
    for (const HostHeaderRule &rule : m_hostRules) {
        if (hostMatches(rule.host, url.host()))
            headers.append({rule.name, rule.value});
    }
    if (auto lines = parseHeaderLines(extra))
        headers.append(*lines);
    return headers;
}

bool FakeBrowserControl::navigate(const QUrl &url, const QString &headers,
                                  const QByteArray &postData)
{
    m_navigateCalls.append({url, headers, postData});
    if (url.isEmpty() || !url.isValid() || !parseHeaderLines(headers))
        return false;
    BeforeNavigateInfo info = programNavigation(url, headers, postData);
    if (!askBeforeNavigate(info))
        return true;
    Request request;
    request.url = url;
    request.method = postData.isEmpty() ? "GET" : "POST";
    request.headers = headers;
    request.body = postData;
    request.kind = NavigationKind::Program;
    if (!(url.hasFragment() && postData.isEmpty() &&
          url.adjusted(QUrl::RemoveFragment) == m_location.adjusted(QUrl::RemoveFragment)))
        m_document.awaitNewDocument();
    beginLoad(request);
    return true;
}

void FakeBrowserControl::beginLoad(const Request &request)
{
    // A navigation wakes a sleeping page without loading its old document first.
    m_asleep = false;
    const quint64 serial = ++m_loadSerial;
    m_pending.reset();
    m_loading = true;
    m_web.post(m_alive, [this, request, serial] { runLoad(request, serial); });
}

void FakeBrowserControl::runLoad(Request request, quint64 serial)
{
    if (serial != m_loadSerial)
        return; // a later navigation took its place
    std::weak_ptr<bool> alive = m_alive;
    m_downloadBegun = true;
    if (m_listener)
        m_listener->downloadBegin(*this);
    if (!stillCurrent(alive, serial))
        return;
    if (request.written) {
        commit(request, request.html, serial);
        return;
    }
    fetch(request, serial, 0);
}

void FakeBrowserControl::endLoadQuietly(quint64 serial)
{
    Q_UNUSED(serial);
    m_loading = false;
    // A load stopped before it began never told the listener it had begun.
    if (!std::exchange(m_downloadBegun, false))
        return;
    if (m_listener)
        m_listener->downloadComplete(*this);
}

void FakeBrowserControl::fetch(Request request, quint64 serial, int hops)
{
    std::weak_ptr<bool> alive = m_alive;
    // A command link that nobody took over, or web content reaching for the program's own
    // pages: the engine has nothing to load.
    if (request.url.scheme() == QLatin1String(ProgramPages::kCommandScheme) ||
        (request.source == NavigationSource::WebContent &&
         ProgramPages::isProgramUrl(request.url))) {
        endLoadQuietly(serial);
        return;
    }
    if (m_offline && isNetworkScheme(request.url)) {
        // As the engine control's: a request the program refused itself.
        finishError(request, NavErrorCode::CannotConnect, QString(), serial);
        return;
    }
    FakeRequest sent;
    sent.url = request.url;
    sent.method = request.method;
    sent.headers = requestHeaders(request.url, request.headers);
    sent.body = request.body;
    sent.kind = request.kind;
    sent.control = this;
    m_web.recordRequest(sent);

    const FakeResponse response = m_web.responseFor(request.url);
    switch (response.kind) {
    case FakeResponse::Kind::Page:
        commit(request, response.html, serial);
        return;
    case FakeResponse::Kind::Error:
    case FakeResponse::Kind::NetworkError:
        finishError(request, response.status, response.html, serial);
        return;
    case FakeResponse::Kind::Pending:
        m_pending = request;
        return;
    case FakeResponse::Kind::NoDocument:
        endLoadQuietly(serial);
        return;
    case FakeResponse::Kind::Redirect:
        break;
    }
    if (hops >= 20) {
        finishError(request, NavErrorCode::DownloadFailure, QString(), serial);
        return;
    }
    // A server redirect belongs to the request under way, as in the engine: no beforeNavigate
    // of its own; the document commits under the final address.
    const bool keepMethod = response.status == 307 || response.status == 308;
    Request next = request;
    next.url = request.url.resolved(response.location);
    next.kind = NavigationKind::Redirect;
    if (!keepMethod) {
        next.method = "GET";
        next.body.clear();
    }
    fetch(next, serial, hops + 1);
}

void FakeBrowserControl::commit(const Request &request, const QString &html, quint64 serial)
{
    std::weak_ptr<bool> alive = m_alive;
    if (request.historyIndex >= 0 && request.historyIndex < int(m_history.size())) {
        m_historyIndex = request.historyIndex;
    } else {
        m_history.resize(size_t(m_historyIndex + 1));
        m_history.push_back({request.url, request.written ? html : QString(), request.written});
        m_historyIndex = int(m_history.size()) - 1;
    }
    m_location = request.url;
    m_document.beginDocument(request.url, html);
    // Each step may replace or end the load (a listener navigating, closing the window).
    const auto current = [&](const std::function<void()> &step) {
        step();
        return stillCurrent(alive, serial);
    };
    const auto tell = [&](const std::function<void(BrowserControlListener &)> &event) {
        return current([&] {
            if (m_listener)
                event(*m_listener);
        });
    };
    if (!tell([&](auto &l) { l.navigateComplete(*this, request.url, true); }) ||
        !current([&] { updateCommandState(); }) ||
        !current([&] { m_document.setReadyState(ReadyState::Interactive); }) ||
        !tell([&](auto &l) { l.readyStateChanged(*this, ReadyState::Interactive); }) ||
        !current([&] { loadFrames(serial); }))
        return;
    // The engine's order: the download ends, then the document is complete.
    m_loading = false;
    m_downloadBegun = false;
    if (!tell([&](auto &l) { l.downloadComplete(*this); }) ||
        !current([&] { m_document.setReadyState(ReadyState::Complete); }) ||
        !tell([&](auto &l) { l.documentComplete(*this, request.url, true); }) ||
        !tell([&](auto &l) { l.readyStateChanged(*this, ReadyState::Complete); }) ||
        !tell([&](auto &l) { l.titleChanged(*this, title()); }))
        return;
    // A meta refresh is the document's own navigation once it is there.
    for (DomNode *meta : m_document.dom().document()->getElementsByTagName("meta")) {
        if (meta->attribute(QStringLiteral("http-equiv")).compare("refresh", Qt::CaseInsensitive))
            continue;
        const QString content = meta->attribute(QStringLiteral("content"));
        const int at = content.indexOf(QLatin1String("url="), 0, Qt::CaseInsensitive);
        if (at >= 0)
            m_web.post(m_alive, [this, url = QUrl(content.mid(at + 4).trimmed())] {
                scriptNavigate(url, NavigationKind::Redirect);
            });
    }
}

void FakeBrowserControl::finishError(const Request &request, int status, const QString &html,
                                     quint64 serial)
{
    std::weak_ptr<bool> alive = m_alive;
    bool cancelPage = false;
    if (m_listener) {
        cancelPage = m_listener->navigateError(*this, request.url, status,
                                               QStringLiteral("Error %1").arg(status), true);
    }
    if (!stillCurrent(alive, serial))
        return;
    if (cancelPage) {
        endLoadQuietly(serial);
        return;
    }
    commit(request, html.isEmpty() ? defaultErrorPage(status) : html, serial);
}

void FakeBrowserControl::loadFrames(quint64 serial)
{
    std::weak_ptr<bool> alive = m_alive;
    QList<DomNode *> frames;
    m_document.dom().document()->forEachElement([&](DomNode *element) {
        if ((element->is(QStringLiteral("iframe")) || element->is(QStringLiteral("frame"))) &&
            !element->attribute(QStringLiteral("src")).isEmpty())
            frames.append(element);
        return true;
    });
    QList<QUrl> urls;
    for (DomNode *frame : frames)
        urls.append(m_location.resolved(QUrl(frame->attribute(QStringLiteral("src")))));
    for (qsizetype i = 0; i < urls.size(); ++i) {
        const QUrl &url = urls.at(i);
        const qint64 element = frames.at(i)->serial();
        BeforeNavigateInfo info;
        info.url = url;
        info.kind = NavigationKind::Other;
        info.isTopFrame = false;
        info.source = sourceOf(-1);
        info.sourceUrl = m_location;
        const bool allowed = askBeforeNavigate(info);
        if (!stillCurrent(alive, serial))
            return;
        if (!allowed) {
            m_document.addFrame(QUrl(QStringLiteral("about:blank")), QString(), element);
            continue;
        }
        loadFrameDocument(-1, url, element);
        if (!stillCurrent(alive, serial))
            return;
    }
}

void FakeBrowserControl::loadFrameDocument(int index, const QUrl &url, qint64 element)
{
    std::weak_ptr<bool> alive = m_alive;
    FakeRequest sent;
    sent.url = url;
    sent.method = "GET";
    sent.headers = requestHeaders(url, QString());
    sent.kind = NavigationKind::Other;
    sent.isTopFrame = false;
    sent.control = this;
    m_web.recordRequest(sent);
    const FakeResponse response = m_web.responseFor(url);
    const QString html =
        response.kind == FakeResponse::Kind::Page ? response.html
        : response.kind == FakeResponse::Kind::Error
            ? (response.html.isEmpty() ? defaultErrorPage(response.status) : response.html)
            : QString();
    if (index < 0)
        index = m_document.addFrame(url, html, element);
    else
        m_document.replaceFrame(index, url, html);
    if (m_listener)
        m_listener->navigateComplete(*this, url, false);
    if (alive.expired())
        return;
    if (m_listener)
        m_listener->documentComplete(*this, url, false);
    if (alive.expired())
        return;
    m_document.reportFrameComplete(index);
}

void FakeBrowserControl::updateCommandState()
{
    if (canGoBack() == m_lastCanGoBack && canGoForward() == m_lastCanGoForward)
        return;
    m_lastCanGoBack = canGoBack();
    m_lastCanGoForward = canGoForward();
    if (m_listener)
        m_listener->commandStateChanged(*this, m_lastCanGoBack, m_lastCanGoForward);
}

void FakeBrowserControl::stop()
{
    if (!m_loading)
        return;
    ++m_loadSerial;
    m_pending.reset();
    endLoadQuietly(m_loadSerial);
}

void FakeBrowserControl::goToHistory(int index, NavigationKind kind)
{
    if (index < 0 || index >= int(m_history.size()))
        return;
    const Request request = historyRequest(index, kind);
    BeforeNavigateInfo info;
    info.url = request.url;
    info.kind = kind;
    info.source = request.written ? NavigationSource::ProgramPage : NavigationSource::None;
    if (askBeforeNavigate(info))
        beginLoad(request);
}

FakeBrowserControl::Request FakeBrowserControl::historyRequest(int index, NavigationKind kind) const
{
    const HistoryEntry &entry = m_history[size_t(index)];
    Request request;
    request.url = entry.url;
    request.kind = kind;
    request.historyIndex = index;
    request.written = entry.written;
    request.html = entry.writtenHtml;
    return request;
}

void FakeBrowserControl::refresh()
{
    m_document.awaitNewDocument();
    goToHistory(m_historyIndex, NavigationKind::Reload);
}

void FakeBrowserControl::goBack()
{
    if (canGoBack())
        goToHistory(m_historyIndex - 1, NavigationKind::BackForward);
}

void FakeBrowserControl::goForward()
{
    if (canGoForward())
        goToHistory(m_historyIndex + 1, NavigationKind::BackForward);
}

bool FakeBrowserControl::execCommand(BrowserCommand command, CommandPrompt prompt)
{
    m_commands.append({command, prompt});
    if (!queryCommandEnabled(command))
        return false;
    if (command == BrowserCommand::Refresh)
        refresh();
    else if (command == BrowserCommand::Stop)
        stop();
    return true;
}

bool FakeBrowserControl::queryCommandEnabled(BrowserCommand command) const
{
    return !m_disabledCommands.contains(int(command));
}

void FakeBrowserControl::setCommandEnabled(BrowserCommand command, bool enabled)
{
    if (enabled)
        m_disabledCommands.remove(int(command));
    else
        m_disabledCommands.insert(int(command));
}

void FakeBrowserControl::setSelectedText(const QString &text)
{
    m_selectedText = text;
    m_document.setSelection(text);
}

void FakeBrowserControl::sleep(SleepMode mode)
{
    m_asleep = true;
    m_sleepMode = mode;
}

bool FakeBrowserControl::wake()
{
    if (!m_asleep)
        return false;
    m_asleep = false;
    if (m_sleepMode != SleepMode::Discard || m_historyIndex < 0)
        return false;
    beginLoad(historyRequest(m_historyIndex, NavigationKind::Reload));
    return true;
}

QUrl FakeBrowserControl::writePage(const QString &html, const QString &name)
{
    QString file = name.isEmpty() ? QStringLiteral("page.htm") : name;
    file.replace(u'/', u'_').replace(u'\\', u'_').replace(u'?', u'_').replace(u'#', u'_');
    const QUrl url =
        ProgramPages::url(QStringLiteral("__page%1_%2").arg(++m_writtenPages).arg(file));
    Request request;
    request.url = url;
    request.kind = NavigationKind::Program;
    request.source = NavigationSource::ProgramPage;
    request.written = true;
    request.html = html;
    m_document.awaitNewDocument();
    beginLoad(request);
    return url;
}

void FakeBrowserControl::completePendingLoad(const QString &html)
{
    if (!m_pending)
        return;
    const Request request = *m_pending;
    m_pending.reset();
    commit(request, html, m_loadSerial);
}

// ---- the user's actions ----

bool FakeBrowserControl::isEditable(const DomNode *node) const
{
    return m_document.elementSnapshot(node).isEditable;
}

bool FakeBrowserControl::click(const ElementRef &ref, Qt::MouseButton button,
                               Qt::KeyboardModifiers modifiers, int frameIndex)
{
    DomNode *node = m_document.element(ref, frameIndex);
    if (!node)
        return false;
    const int frame = m_document.frameOf(node);
    const qint64 serial = node->serial();
    std::weak_ptr<bool> alive = m_alive;
    // The node may vanish while handlers run; look it up again after each one.
    auto again = [&]() -> DomNode * {
        return alive.expired() ? nullptr : m_document.element(ElementRef::fromHandle(serial));
    };
    MouseInfo press{button, button, modifiers, {}, false};
    if (m_listener && m_listener->mouseButtonPressed(*this, press))
        return true;
    if (!(node = again()))
        return true;
    m_document.dispatch(DomEventType::MouseDown, node, frame, modifiers, domButton(button),
                        domButtons(button));
    if (!(node = again()))
        return true;
    if (button == Qt::LeftButton) {
        DomNode *focusTarget = isEditable(node) || node->closest(QStringLiteral("a")) ||
                                       node->is(QStringLiteral("button")) ||
                                       node->is(QStringLiteral("input"))
                                   ? node
                                   : nullptr;
        m_document.moveFocus(focusTarget, frame);
        if (!(node = again()))
            return true;
    }
    MouseInfo release{button, Qt::NoButton, modifiers, {}, false};
    if (m_listener && m_listener->mouseButtonReleased(*this, release))
        return true;
    if (!(node = again()))
        return true;
    m_document.dispatch(DomEventType::MouseUp, node, frame, modifiers, domButton(button), 0);
    if (!(node = again()))
        return true;
    if (button == Qt::RightButton)
        return true;
    if (button == Qt::LeftButton) {
        const DomEvent event =
            m_document.dispatch(DomEventType::Click, node, frame, modifiers, 0, 0);
        if (event.defaultPrevented || !(node = again()))
            return true;
    }
    DomNode *link = nullptr;
    for (DomNode *a = node; a && a->isElement(); a = a->parent()) {
        if ((a->is(QStringLiteral("a")) || a->is(QStringLiteral("area"))) &&
            a->hasAttribute(QStringLiteral("href"))) {
            link = a;
            break;
        }
    }
    if (link) {
        followLink(link, button, modifiers, frame);
        return true;
    }
    if (button == Qt::LeftButton && isSubmitter(node)) {
        if (DomNode *form = node->closest(QStringLiteral("form")))
            submitFormNode(form, modifiers, frame);
    }
    return true;
}

void FakeBrowserControl::followLink(DomNode *link, Qt::MouseButton button,
                                    Qt::KeyboardModifiers modifiers, int frameIndex)
{
    const QUrl base = m_document.documentUrl(frameIndex);
    const QUrl url = base.resolved(QUrl(link->href()));
    if (url.scheme() == QLatin1String("javascript"))
        return; // the fake runs no page script
    const QString target = link->attribute(QStringLiteral("target"));
    const QString targetKey = target.toLower();
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;

    BeforeNavigateInfo info;
    info.url = url;
    info.kind = NavigationKind::LinkClicked;
    info.targetFrameName = target;
    info.linkClicked = true;
    info.modifiers = modifiers & kModifierMask;
    info.button = button;
    info.source = sourceOf(frameIndex);
    info.sourceUrl = base;
    if (button == Qt::MiddleButton || ctrl)
        info.disposition =
            shift ? WindowDisposition::NewForegroundTab : WindowDisposition::NewBackgroundTab;
    else if (shift)
        info.disposition = WindowDisposition::NewWindow;
    // A named target opens a window: the double's frames have no names.
    else if (targetKey == QLatin1String("_blank") ||
             (!target.isEmpty() && !targetKey.startsWith(u'_')))
        info.disposition = WindowDisposition::NewForegroundTab;
    else
        info.disposition = WindowDisposition::CurrentWindow;
    const int loadInFrame = info.disposition == WindowDisposition::CurrentWindow &&
                                    targetKey != QLatin1String("_top") &&
                                    targetKey != QLatin1String("_parent")
                                ? frameIndex
                                : -1;
    info.isTopFrame = loadInFrame < 0;
    // Web content's command links and links to the program's pages go nowhere and are not
    // reported (the policy in askBeforeNavigate).
    if (!askBeforeNavigate(info))
        return;

    switch (info.disposition) {
    case WindowDisposition::CurrentWindow:
        if (loadInFrame >= 0) {
            m_web.post(m_alive, [this, loadInFrame, url] { loadFrameDocument(loadInFrame, url); });
            return;
        }
        [[fallthrough]];
    case WindowDisposition::NewBackgroundTab: {
        Request request;
        request.url = url;
        request.kind = NavigationKind::LinkClicked;
        request.source = info.source;
        beginLoad(request);
        return;
    }
    default:
        handOverToNewWindow({url, info.disposition, true, info.source, base});
    }
}

void FakeBrowserControl::handOverToNewWindow(const NewWindowInfo &info, const QByteArray &postData)
{
    NavigationRequest request;
    request.url = info.url;
    request.newWindow = true;
    request.source = info.source;
    request.userAsked = info.userInitiated;
    if (!m_listener || navigationVerdict(request) == NavigationVerdict::Refuse)
        return;
    BrowserControl *target = m_listener->newWindowRequested(*this, info);
    if (!target)
        return;
    if (auto *fake = dynamic_cast<FakeBrowserControl *>(target)) {
        fake->openFromOpener(info, postData);
        return;
    }
    (void)target->navigate(info.url);
}

void FakeBrowserControl::openFromOpener(const NewWindowInfo &opened, const QByteArray &postData)
{
    BeforeNavigateInfo info;
    info.url = opened.url;
    info.kind = NavigationKind::Other;
    info.source = opened.source;
    info.sourceUrl = opened.sourceUrl;
    info.isPost = !postData.isEmpty();
    info.postData = postData;
    if (!askBeforeNavigate(info))
        return;
    Request request;
    request.url = opened.url;
    request.kind = NavigationKind::Other;
    request.source = opened.source;
    if (info.isPost) {
        request.method = "POST";
        request.body = postData;
        request.headers = QStringLiteral("Content-Type: application/x-www-form-urlencoded");
    }
    beginLoad(request);
}

void FakeBrowserControl::submitFormNode(DomNode *form, Qt::KeyboardModifiers modifiers,
                                        int frameIndex)
{
    FakeDom *dom = frameIndex < 0 ? &m_document.dom() : m_document.frameDom(frameIndex);
    if (!dom)
        return;
    const QUrl base = m_document.documentUrl(frameIndex);
    QUrl action = base.resolved(QUrl(form->attribute(QStringLiteral("action"))));
    const bool post = form->attribute(QStringLiteral("method")).toLower() == QLatin1String("post");
    QList<QByteArray> pairs;
    for (DomNode *field : dom->formFields(form)) {
        const QString name = field->attribute(QStringLiteral("name"));
        const QString type = field->type();
        if (name.isEmpty() || field->hasAttribute(QStringLiteral("disabled")) ||
            field->is(QStringLiteral("button")) || type == QLatin1String("submit") ||
            type == QLatin1String("reset") || type == QLatin1String("image") ||
            type == QLatin1String("file") || type == QLatin1String("button"))
            continue;
        if ((type == QLatin1String("checkbox") || type == QLatin1String("radio")) &&
            !field->checked())
            continue;
        pairs.append(formEncode(name) + '=' + formEncode(field->value()));
    }
    const QByteArray encoded = pairs.join('&');
    BeforeNavigateInfo info;
    info.kind = NavigationKind::FormSubmitted;
    info.isTopFrame = frameIndex < 0;
    info.modifiers = modifiers & kModifierMask;
    info.button = Qt::LeftButton;
    info.source = sourceOf(frameIndex);
    info.sourceUrl = base;
    info.disposition = (modifiers & Qt::ShiftModifier) ? WindowDisposition::NewWindow
                                                       : WindowDisposition::CurrentWindow;
    Request request;
    request.kind = NavigationKind::FormSubmitted;
    request.source = info.source;
    if (post) {
        info.isPost = true;
        info.postData = encoded;
        request.method = "POST";
        request.body = encoded;
        request.headers = QStringLiteral("Content-Type: application/x-www-form-urlencoded");
    } else {
        action.setQuery(QString::fromLatin1(encoded), QUrl::StrictMode);
    }
    info.url = action;
    request.url = action;
    if (!askBeforeNavigate(info))
        return;
    if (info.disposition == WindowDisposition::NewWindow) {
        handOverToNewWindow({action, WindowDisposition::NewWindow, true, info.source, base},
                            request.body);
        return;
    }
    beginLoad(request);
}

bool FakeBrowserControl::doubleClick(const ElementRef &ref, Qt::MouseButtons held, int frameIndex)
{
    DomNode *node = m_document.element(ref, frameIndex);
    if (!node)
        return false;
    m_document.dispatch(DomEventType::DblClick, node, m_document.frameOf(node), Qt::NoModifier, 0,
                        domButtons(held));
    return true;
}

bool FakeBrowserControl::contextClick(const ElementRef &ref, int frameIndex,
                                      Qt::KeyboardModifiers modifiers)
{
    DomNode *node = ref.isNull() ? m_document.dom().body() : m_document.element(ref, frameIndex);
    if (!node)
        return false;
    const int frame = ref.isNull() ? -1 : m_document.frameOf(node);
    const qint64 serial = node->serial();
    std::weak_ptr<bool> alive = m_alive;
    auto again = [&]() -> DomNode * {
        return alive.expired() ? nullptr : m_document.element(ElementRef::fromHandle(serial));
    };
    if (m_listener && m_listener->mouseButtonPressed(
                          *this, {Qt::RightButton, Qt::RightButton, modifiers, {}, false}))
        return false;
    if (!(node = again()))
        return false;
    m_document.dispatch(DomEventType::MouseDown, node, frame, modifiers, 2, 2);
    if (!(node = again()))
        return false;
    const DomEvent event =
        m_document.dispatch(DomEventType::ContextMenu, node, frame, modifiers, 2, 2);
    if (!(node = again()))
        return false;
    bool engineMenu = false;
    if (!event.defaultPrevented) {
        ContextMenuInfo info;
        info.linkUrl = QUrl(event.source.linkHref);
        if (event.source.linkHandle) {
            if (DomNode *link = m_document.element(ElementRef::fromHandle(event.source.linkHandle)))
                info.linkText = link->innerText();
        }
        info.selectedText = m_selectedText;
        info.isEditable = event.source.isEditable;
        engineMenu = m_listener ? m_listener->contextMenuRequested(*this, info) : true;
        if (alive.expired())
            return engineMenu;
    }
    if (m_listener && m_listener->mouseButtonReleased(
                          *this, {Qt::RightButton, Qt::NoButton, modifiers, {}, false}))
        return engineMenu;
    if ((node = again()))
        m_document.dispatch(DomEventType::MouseUp, node, frame, modifiers, 2, 0);
    return engineMenu;
}

void FakeBrowserControl::focusElement(const ElementRef &ref, int frameIndex)
{
    DomNode *node = m_document.element(ref, frameIndex);
    if (node || ref.isNull())
        m_document.moveFocus(node, node ? m_document.frameOf(node) : -1);
}

void FakeBrowserControl::pressKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString &text)
{
    KeyInfo key;
    key.qtKey = qtKey;
    key.virtualKey = virtualKeyFromQt(qtKey, modifiers);
    key.modifiers = modifiers;
    key.text = text;
    key.isKeypad = modifiers & Qt::KeypadModifier;
    std::weak_ptr<bool> alive = m_alive;
    keyDown(key);
    if (!alive.expired())
        keyUp(key);
}

void FakeBrowserControl::keyDown(const KeyInfo &key)
{
    std::weak_ptr<bool> alive = m_alive;
    DomNode *active = m_document.activeElement();
    // As the engine control: the program has the first word unless a field has the focus.
    if (!(active && isEditable(active))) {
        m_keysBeforePage.insert(key.qtKey);
        if (m_listener && m_listener->keyPressed(*this, key))
            return;
        if (alive.expired())
            return;
    } else {
        m_keysBeforePage.remove(key.qtKey);
    }
    const DomEvent event =
        m_document.dispatch(DomEventType::KeyDown, active, m_document.activeFrame(), key.modifiers,
                            0, 0, key.virtualKey);
    if (alive.expired())
        return;
    active = m_document.activeElement();
    if (active && isEditable(active) && !event.defaultPrevented && typingKey(key))
        active->setValue(active->value() + key.text);
}

void FakeBrowserControl::keyUp(const KeyInfo &key)
{
    std::weak_ptr<bool> alive = m_alive;
    if (m_keysBeforePage.remove(key.qtKey)) {
        if (m_listener && m_listener->keyReleased(*this, key))
            return;
        if (alive.expired())
            return;
    }
    m_document.dispatch(DomEventType::KeyUp, m_document.activeElement(), m_document.activeFrame(),
                        key.modifiers, 0, 0, key.virtualKey);
}

void FakeBrowserControl::wheel(const ElementRef &ref, int delta, Qt::KeyboardModifiers modifiers,
                               Qt::MouseButtons buttons, int frameIndex)
{
    DomNode *node = ref.isNull() ? nullptr : m_document.element(ref, frameIndex);
    const int frame = node ? m_document.frameOf(node) : -1;
    std::weak_ptr<bool> alive = m_alive;
    WheelInfo info;
    info.delta = delta;
    info.modifiers = modifiers;
    info.buttons = buttons;
    if (m_listener && m_listener->wheelEvent(*this, info))
        return;
    if (alive.expired())
        return;
    const DomEvent event = m_document.dispatch(DomEventType::Wheel, node, frame, modifiers, 0,
                                               domButtons(buttons), 0, delta);
    if (alive.expired() || event.defaultPrevented || (modifiers & Qt::ControlModifier))
        return;
    // The engine's own step: a few lines per notch.
    m_document.setScrollTop(m_document.snapshot().scrollTop - delta / 120 * 100);
}

void FakeBrowserControl::mousePress(const ElementRef &ref, Qt::MouseButton button,
                                    Qt::MouseButtons held, Qt::KeyboardModifiers modifiers,
                                    int frameIndex)
{
    if (m_listener && m_listener->mouseButtonPressed(*this, {button, held, modifiers, {}, false}))
        return;
    DomNode *node = ref.isNull() ? nullptr : m_document.element(ref, frameIndex);
    m_document.dispatch(DomEventType::MouseDown, node, node ? m_document.frameOf(node) : -1,
                        modifiers, domButton(button), domButtons(held));
}

// ---- the page's own actions ----

void FakeBrowserControl::scriptOpenWindow(const QUrl &url, bool userGesture,
                                          WindowDisposition disposition)
{
    if (!userGesture)
        return; // blocked, as by the engine
    handOverToNewWindow(
        {m_location.resolved(url), disposition, userGesture, sourceOf(-1), m_location});
}

void FakeBrowserControl::scriptNavigate(const QUrl &url, NavigationKind kind)
{
    BeforeNavigateInfo info;
    info.url = m_location.resolved(url);
    info.kind = kind;
    info.source = sourceOf(-1);
    info.sourceUrl = m_location;
    if (!askBeforeNavigate(info))
        return;
    Request request;
    request.url = info.url;
    request.kind = kind;
    request.source = info.source;
    beginLoad(request);
}

void FakeBrowserControl::scriptDocumentWrite(const QString &html)
{
    const QString before = title();
    m_document.rewriteDocument(html);
    if (title() != before && m_listener)
        m_listener->titleChanged(*this, title());
}

bool FakeBrowserControl::scriptClose()
{
    return m_listener ? m_listener->windowClosing(*this) : false;
}

void FakeBrowserControl::scriptError(const QString &text, int line, const QUrl &source)
{
    if (m_listener)
        m_listener->scriptError(*this, text, line, source.toString());
}

void FakeBrowserControl::emitStatusText(const QString &text)
{
    if (m_listener)
        m_listener->statusTextChanged(*this, text);
}

void FakeBrowserControl::emitProgress(int progress, int progressMax)
{
    if (m_listener)
        m_listener->progressChanged(*this, progress, progressMax);
}

// ---- FakeBrowserFactory ----

std::unique_ptr<BrowserControl> FakeBrowserFactory::createControl()
{
    auto control = std::make_unique<FakeBrowserControl>(m_web);
    m_made.insert(control.get());
    return control;
}

QList<FakeBrowserControl *> FakeBrowserFactory::controls() const
{
    QList<FakeBrowserControl *> result;
    for (FakeBrowserControl *control : m_web.controls()) {
        if (m_made.contains(control))
            result.append(control);
    }
    return result;
}

FakeBrowserControl *FakeBrowserFactory::last() const
{
    const auto all = controls();
    return all.isEmpty() ? nullptr : all.last();
}
