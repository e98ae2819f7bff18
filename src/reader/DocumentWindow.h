#pragma once

#include "platform/BrowserControl.h"
#include "store/CWinInet_URL.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <vector>

class Reader;
class cFrame;
struct FrameDocumentInfo;

// The life of one document window apart from its widget: its public state, the browser
// control's events and the form's own events, as the pool and the loader see them. The widget
// (frmBrowser) adds itself around it; tests drive it on the platform double.
class DocumentWindow : public BrowserControlListener
{
public:
    DocumentWindow(Reader &reader, BrowserControl *control);
    ~DocumentWindow() override;
    DocumentWindow(const DocumentWindow &) = delete;
    DocumentWindow &operator=(const DocumentWindow &) = delete;

    Reader &reader() const { return m_reader; }

    // Public operations
    void InitializeForm(int iTag, bool bNext);
    void LargestFrame_SetFocus();
    void zHighlightDoc();
    // Asks the pool to unload this window (the last window refuses).
    void zClose();
    void zSetFocus();
    // Shows a page the program made (report, history, searches) in this window, titled title
    // in its caption and the address box; it never enters the history.
    void writeProgramPage(const QString &html, const QString &fileName, const QString &title);
    Document *DocumentObject() const;

    // Events of the form
    void Form_Activate();
    void Form_Deactivate();
    // True when the window must stay (Cancel).
    bool Form_QueryUnload();
    void Form_Unload();

    // Events of the control, by their names
    void brwWebBrowser_StatusTextChange(const QString &text);
    void brwWebBrowser_ProgressChange(int progress, int progressMax);
    void brwWebBrowser_CommandStateChange(bool canGoBack, bool canGoForward);
    void brwWebBrowser_DownloadBegin();
    void brwWebBrowser_DownloadComplete();
    void brwWebBrowser_TitleChange(const QString &text);
    void brwWebBrowser_NavigateComplete2(const QUrl &url, bool isTopFrame);
    // True when the window stays (Cancel).
    bool brwWebBrowser_WindowClosing();
    void brwWebBrowser_NavigateError(const QUrl &url, qint32 statusCode);
    void HW2_onerror(const QString &description, const QString &url, int line);
    void HW2_onunload();
    void Doc_onreadystatechange(ReadyState state);
    void CompleteDocument();
    // A frame's document is complete: it gets its own handler (cFrame).
    void frameDocumentComplete(const FrameDocumentInfo &frame);
    // The window's own navigation: it loads here and is not routed to another window. False
    // when the control refused the address (the window is then left as it was).
    bool navigateHere(const QUrl &url, const QString &headers = QString(),
                      const QByteArray &postData = QByteArray());
    enum class HistoryStep { Back, Forward, Reload };
    void navigateHere(HistoryStep step);
    // The body zoom of the document and of every frame it holds ("" clears it).
    void setDocumentZoom(const QString &zoom);
    const std::vector<std::unique_ptr<cFrame>> &frames() const { return mcFrames; }

    // Followed links and the user's keys, decided by the navigator (Reader::nav).
    // True when the navigation is cancelled.
    bool brwWebBrowser_BeforeNavigate2(const BeforeNavigateInfo &info);
    // The control that loads the new window's request, or nullptr when it is refused.
    BrowserControl *brwWebBrowser_NewWindow2(const NewWindowInfo &info);
    // True when the key was a command.
    bool Form_KeyDown(const KeyInfo &key);
    bool Form_KeyUp(const KeyInfo &key);

    // The download LoadDocument started here still counts against the limit. While it does,
    // a load behind that makes no progress for the context's glLoadStallMs is given up.
    bool countsAsDownload() const { return m_countedDownload; }
    void setCountsAsDownload(bool counted);
    bool isClosing() const { return mbClosing; }
    const URLParts &urlParts() const { return mURLParts; }
    QString statusText() const { return msStatusText; }

    BrowserControl *brwWebBrowser = nullptr;

    int lngScrollTop = 0;
    int mlInitialScrollTop = 0;
    bool bKeep = false;
    bool mbNavigateBack = false;
    bool mbNavigateForward = false;
    bool mbDontAddToHistory = false;
    bool mbNext = false;
    bool mbRead = false;
    bool bAllowOpenInNewWindow = false;
    bool bNavigateInOtherWindow = false;
    bool bOpenInSameWindow = false;
    bool bActiveForm = false;
    int miWindowNumber = 0;
    QString strDocumentTitle;
    int intIFrames = 0;
    int intFrames = 0;
    bool mbAddtoHistory = false;
    bool mbDocWritten = false;
    QString msKey;
    QString msHeaders;
    QString msURL;
    bool mbFormSubmit = false;
    double mdFavBookmark = 0;
    double mfdTempBookMark = 0;
    QString msReadyState;
    QString msTargetFrameName;
    int miLargestFrame = -1;
    int mlLargestFrameLength = 0;
    int miFrames = 0;
    int miTag = 0;
    double mdCurrentSessionBookmark = 0;
    double mdOldCurrentSessionBookmark = 0;
    // Status text a page writer wants shown once its page is in place.
    QString msWrittenPageStatus;

protected:
    // BrowserControlListener: the control's events go to the handlers above.
    void navigateComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override;
    void downloadBegin(BrowserControl &) override;
    void downloadComplete(BrowserControl &) override;
    void readyStateChanged(BrowserControl &, ReadyState state) override;
    bool navigateError(BrowserControl &, const QUrl &url, qint32 statusCode, const QString &,
                       bool isTopFrame) override;
    void titleChanged(BrowserControl &, const QString &title) override;
    void statusTextChanged(BrowserControl &, const QString &text) override;
    void progressChanged(BrowserControl &, int progress, int progressMax) override;
    void commandStateChanged(BrowserControl &, bool canGoBack, bool canGoForward) override;
    bool windowClosing(BrowserControl &) override;
    void scriptError(BrowserControl &, const QString &text, int line,
                     const QString &sourceUrl) override;
    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override;
    BrowserControl *newWindowRequested(BrowserControl &, const NewWindowInfo &info) override;
    bool keyPressed(BrowserControl &, const KeyInfo &key) override;
    bool keyReleased(BrowserControl &, const KeyInfo &key) override;
    bool wheelEvent(BrowserControl &, const WheelInfo &wheel) override;
    bool mouseButtonPressed(BrowserControl &, const MouseInfo &mouse) override;
    bool mouseButtonReleased(BrowserControl &, const MouseInfo &mouse) override;
    bool contextMenuRequested(BrowserControl &, const ContextMenuInfo &info) override;
    QString downloadRequested(BrowserControl &, const QUrl &url,
                              const QString &suggestedFileName) override;
    void downloadFinished(BrowserControl &, const QString &path, bool ok) override;

    // For the widget around it: a caption to show, a document that completed.
    virtual void captionChanged(const QString &) {}
    virtual void onDocumentCompleted(const QUrl &) {}

    QString msStatusText;
    QString msNavigatingURL;
    bool mbClosing = false;
    bool mbInteractive = false;
    bool mbNavigationError = false;
    int miLastFrame = -1;
    std::vector<std::unique_ptr<cFrame>> mcFrames;
    URLParts mURLParts;

private:
    void checkForRawFeed();
    // The load under way moved on: its stall clock starts again.
    void loadProgressed();
    void loadStalled();
    void setCaption(const QString &text);

    Reader &m_reader;
    bool m_countedDownload = false;
    bool m_completed = false;  // CompleteDocument ran for the current document
    int m_scrollAfterWake = 0; // lngScrollTop of a discarded page that is loading again
    QString m_urlBeforeWake;
    bool m_documentArrived = true; // the load under way has brought a document
    QObject m_guard;               // timers and queries of this window die with it
    QTimer m_stallClock;
};
