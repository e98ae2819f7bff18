#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <memory>

#include "platform/BrowserControl.h"
#include "platform/PageWriter.h"

class QKeyEvent;
class QWebChannel;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWebEngineProfile;
class QWebEngineView;
class QWebEnginePage;
class LoadLifeCycle;
class PagePrinting;
class ProgramSchemeHandler;
class RequestInterceptor;
class WebEngineDocument;

namespace skl_webengine {
class ControlWidget;
class ControlView;
class ControlPage;
} // namespace skl_webengine

// A BrowserControl on a QWebEngineView inside a plain container widget (the container receives
// the key events that the page did not consume).
class WebEngineControl : public QObject, public BrowserControl, public PageWriter
{
    Q_OBJECT
public:
    WebEngineControl(QWebEngineProfile *profile, ProgramSchemeHandler *schemes,
                     QObject *parent = nullptr);
    ~WebEngineControl() override;

    void setListener(BrowserControlListener *listener) override;
    QWidget *widget() const override;
    Document &document() override;
    PageWriter &pageWriter() override { return *this; }

    bool navigate(const QUrl &url, const QString &headers = QString(),
                  const QByteArray &postData = QByteArray()) override;
    void stop() override;
    void refresh() override;
    void goBack() override;
    void goForward() override;
    bool canGoBack() const override;
    bool canGoForward() const override;

    bool execCommand(BrowserCommand command,
                     CommandPrompt prompt = CommandPrompt::Default) override;
    bool queryCommandEnabled(BrowserCommand command) const override;
    void setTextSize(int size) override;
    int textSize() const override { return m_textSize; }
    void setZoomFactor(double factor) override;
    double zoomFactor() const override { return m_zoom; }

    QUrl locationUrl() const override;
    QString title() const override;
    bool isLoading() const override { return m_loading; }
    QString selectedText() const override;
    void setFocus() override;

    void setOffline(bool offline) override;
    bool isOffline() const override { return m_offline; }
    // The first agent set becomes the profile's: every page's navigator.userAgent and header.
    // A control set to another agent later sends it in its request headers only.
    void setUserAgent(const QString &userAgent) override;
    QString userAgent() const override;
    void setHostHeaderRules(const QList<HostHeaderRule> &rules) override;
    void setTextFieldKeys(const QList<int> &qtKeys) override { m_textFieldKeys = qtKeys; }

    void sleep(SleepMode mode) override;
    bool wake() override;
    bool isAsleep() const override { return m_asleep; }

    QUrl writePage(const QString &html, const QString &name = QString()) override;

    // For tests and the platform.
    QWebEngineView *view() const;
    QWebEnginePage *page() const;
    // The widget that receives the mouse and keys (changes when the renderer is replaced).
    QWidget *inputWidget() const;
    // The control showing page, or null.
    static WebEngineControl *fromPage(QWebEnginePage *page);
    // A file download the page started (not a saved page).
    void handleDownload(QWebEngineDownloadRequest *download);
    // Text sizes 0..4 as zoom factors.
    static double textSizeFactor(int size);
    // A network failure of the engine as the old platform's error code.
    static qint32 navErrorFromNetError(int netError);
    // Set on the profile once it carries the program's user agent (see setUserAgent).
    static constexpr char kProgramAgentProperty[] = "sklProgramAgent";
    // How many loads completed only because the page's bridge never reported (error pages,
    // plain files); a page with a bridge that lands here has lost its greeting.
    int bridgeFallbackCount() const;
    // Script errors raised by the program's own pages in this process.
    static int programPageErrorsInProcess();

private:
    friend class skl_webengine::ControlPage;
    friend class skl_webengine::ControlView;
    friend class skl_webengine::ControlWidget;

    bool acceptNavigation(const QUrl &url, int type, bool isMainFrame);
    void onNewWindowRequested(QWebEngineNewWindowRequest &request);
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onDocumentCreated(const QUrl &url, const QString &readyState);
    void updateCommandState();
    void applyZoom();
    void updateRequestPolicy();
    NavigationSource currentSource() const;
    void recordInput(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool fromMouse);
    bool contextMenu(const QPoint &pos);
    // Keys: the program's before the page's, except in the page's editable elements.
    bool editableFocus() const;
    bool keysFiltered();
    bool keyBeforePage(QKeyEvent &e);
    // A key the page's text field takes from the menu shortcuts (setTextFieldKeys).
    bool keepsFromShortcuts(const QKeyEvent &e) const;
    bool deliverKey(const QKeyEvent &e);
    void deferSklNavigation(const BeforeNavigateInfo &info);

    BrowserControlListener *m_listener = nullptr;
    QWebEngineProfile *m_profile;
    QPointer<ProgramSchemeHandler> m_schemes;
    QPointer<skl_webengine::ControlWidget> m_widget;
    skl_webengine::ControlView *m_view = nullptr;
    skl_webengine::ControlPage *m_page = nullptr;
    RequestInterceptor *m_interceptor = nullptr;
    QWebChannel *m_channel = nullptr;
    WebEngineDocument *m_document = nullptr;
    QList<int> m_textFieldKeys;

    class LifeCyclePage;
    std::unique_ptr<LifeCyclePage> m_lifeCyclePage;
    std::unique_ptr<LoadLifeCycle> m_life;
    bool m_loading = false;
    bool m_canBack = false;
    bool m_canForward = false;

    int m_textSize = 2;
    double m_zoom = 1.0;
    bool m_offline = false;
    QString m_userAgent;
    QList<HostHeaderRule> m_hostRules;
    bool m_asleep = false;
    void wakeForNavigation();

    QSet<int> m_keysBeforePage; // pressed while the program had the first word
    QSet<int> m_keysAfterPage;  // pressed in an editable element: the page's first

    // The user's last input, for the modifiers and button of the navigation it causes.
    Qt::MouseButton m_lastButton = Qt::NoButton;
    Qt::KeyboardModifiers m_lastModifiers = Qt::NoModifier;
    bool m_lastInputMouse = false;
    qint64 m_lastInputTime = 0; // ms since epoch
    // The last form submission the page reported, to tell a POST from a GET.
    class DialogScope;
    // The page asked to close its window: the program hears of it after this turn.
    void queueCloseRequest();
    qint64 m_historyMoveTime = 0;    // when the program last went Back or Forward
    int m_dialogDepth = 0;           // this control's modal dialogs now running
    bool m_closeAfterDialog = false; // the page asked to close the window meanwhile
    QString m_lastSubmitMethod;
    QUrl m_lastSubmitAction;
    QByteArray m_lastSubmitBody; // url-encoded; empty for multipart forms
    qint64 m_lastSubmitTime = 0;
    QString m_lastClickTarget;
    QUrl m_lastClickHref;
    PagePrinting *m_printing = nullptr;
};
