#include "WebEngineControl.h"

#include "ControlView.h"
#include "PagePrinting.h"
#include "ProgramSchemeHandler.h"
#include "RequestInterceptor.h"
#include "WebEngineDocument.h"
#include "platform/LoadLifeCycle.h"
#include "platform/NavigationPolicy.h"

#include <QAction>
#include <QChildEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSet>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWheelEvent>

#include <atomic>
#include <optional>
#include <utility>

namespace {

constexpr int kBridgeWaitMs = 3000;
// How long after the user's click or key a link navigation still counts as theirs.
constexpr qint64 kGestureMs = 1500;

const char kControlProperty[] = "sklControl";

std::atomic<int> g_programPageErrors{0};

QString bridgeSource()
{
    static const QString source = [] {
        QString text;
        QFile channel(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        if (channel.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(channel.readAll());
        text += QLatin1Char('\n');
        QFile bridge(QStringLiteral(":/skimline/bridge.js"));
        if (bridge.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(bridge.readAll());
        return text;
    }();
    return source;
}

using ProgramPages::isCommandLink;

WindowDisposition dispositionOf(QWebEngineNewWindowRequest::DestinationType t)
{
    switch (t) {
    case QWebEngineNewWindowRequest::InNewWindow:
        return WindowDisposition::NewWindow;
    case QWebEngineNewWindowRequest::InNewTab:
        return WindowDisposition::NewForegroundTab;
    case QWebEngineNewWindowRequest::InNewBackgroundTab:
        return WindowDisposition::NewBackgroundTab;
    case QWebEngineNewWindowRequest::InNewDialog:
        return WindowDisposition::Popup;
    }
    return WindowDisposition::NewWindow;
}

NavigationKind kindOf(QWebEnginePage::NavigationType t, bool gesture)
{
    switch (t) {
    case QWebEnginePage::NavigationTypeLinkClicked:
        return gesture ? NavigationKind::LinkClicked : NavigationKind::Other;
    case QWebEnginePage::NavigationTypeTyped:
        return NavigationKind::Program;
    case QWebEnginePage::NavigationTypeFormSubmitted:
        return NavigationKind::FormSubmitted;
    case QWebEnginePage::NavigationTypeBackForward:
        return NavigationKind::BackForward;
    case QWebEnginePage::NavigationTypeReload:
        return NavigationKind::Reload;
    case QWebEnginePage::NavigationTypeRedirect:
        return NavigationKind::Redirect;
    default:
        return NavigationKind::Other;
    }
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

ReadyState readyStateOf(const QString &state)
{
    if (state == QLatin1String("loading"))
        return ReadyState::Loading;
    if (state == QLatin1String("interactive"))
        return ReadyState::Interactive;
    if (state == QLatin1String("complete"))
        return ReadyState::Complete;
    return ReadyState::Uninitialized;
}

} // namespace

namespace skl_webengine {

class ControlPage : public QWebEnginePage
{
public:
    ControlPage(WebEngineControl *control, QWebEngineProfile *profile, QObject *parent)
        : QWebEnginePage(profile, parent), m_control(control)
    {}
    WebEngineControl *m_control;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        return m_control ? m_control->acceptNavigation(url, type, isMainFrame) : false;
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int line, const QString &sourceId) override
    {
        if (level != ErrorMessageLevel || !m_control)
            return;
        if (ProgramPages::isProgramUrl(QUrl(sourceId))) {
            // The program's own pages must not fail: counted, so that tests can tell.
            ++g_programPageErrors;
            qWarning("script error in %s:%d: %s", qPrintable(sourceId), line, qPrintable(message));
        }
        QPointer<WebEngineControl> control = m_control;
        QMetaObject::invokeMethod(
            m_control,
            [control, message, line, sourceId] {
                if (control && control->m_listener)
                    control->m_listener->scriptError(*control, message, line, sourceId);
            },
            Qt::QueuedConnection);
    }
};

} // namespace skl_webengine

using namespace skl_webengine;

class WebEngineControl::LifeCyclePage : public LoadLifeCycle::Page
{
public:
    explicit LifeCyclePage(WebEngineControl &control) : m_control(control) {}
    QUrl url() const override { return m_control.m_page->url(); }
    QString title() const override { return m_control.m_page->title(); }
    bool awaitsDocument() const override { return m_control.m_document->isAwaitingNewDocument(); }
    void giveUpWaiting() override { m_control.m_document->giveUpWaiting(); }
    void loadEnded() override { m_control.updateCommandState(); }

private:
    WebEngineControl &m_control;
};

// Marks a modal dialog of this control; a page's request to close the window that came
// meanwhile is passed on once the dialog is gone.
class WebEngineControl::DialogScope
{
public:
    explicit DialogScope(WebEngineControl *control) : m_control(control)
    {
        ++m_control->m_dialogDepth;
    }
    ~DialogScope()
    {
        if (--m_control->m_dialogDepth == 0 && std::exchange(m_control->m_closeAfterDialog, false))
            m_control->queueCloseRequest();
    }
    DialogScope(const DialogScope &) = delete;
    DialogScope &operator=(const DialogScope &) = delete;

private:
    WebEngineControl *m_control;
};

WebEngineControl::WebEngineControl(QWebEngineProfile *profile, ProgramSchemeHandler *schemes,
                                   QObject *parent)
    : QObject(parent), m_profile(profile), m_schemes(schemes)
{
    m_widget = new ControlWidget(this);
    m_view = new ControlView(this, m_widget);
    m_widget->layout()->addWidget(m_view);
    m_page = new ControlPage(this, profile, m_view);
    m_page->setProperty(kControlProperty, QVariant::fromValue<QObject *>(this));
    m_view->setPage(m_page);
    m_interceptor = new RequestInterceptor(m_page);
    m_page->setUrlRequestInterceptor(m_interceptor);

    m_printing = new PagePrinting(m_view, this);
    m_document = new WebEngineDocument(m_page, this);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("sklBridge"), m_document);
    m_page->setWebChannel(m_channel, QWebEngineScript::ApplicationWorld);

    QWebEngineScript script;
    script.setName(QStringLiteral("skimline-bridge"));
    script.setSourceCode(bridgeSource());
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setRunsOnSubFrames(false);
    m_page->scripts().insert(script);

    QWebEngineSettings *settings = m_page->settings();
    // Pop-ups the user did not ask for are blocked before the engine builds a page for each:
    // a page flooding window.open would otherwise cost the renderer a page per call.
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    // A link dragged out of a web page and dropped on a window would be followed by that
    // window's page, which may be one of the program's: nothing is followed on a drop.
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);

    m_lifeCyclePage = std::make_unique<LifeCyclePage>(*this);
    m_life = std::make_unique<LoadLifeCycle>(*this, *m_lifeCyclePage, kBridgeWaitMs);

    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEngineControl::onLoadStarted);
    connect(m_page, &QWebEnginePage::loadFinished, this, &WebEngineControl::onLoadFinished);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineControl::onLoadingChanged);
    connect(m_page, &QWebEnginePage::loadProgress, this, [this](int progress) {
        LoadInput input{LoadInput::Kind::Progress};
        input.status = progress;
        m_life->feed(input);
    });
    connect(m_page, &QWebEnginePage::titleChanged, this, [this](const QString &title) {
        LoadInput input{LoadInput::Kind::Title};
        input.text = title;
        m_life->feed(input);
    });
    connect(m_page, &QWebEnginePage::linkHovered, this, [this](const QString &url) {
        if (m_listener)
            m_listener->statusTextChanged(*this, url);
    });
    connect(m_page, &QWebEnginePage::urlChanged, this, [this] { updateCommandState(); });
    connect(m_page, &QWebEnginePage::windowCloseRequested, this,
            &WebEngineControl::queueCloseRequest);
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
            &WebEngineControl::onNewWindowRequested);
    connect(m_document, &WebEngineDocument::documentCreated, this,
            &WebEngineControl::onDocumentCreated);
    connect(m_document, &WebEngineDocument::readyStateReported, this,
            [this](const QString &readyState) {
                LoadInput input{LoadInput::Kind::ReadyState};
                input.readyState = readyStateOf(readyState);
                m_life->feed(input);
            });
    connect(m_document, &WebEngineDocument::formSubmitted, this,
            [this](const QString &method, const QUrl &action, const QByteArray &body) {
                m_lastSubmitMethod = method;
                m_lastSubmitAction = action;
                m_lastSubmitBody = body;
                m_lastSubmitTime = nowMs();
            });
    connect(m_document, &WebEngineDocument::linkClicked, this,
            [this](const QUrl &href, const QString &target) {
                m_lastClickHref = href;
                m_lastClickTarget = target;
            });
}

WebEngineControl::~WebEngineControl()
{
    if (m_schemes)
        m_schemes->dropOwner(quintptr(this));
    if (m_page) {
        m_page->disconnect(this);
        m_page->m_control = nullptr;
        m_page->setProperty(kControlProperty, QVariant());
    }
    if (m_interceptor)
        m_interceptor->setPolicy(RequestPolicy{true, false, {}, {}});
    if (m_view)
        m_view->m_control = nullptr;
    if (m_widget) {
        m_widget->m_control = nullptr;
        // The page may be inside one of its own callbacks: let it return first.
        m_widget->hide();
        m_widget->setParent(nullptr);
        m_widget->deleteLater();
    }
    m_document->disconnect(this);
}

WebEngineControl *WebEngineControl::fromPage(QWebEnginePage *page)
{
    if (!page)
        return nullptr;
    return qobject_cast<WebEngineControl *>(page->property(kControlProperty).value<QObject *>());
}

int WebEngineControl::programPageErrorsInProcess()
{
    return g_programPageErrors.load();
}

void WebEngineControl::setListener(BrowserControlListener *listener)
{
    m_listener = listener;
    m_life->setListener(listener);
}

int WebEngineControl::bridgeFallbackCount() const
{
    return m_life->bridgeFallbacks();
}

QWidget *WebEngineControl::widget() const
{
    return m_widget;
}

Document &WebEngineControl::document()
{
    return *m_document;
}

QWebEngineView *WebEngineControl::view() const
{
    return m_view;
}

QWebEnginePage *WebEngineControl::page() const
{
    return m_page;
}

QWidget *WebEngineControl::inputWidget() const
{
    m_view->watchProxy();
    return m_view->focusProxy() ? m_view->focusProxy() : m_view;
}

double WebEngineControl::textSizeFactor(int size)
{
    static const double factors[] = {0.75, 0.875, 1.0, 1.25, 1.5};
    return factors[qBound(0, size, 4)];
}

qint32 WebEngineControl::navErrorFromNetError(int e)
{
    // Chromium's net error numbers (net/base/net_error_list.h).
    switch (e) {
    case -300: // INVALID_URL
    case -301: // DISALLOWED_URL_SCHEME
        return NavErrorCode::InvalidUrl;
    case -302: // UNKNOWN_URL_SCHEME
        return NavErrorCode::UnknownProtocol;
    case -106: // INTERNET_DISCONNECTED
        return NavErrorCode::NoSession;
    case -102: // CONNECTION_REFUSED
    case -104: // CONNECTION_FAILED
    case -109: // ADDRESS_UNREACHABLE
    case -108: // ADDRESS_INVALID
        return NavErrorCode::CannotConnect;
    case -105: // NAME_NOT_RESOLVED
    case -137: // NAME_RESOLUTION_FAILED
    case -130: // PROXY_CONNECTION_FAILED
        return NavErrorCode::ResourceNotFound;
    case -6: // FILE_NOT_FOUND
        return NavErrorCode::ObjectNotFound;
    case -100: // CONNECTION_CLOSED
    case -101: // CONNECTION_RESET
    case -324: // EMPTY_RESPONSE
        return NavErrorCode::DataNotAvailable;
    case -7:   // TIMED_OUT
    case -118: // CONNECTION_TIMED_OUT
        return NavErrorCode::Timeout;
    case -10: // ACCESS_DENIED
        return NavErrorCode::CannotLoadData;
    case -3: // ABORTED
        return NavErrorCode::Aborted;
    case -20: // BLOCKED_BY_CLIENT: the program refused the request, working offline
        return NavErrorCode::CannotConnect;
    default:
        if (e <= -200 && e > -300) // certificate errors
            return NavErrorCode::SecurityProblem;
        if (e <= -310 && e > -400) // bad responses, redirect loops
            return NavErrorCode::InvalidRequest;
        return NavErrorCode::DownloadFailure;
    }
}

NavigationSource WebEngineControl::currentSource() const
{
    // The committed document, not the address of a navigation under way.
    QUrl current = m_page->history()->currentItem().url();
    if (!current.isValid() || current.isEmpty())
        current = m_page->url();
    if (current.isEmpty() || current == QUrl(QStringLiteral("about:blank")))
        return NavigationSource::None;
    return ProgramPages::isProgramUrl(current) ? NavigationSource::ProgramPage
                                               : NavigationSource::WebContent;
}

void WebEngineControl::recordInput(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                                   bool fromMouse)
{
    if (fromMouse && button == Qt::NoButton)
        return;
    m_lastButton = button;
    m_lastModifiers =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    m_lastInputMouse = fromMouse;
    m_lastInputTime = nowMs();
}

void WebEngineControl::deferSklNavigation(const BeforeNavigateInfo &info)
{
    // Command links are always cancelled, so the program may act on them outside the
    // engine's callback (dialogs, closing this window).
    QPointer<WebEngineControl> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, info] {
            if (self && self->m_listener)
                (void)self->m_listener->beforeNavigate(*self, info);
        },
        Qt::QueuedConnection);
}

bool WebEngineControl::acceptNavigation(const QUrl &url, int navType, bool isMainFrame)
{
    const auto type = QWebEnginePage::NavigationType(navType);
    if (m_life->refuseStaleReload(isMainFrame && type == QWebEnginePage::NavigationTypeReload))
        return false;
    const bool gesture = nowMs() - m_lastInputTime < kGestureMs;
    // A server redirect belongs to the request under way: nothing has committed for it yet.
    // A redirect after the document committed (meta refresh) is the page's own navigation.
    const bool ownRedirect = type == QWebEnginePage::NavigationTypeRedirect && isMainFrame &&
                             m_life->awaitsCommit() &&
                             m_page->history()->currentItem().url() != m_life->requestedUrl();

    NavigationRequest request;
    request.url = url;
    // Typed navigations come only from this control (navigate, writePage): already decided.
    request.kind = kindOf(type, gesture);
    request.isMainFrame = isMainFrame;
    request.source = currentSource();
    request.redirectOfOwnLoad = ownRedirect;
    request.userAsked = type == QWebEnginePage::NavigationTypeBackForward
                            ? gesture || nowMs() - m_historyMoveTime < kGestureMs
                            : gesture;
    const NavigationVerdict verdict = navigationVerdict(request);
    if (verdict == NavigationVerdict::Refuse)
        return false;
    if (verdict == NavigationVerdict::Proceed) {
        if (ownRedirect)
            m_life->feed({LoadInput::Kind::Redirect, url});
        else if (isMainFrame && type != QWebEnginePage::NavigationTypeRedirect)
            m_life->feed({LoadInput::Kind::Begin, url});
        return true;
    }

    BeforeNavigateInfo info;
    info.url = url;
    info.kind = request.kind;
    info.isTopFrame = isMainFrame;
    info.linkClicked = info.kind == NavigationKind::LinkClicked;
    if (gesture && (info.linkClicked || info.kind == NavigationKind::FormSubmitted)) {
        info.modifiers = m_lastModifiers;
        info.button = m_lastInputMouse ? m_lastButton : Qt::NoButton;
        m_lastInputTime = 0; // one gesture, one navigation
    }
    if (info.linkClicked && m_lastClickHref == url)
        info.targetFrameName = m_lastClickTarget;
    if (info.kind == NavigationKind::FormSubmitted && nowMs() - m_lastSubmitTime < kGestureMs) {
        info.isPost = m_lastSubmitMethod == QLatin1String("post");
        // The engine does not tell a form's body; the page did (a captured form replays it).
        if (info.isPost && m_lastSubmitAction == url)
            info.postData = m_lastSubmitBody;
    }
    info.source = request.source;
    info.sourceUrl = m_page->history()->currentItem().url();

    if (verdict == NavigationVerdict::DeferCommand) {
        deferSklNavigation(info);
        return false;
    }
    if (m_listener) {
        QPointer<WebEngineControl> self(this);
        const bool cancel = m_listener->beforeNavigate(*this, info);
        if (!self || cancel)
            return false;
    }
    if (isMainFrame)
        m_life->feed({LoadInput::Kind::Begin, url});
    return true;
}

void WebEngineControl::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    const QUrl url = request.requestedUrl();
    const NavigationSource source = currentSource();
    NavigationRequest policy;
    policy.url = url;
    policy.newWindow = true;
    policy.source = source;
    policy.userAsked = request.isUserInitiated();
    const NavigationVerdict verdict = navigationVerdict(policy);
    if (verdict == NavigationVerdict::Refuse)
        return; // dropped
    const WindowDisposition disposition = dispositionOf(request.destination());
    QPointer<WebEngineControl> self(this);

    // A form sent to a new window (Shift + submit): the engine gives only its address, the
    // page told its body.
    const bool formPost = request.isUserInitiated() && nowMs() - m_lastSubmitTime < kGestureMs &&
                          m_lastSubmitMethod == QLatin1String("post") &&
                          !m_lastSubmitBody.isEmpty() && m_lastSubmitAction == url;
    const QByteArray postData = formPost ? m_lastSubmitBody : QByteArray();

    BrowserControl *target = nullptr;
    if (request.isUserInitiated()) {
        // A click that the engine would open elsewhere: the program decides, as for any link
        // of this window.
        BeforeNavigateInfo info;
        info.url = url;
        info.kind = NavigationKind::LinkClicked;
        info.linkClicked = true;
        info.modifiers = m_lastModifiers;
        info.button = m_lastInputMouse ? m_lastButton : Qt::NoButton;
        info.disposition = disposition;
        info.source = source;
        info.sourceUrl = m_page->history()->currentItem().url();
        if (formPost) {
            info.kind = NavigationKind::FormSubmitted;
            info.linkClicked = false;
            info.isPost = true;
            info.postData = postData;
        }
        if (m_lastClickHref == url)
            info.targetFrameName = m_lastClickTarget;
        else if (disposition == WindowDisposition::NewForegroundTab &&
                 !(m_lastModifiers & (Qt::ControlModifier | Qt::ShiftModifier)) &&
                 m_lastButton != Qt::MiddleButton)
            info.targetFrameName = QStringLiteral("_blank");
        m_lastInputTime = 0;
        if (verdict == NavigationVerdict::DeferCommand) {
            deferSklNavigation(info);
            return;
        }
        if (m_listener && m_listener->beforeNavigate(*this, info))
            return;
        if (!self)
            return;
        if (disposition == WindowDisposition::NewBackgroundTab) {
            // Ctrl or middle button: the link loads here.
            m_document->awaitNewDocument();
            QWebEngineHttpRequest req(url);
            if (source == NavigationSource::WebContent && !info.sourceUrl.isEmpty())
                req.setHeader("Referer", info.sourceUrl.toEncoded());
            m_page->load(req);
            return;
        }
    }
    if (!m_listener)
        return;
    NewWindowInfo ni;
    ni.url = url;
    ni.disposition = disposition;
    ni.userInitiated = request.isUserInitiated();
    ni.source = source;
    ni.sourceUrl = m_page->history()->currentItem().url();
    target = m_listener->newWindowRequested(*this, ni);
    if (!self || !target)
        return;
    if (target == this) {
        m_document->awaitNewDocument();
        m_page->load(url);
        return;
    }
    QString headers;
    if (source == NavigationSource::WebContent && !ni.sourceUrl.isEmpty())
        headers = QStringLiteral("Referer: ") + QString::fromUtf8(ni.sourceUrl.toEncoded());
    (void)target->navigate(url, headers, postData);
}

bool WebEngineControl::navigate(const QUrl &url, const QString &headers, const QByteArray &postData)
{
    const std::optional<QList<HeaderLine>> lines = parseHeaderLines(headers);
    if (!lines || !url.isValid() || url.isEmpty())
        return false;
    BeforeNavigateInfo info = programNavigation(url, headers, postData);
    info.source = currentSource();
    info.sourceUrl = m_page->history()->currentItem().url();
    QPointer<WebEngineControl> self(this);
    if (m_listener && m_listener->beforeNavigate(*this, info))
        return true;
    if (!self || isCommandLink(url))
        return true;

    QWebEngineHttpRequest request(url, postData.isEmpty() ? QWebEngineHttpRequest::Get
                                                          : QWebEngineHttpRequest::Post);
    bool hasContentType = false;
    for (const HeaderLine &h : *lines) {
        request.setHeader(h.name, h.value);
        hasContentType = hasContentType || h.name.compare("content-type", Qt::CaseInsensitive) == 0;
    }
    if (!postData.isEmpty()) {
        request.setPostData(postData);
        if (!hasContentType)
            request.setHeader("Content-Type", "application/x-www-form-urlencoded");
    }
    wakeForNavigation();
    const QUrl current = m_page->url();
    const bool sameDocument =
        url.hasFragment() && postData.isEmpty() &&
        url.adjusted(QUrl::RemoveFragment) == current.adjusted(QUrl::RemoveFragment);
    if (!sameDocument)
        m_document->awaitNewDocument();
    m_page->load(request);
    return true;
}

QUrl WebEngineControl::writePage(const QString &html, const QString &name)
{
    if (!m_schemes)
        return QUrl();
    const QUrl url = m_schemes->addWrittenPage(
        quintptr(this), name.isEmpty() ? QStringLiteral("page.htm") : name, html.toUtf8());
    wakeForNavigation();
    m_document->awaitNewDocument(url);
    m_page->load(url);
    return url;
}

void WebEngineControl::stop()
{
    m_page->triggerAction(QWebEnginePage::Stop);
}

void WebEngineControl::refresh()
{
    m_document->awaitNewDocument();
    m_page->triggerAction(QWebEnginePage::Reload);
}

void WebEngineControl::goBack()
{
    if (!canGoBack())
        return;
    m_document->awaitNewDocument();
    m_historyMoveTime = nowMs();
    m_page->triggerAction(QWebEnginePage::Back);
}

void WebEngineControl::goForward()
{
    if (!canGoForward())
        return;
    m_document->awaitNewDocument();
    m_historyMoveTime = nowMs();
    m_page->triggerAction(QWebEnginePage::Forward);
}

bool WebEngineControl::canGoBack() const
{
    return m_page->history()->canGoBack();
}

bool WebEngineControl::canGoForward() const
{
    return m_page->history()->canGoForward();
}

void WebEngineControl::updateCommandState()
{
    const bool back = canGoBack();
    const bool forward = canGoForward();
    if (back == m_canBack && forward == m_canForward)
        return;
    m_canBack = back;
    m_canForward = forward;
    if (m_listener)
        m_listener->commandStateChanged(*this, back, forward);
}

bool WebEngineControl::queryCommandEnabled(BrowserCommand command) const
{
    const bool hasDocument = !m_page->url().isEmpty();
    switch (command) {
    case BrowserCommand::Cut:
        return m_page->action(QWebEnginePage::Cut)->isEnabled();
    case BrowserCommand::Copy:
        return m_page->hasSelection();
    case BrowserCommand::Paste:
        return m_page->action(QWebEnginePage::Paste)->isEnabled();
    case BrowserCommand::Undo:
        return m_page->action(QWebEnginePage::Undo)->isEnabled();
    case BrowserCommand::Redo:
        return m_page->action(QWebEnginePage::Redo)->isEnabled();
    case BrowserCommand::SelectAll:
    case BrowserCommand::Print:
    case BrowserCommand::PrintPreview:
    case BrowserCommand::SaveAs:
    case BrowserCommand::Refresh:
        return hasDocument && !(command != BrowserCommand::SelectAll && m_printing->isPrinting());
    case BrowserCommand::PageSetup:
    case BrowserCommand::TextSize:
        return true;
    case BrowserCommand::Stop:
        return m_loading;
    }
    return false;
}

bool WebEngineControl::execCommand(BrowserCommand command, CommandPrompt prompt)
{
    if (!queryCommandEnabled(command))
        return false;
    const bool ask = prompt != CommandPrompt::DontPrompt;
    switch (command) {
    case BrowserCommand::Cut:
        m_page->triggerAction(QWebEnginePage::Cut);
        return true;
    case BrowserCommand::Copy:
        m_page->triggerAction(QWebEnginePage::Copy);
        return true;
    case BrowserCommand::Paste:
        m_page->triggerAction(QWebEnginePage::Paste);
        return true;
    case BrowserCommand::Undo:
        m_page->triggerAction(QWebEnginePage::Undo);
        return true;
    case BrowserCommand::Redo:
        m_page->triggerAction(QWebEnginePage::Redo);
        return true;
    case BrowserCommand::SelectAll:
        m_page->triggerAction(QWebEnginePage::SelectAll);
        return true;
    case BrowserCommand::Refresh:
        refresh();
        return true;
    case BrowserCommand::Stop:
        stop();
        return true;
    case BrowserCommand::TextSize:
        return true; // setTextSize() carries the value
    case BrowserCommand::Print:
    case BrowserCommand::PrintPreview: {
        DialogScope dialogs(this);
        const bool preview = command == BrowserCommand::PrintPreview;
        m_printing->print(m_widget, preview, ask || preview);
        return true;
    }
    case BrowserCommand::PageSetup: {
        DialogScope dialogs(this);
        return m_printing->pageSetup(m_widget);
    }
    case BrowserCommand::SaveAs: {
        DialogScope dialogs(this);
        return m_printing->saveAs(m_widget, ask);
    }
    }
    return false;
}

void WebEngineControl::queueCloseRequest()
{
    // Queued: the listener may well destroy this control.
    QPointer<WebEngineControl> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (!self)
                return;
            // Not while one of this control's dialogs runs its own event loop: the control
            // would go from under it. The request waits for the dialog's end.
            if (self->m_dialogDepth > 0) {
                self->m_closeAfterDialog = true;
                return;
            }
            if (self->m_listener)
                self->m_listener->windowClosing(*self);
        },
        Qt::QueuedConnection);
}

void WebEngineControl::setTextSize(int size)
{
    m_textSize = qBound(0, size, 4);
    applyZoom();
}

void WebEngineControl::setZoomFactor(double factor)
{
    m_zoom = qBound(0.25, factor, 5.0);
    applyZoom();
}

void WebEngineControl::applyZoom()
{
    m_page->setZoomFactor(qBound(0.25, m_zoom * textSizeFactor(m_textSize), 5.0));
}

QUrl WebEngineControl::locationUrl() const
{
    return m_page->url();
}

QString WebEngineControl::title() const
{
    return m_page->title();
}

QString WebEngineControl::selectedText() const
{
    return m_page->selectedText();
}

void WebEngineControl::setFocus()
{
    m_view->setFocus(Qt::OtherFocusReason);
    m_document->focus(ElementRef());
}

void WebEngineControl::setOffline(bool offline)
{
    m_offline = offline;
    updateRequestPolicy();
}

void WebEngineControl::updateRequestPolicy()
{
    RequestPolicy policy;
    policy.offline = m_offline;
    // Only an agent other than the profile's is set request by request.
    if (!m_userAgent.isEmpty() && m_userAgent != m_profile->httpUserAgent())
        policy.userAgent = m_userAgent.toUtf8();
    policy.hostRules = m_hostRules;
    m_interceptor->setPolicy(std::move(policy));
}

void WebEngineControl::setUserAgent(const QString &userAgent)
{
    m_userAgent = userAgent;
    if (userAgent.isEmpty() ||
        m_profile->property(WebEngineControl::kProgramAgentProperty).toBool()) {
        updateRequestPolicy();
        return;
    }
    // The program gives every window the same agent: the first one set becomes the profile's,
    // so that navigator.userAgent agrees with the header and no request needs rewriting. Only
    // the first: the engine reloads pages that are loading when the profile's agent changes.
    m_profile->setProperty(WebEngineControl::kProgramAgentProperty, true);
    if (m_profile->httpUserAgent() != userAgent)
        m_profile->setHttpUserAgent(userAgent);
    updateRequestPolicy();
}

QString WebEngineControl::userAgent() const
{
    return m_userAgent.isEmpty() ? m_profile->httpUserAgent() : m_userAgent;
}

void WebEngineControl::setHostHeaderRules(const QList<HostHeaderRule> &rules)
{
    m_hostRules = rules;
    updateRequestPolicy();
}

void WebEngineControl::sleep(SleepMode mode)
{
    if (m_asleep)
        return;
    // A visible page cannot be frozen or discarded.
    m_page->setVisible(false);
    m_page->setLifecycleState(mode == SleepMode::Freeze
                                  ? QWebEnginePage::LifecycleState::Frozen
                                  : QWebEnginePage::LifecycleState::Discarded);
    m_asleep = true;
}

bool WebEngineControl::wake()
{
    if (!m_asleep)
        return false;
    m_asleep = false;
    const bool discarded = m_page->lifecycleState() == QWebEnginePage::LifecycleState::Discarded;
    m_page->setLifecycleState(QWebEnginePage::LifecycleState::Active);
    m_page->setVisible(m_widget && m_widget->isVisible());
    return discarded;
}

void WebEngineControl::wakeForNavigation()
{
    if (!m_asleep)
        return;
    m_asleep = false;
    m_life->wokeForNavigation(m_page->lifecycleState() ==
                              QWebEnginePage::LifecycleState::Discarded);
    m_page->setVisible(m_widget && m_widget->isVisible());
}

bool WebEngineControl::keysFiltered()
{
    QWidget *proxy = m_view->focusProxy();
    const bool filtered = proxy && proxy == m_view->m_proxy;
    // A renderer replaced for a new document (the program's pages have their own) gives the
    // view a new input widget: watch it from the next key on.
    m_view->watchProxy();
    return filtered;
}

bool WebEngineControl::editableFocus() const
{
    // The engine knows at once when a text field takes the focus; the bridge also tells of
    // selects and of fields the engine gives no input method (passwords).
    const QWidget *proxy = m_view->focusProxy();
    const bool textInput = proxy && proxy->inputMethodQuery(Qt::ImEnabled).toBool();
    return textInput || m_document->hasEditableFocus();
}

bool WebEngineControl::keepsFromShortcuts(const QKeyEvent &e) const
{
    return e.modifiers() == Qt::NoModifier && m_textFieldKeys.contains(e.key()) && editableFocus();
}

bool WebEngineControl::keyBeforePage(QKeyEvent &e)
{
    const int key = e.key();
    if (e.type() == QEvent::KeyPress) {
        // The press decides the key's way, its release follows it.
        if (editableFocus()) {
            m_keysAfterPage.insert(key);
            m_keysBeforePage.remove(key);
            return false;
        }
        m_keysAfterPage.remove(key);
        m_keysBeforePage.insert(key);
    } else {
        // A release whose press this page never had (the focus came in with the key held)
        // is nobody's command.
        if (!m_keysBeforePage.contains(key))
            return false;
        if (!e.isAutoRepeat())
            m_keysBeforePage.remove(key);
    }
    return deliverKey(e);
}

bool WebEngineControl::deliverKey(const QKeyEvent &e)
{
    if (!m_listener)
        return false;
    KeyInfo k;
    k.qtKey = e.key();
    k.modifiers = e.modifiers() & ~Qt::KeypadModifier;
    k.isKeypad = e.modifiers() & Qt::KeypadModifier;
    k.virtualKey = virtualKeyFromQt(e.key(), e.modifiers());
    k.text = e.text();
    k.isAutoRepeat = e.isAutoRepeat();
    return e.type() == QEvent::KeyPress ? m_listener->keyPressed(*this, k)
                                        : m_listener->keyReleased(*this, k);
}

bool WebEngineControl::contextMenu(const QPoint &pos)
{
    if (!m_listener)
        return true;
    ContextMenuInfo info;
    info.position = pos;
    if (QWebEngineContextMenuRequest *request = m_view->lastContextMenuRequest()) {
        info.linkUrl = request->linkUrl();
        info.linkText = request->linkText();
        info.selectedText = request->selectedText();
        info.isEditable = request->isContentEditable();
    }
    return m_listener->contextMenuRequested(*this, info);
}

void WebEngineControl::handleDownload(QWebEngineDownloadRequest *download)
{
    if (!m_listener) {
        download->cancel();
        return;
    }
    const QString path =
        m_listener->downloadRequested(*this, download->url(), download->suggestedFileName());
    if (path.isEmpty()) {
        download->cancel();
        return;
    }
    const QFileInfo info(path);
    download->setDownloadDirectory(info.absolutePath());
    download->setDownloadFileName(info.fileName());
    QPointer<WebEngineControl> self(this);
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this, [self, download, path] {
        if (!download->isFinished() || !self || !self->m_listener)
            return;
        self->m_listener->downloadFinished(
            *self, path, download->state() == QWebEngineDownloadRequest::DownloadCompleted);
    });
    download->accept();
}

void WebEngineControl::onLoadStarted()
{
    m_loading = true;
}

void WebEngineControl::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    LoadInput input{LoadInput::Kind::End, info.url()};
    const bool httpStatus = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain;
    if (info.status() == QWebEngineLoadingInfo::LoadStoppedStatus ||
        (!httpStatus && info.errorCode() == -3)) {
        input.outcome = LoadInput::Outcome::Aborted;
    } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        input.outcome = LoadInput::Outcome::Failed;
        input.status = httpStatus ? info.errorCode() : navErrorFromNetError(info.errorCode());
        input.text = info.errorString();
    }
    m_life->feed(input);
}

void WebEngineControl::onLoadFinished(bool)
{
    m_loading = false;
    updateCommandState();
}

void WebEngineControl::onDocumentCreated(const QUrl &url, const QString &readyState)
{
    LoadInput input{LoadInput::Kind::Document, url};
    input.readyState = readyStateOf(readyState);
    input.errorPage = url.scheme() == QLatin1String("chrome-error");
    QPointer<WebEngineControl> self(this);
    m_life->feed(input);
    // A new document may come with a renderer of its own.
    if (self)
        m_view->watchProxy();
}
