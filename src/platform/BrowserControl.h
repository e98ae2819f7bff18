#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QPoint>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QWidget;
class Document;
class PageWriter;
class BrowserControl;

// Browser commands, numbered as the standard OLECMDID values the program's menus use.
enum class BrowserCommand {
    SaveAs = 4,
    Print = 6,
    PrintPreview = 7,
    PageSetup = 8,
    Cut = 11,
    Copy = 12,
    Paste = 13,
    Undo = 15,
    Redo = 16,
    SelectAll = 17,
    TextSize = 19,
    Refresh = 22,
    Stop = 23,
};

// OLECMDEXECOPT: whether the command asks the user (print dialog, file dialog).
enum class CommandPrompt { Default = 0, PromptUser = 1, DontPrompt = 2 };

enum class ReadyState { Uninitialized, Loading, Interactive, Complete };

enum class NavigationKind {
    Program,       // navigate(), refresh of a written page, the address box
    LinkClicked,   // the user followed a link (click or keyboard)
    FormSubmitted, // a form was submitted (GET or POST)
    BackForward,
    Reload,
    Redirect, // server redirect, meta refresh
    Other,    // script location changes and anything the engine does not classify
};

// Where a new window would go, as the engine decided from the click or the script.
enum class WindowDisposition {
    CurrentWindow,
    NewForegroundTab,
    NewBackgroundTab,
    NewWindow,
    Popup
};

// Who started a navigation: the program's own pages and panes, or web content. Commands
// embedded in links ("skl:") are honoured only from ProgramPage; the engine control does not
// even report a command link that web content follows.
enum class NavigationSource { ProgramPage, WebContent, None };

struct BeforeNavigateInfo
{
    QUrl url;
    NavigationKind kind = NavigationKind::Other;
    bool isTopFrame = true;
    QString targetFrameName; // the link's target attribute ("_blank", a frame name) when known
    bool linkClicked = false;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier; // held when the user acted
    Qt::MouseButton button = Qt::NoButton;            // the button that clicked the link
    bool isPost = false;                              // known only for navigate() and form posts
    QByteArray postData; // navigate()'s POST body, or a page form's url-encoded one; else empty
    QString headers;     // navigate()'s extra headers
    // The engine wanted a new window for this link (Ctrl, Shift, middle button, target=_blank).
    // When the listener does not cancel: a new-window disposition becomes newWindowRequested(),
    // a background-tab one (Ctrl, middle button) loads the URL in this control.
    WindowDisposition disposition = WindowDisposition::CurrentWindow;
    NavigationSource source = NavigationSource::None;
    QUrl sourceUrl; // the document that started it, when known
};

struct NewWindowInfo
{
    QUrl url;
    WindowDisposition disposition = WindowDisposition::Popup;
    bool userInitiated = false; // false for script pop-ups (window.open outside a user gesture)
    NavigationSource source = NavigationSource::None;
    QUrl sourceUrl;
};

struct ContextMenuInfo
{
    QUrl linkUrl;
    QString linkText;
    QString selectedText;
    bool isEditable = false;
    QPoint position; // in the control widget's coordinates
};

struct KeyInfo
{
    int qtKey = 0;      // Qt::Key
    int virtualKey = 0; // the Windows virtual-key code of the same physical key (0 when none)
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    QString text;
    bool isKeypad = false;
    bool isAutoRepeat = false;
};

struct WheelInfo
{
    int delta = 0; // 120 per notch; > 0 away from the user
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    Qt::MouseButtons buttons = Qt::NoButton; // held during the turn
    QPoint position;
};

struct MouseInfo
{
    Qt::MouseButton button = Qt::NoButton;   // the button pressed or released
    Qt::MouseButtons buttons = Qt::NoButton; // all buttons held after the event
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    QPoint position;
    bool doubleClick = false;
};

enum class SleepMode { Freeze, Discard };

// HTTP failures are reported with their status code; network failures with the platform's
// URL-moniker/Internet error codes (as signed 32-bit values, as the original platform gives
// them), so the navigation error log can map both with one table.
namespace NavErrorCode {
constexpr qint32 InvalidUrl = static_cast<qint32>(0x800C0002u);
constexpr qint32 NoSession = static_cast<qint32>(0x800C0003u);
constexpr qint32 CannotConnect = static_cast<qint32>(0x800C0004u);
constexpr qint32 ResourceNotFound = static_cast<qint32>(0x800C0005u);
constexpr qint32 ObjectNotFound = static_cast<qint32>(0x800C0006u);
constexpr qint32 DataNotAvailable = static_cast<qint32>(0x800C0007u);
constexpr qint32 DownloadFailure = static_cast<qint32>(0x800C0008u);
constexpr qint32 AuthenticationRequired = static_cast<qint32>(0x800C0009u);
constexpr qint32 NoValidMedia = static_cast<qint32>(0x800C000Au);
constexpr qint32 Timeout = static_cast<qint32>(0x800C000Bu);
constexpr qint32 InvalidRequest = static_cast<qint32>(0x800C000Cu);
constexpr qint32 UnknownProtocol = static_cast<qint32>(0x800C000Du);
constexpr qint32 SecurityProblem = static_cast<qint32>(0x800C000Eu);
constexpr qint32 CannotLoadData = static_cast<qint32>(0x800C000Fu);
constexpr qint32 Aborted = static_cast<qint32>(0x80004004u);
} // namespace NavErrorCode

// Events of one control. Every method has an empty default; return values decide.
class BrowserControlListener
{
public:
    virtual ~BrowserControlListener() = default;

    // Return true to cancel. Also fires for navigate() and for clicks that the engine would
    // open in a new window (see BeforeNavigateInfo::disposition).
    virtual bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &) { return false; }
    // Return the control that loads the request, or nullptr to cancel it.
    virtual BrowserControl *newWindowRequested(BrowserControl &, const NewWindowInfo &)
    {
        return nullptr;
    }
    virtual void navigateComplete(BrowserControl &, const QUrl &, bool /*isTopFrame*/) {}
    virtual void documentComplete(BrowserControl &, const QUrl &, bool /*isTopFrame*/) {}
    virtual void downloadBegin(BrowserControl &) {}
    virtual void downloadComplete(BrowserControl &) {}
    virtual void readyStateChanged(BrowserControl &, ReadyState) {}
    // statusCode: HTTP status or a NavErrorCode value. Return true to cancel the error page.
    virtual bool navigateError(BrowserControl &, const QUrl &, qint32 /*statusCode*/,
                               const QString & /*errorText*/, bool /*isTopFrame*/)
    {
        return false;
    }
    virtual void titleChanged(BrowserControl &, const QString &) {}
    virtual void statusTextChanged(BrowserControl &, const QString &) {}
    virtual void progressChanged(BrowserControl &, int /*progress*/, int /*progressMax*/) {}
    virtual void commandStateChanged(BrowserControl &, bool /*canGoBack*/, bool /*canGoForward*/) {}
    // A script called window.close(). Return true to keep the window.
    virtual bool windowClosing(BrowserControl &) { return false; }
    virtual void scriptError(BrowserControl &, const QString & /*text*/, int /*line*/,
                             const QString & /*sourceUrl*/)
    {}
    // A key of the document, before the page sees it: return true to act on it, and the page
    // never gets it. While the focus is in an editable element of the page (a text field, a
    // select, contenteditable) keys go to the page first and arrive here only when the page
    // left them unhandled, so typing only types.
    virtual bool keyPressed(BrowserControl &, const KeyInfo &) { return false; }
    virtual bool keyReleased(BrowserControl &, const KeyInfo &) { return false; }
    // Return true to consume the turn (the page does not scroll).
    virtual bool wheelEvent(BrowserControl &, const WheelInfo &) { return false; }
    // Observed on the way to the page; return true to consume it.
    virtual bool mouseButtonPressed(BrowserControl &, const MouseInfo &) { return false; }
    virtual bool mouseButtonReleased(BrowserControl &, const MouseInfo &) { return false; }
    // Return true to let the engine show its own menu.
    virtual bool contextMenuRequested(BrowserControl &, const ContextMenuInfo &) { return false; }
    // Return the file path to save to, or an empty string to cancel the download.
    virtual QString downloadRequested(BrowserControl &, const QUrl &,
                                      const QString & /*suggestedFileName*/)
    {
        return QString();
    }
    virtual void downloadFinished(BrowserControl &, const QString & /*path*/, bool /*ok*/) {}
};

// Header lines for HTTP requests: "Name: value" lines joined by CR LF.
struct HeaderLine
{
    QByteArray name;
    QByteArray value;
};
// nullopt when a line has no name or colon, or a name or value holds CR or LF on its own
// (header injection). Empty lines are skipped.
[[nodiscard]] std::optional<QList<HeaderLine>> parseHeaderLines(const QString &text);

// What the listener is told of a navigate() call, before the control adds where it stands.
BeforeNavigateInfo programNavigation(const QUrl &url, const QString &headers,
                                     const QByteArray &postData);

// Extra request headers for one host and its subdomains, added by the control to every request.
struct HostHeaderRule
{
    QString host; // "example.com" also matches "www.example.com"
    QByteArray name;
    QByteArray value;
};
[[nodiscard]] bool hostMatches(const QString &ruleHost, const QString &requestHost);

// Virtual-key code of a Qt key (letters and digits as upper-case ASCII, F1 116.., keypad 96..111).
[[nodiscard]] int virtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);

// One browser: a document window's content or one of the program's panes.
class BrowserControl
{
public:
    virtual ~BrowserControl() = default;

    virtual void setListener(BrowserControlListener *listener) = 0;
    // The widget to embed; owned by the control (deleted with it unless Qt deleted it first).
    virtual QWidget *widget() const = 0;
    virtual Document &document() = 0;
    virtual PageWriter &pageWriter() = 0;

    // Fires beforeNavigate first (kind Program). false: bad URL or bad header lines (nothing
    // happens). A non-empty postData makes a POST.
    [[nodiscard]] virtual bool navigate(const QUrl &url, const QString &headers = QString(),
                                        const QByteArray &postData = QByteArray()) = 0;
    virtual void stop() = 0;
    virtual void refresh() = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual bool canGoBack() const = 0;
    virtual bool canGoForward() const = 0;

    // false when the command is not available now (see queryCommandEnabled).
    [[nodiscard]] virtual bool execCommand(BrowserCommand command,
                                           CommandPrompt prompt = CommandPrompt::Default) = 0;
    virtual bool queryCommandEnabled(BrowserCommand command) const = 0;
    // Five steps, 0 smallest .. 4 largest; 2 is normal.
    virtual void setTextSize(int size) = 0;
    virtual int textSize() const = 0;
    virtual void setZoomFactor(double factor) = 0;
    virtual double zoomFactor() const = 0;

    virtual QUrl locationUrl() const = 0;
    virtual QString title() const = 0;
    virtual bool isLoading() const = 0;
    virtual QString selectedText() const = 0;
    virtual void setFocus() = 0;

    // While offline every network load (http, https, ftp, ws) is refused.
    virtual void setOffline(bool offline) = 0;
    virtual bool isOffline() const = 0;
    virtual void setUserAgent(const QString &userAgent) = 0;
    virtual QString userAgent() const = 0;
    virtual void setHostHeaderRules(const QList<HostHeaderRule> &rules) = 0;
    // Keys (Qt::Key, no modifier) that a text field of the page gets before the program's
    // menu shortcuts while it has the keyboard: a pane's text area with keys of its own.
    virtual void setTextFieldKeys(const QList<int> &qtKeys) { Q_UNUSED(qtKeys); }

    // A background page can be frozen (keeps its state) or discarded (reloads on wake).
    // A navigation of a sleeping control wakes it without loading its old page again.
    virtual void sleep(SleepMode mode) = 0;
    // true when the page loads again (it was discarded): its position is the caller's to put
    // back once it is complete.
    virtual bool wake() = 0;
    virtual bool isAsleep() const = 0;
};

// Makes controls; the logic holds one and never knows the engine.
class BrowserFactory
{
public:
    virtual ~BrowserFactory() = default;
    [[nodiscard]] virtual std::unique_ptr<BrowserControl> createControl() = 0;
};
