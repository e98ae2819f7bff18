#include "reader/DocumentWindow.h"

#include "platform/Document.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/History.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"
#include "reader/cFrame.h"
#include "store/CWinInet_URL.h"

#include <QPointer>

namespace {
const QString kA = QStringLiteral("a");
const QString kB = QStringLiteral("b");
const QString kC = QStringLiteral("c");
const QString kF = QStringLiteral("f");
const QString kI = QStringLiteral("i");
const QString kN = QStringLiteral("n");
const QString kP = QStringLiteral("p");
const QString kX = QStringLiteral("x");

// The same document: only the part after "#" moved.
bool sameDocument(const QUrl &a, const QUrl &b)
{
    return a.adjusted(QUrl::RemoveFragment) == b.adjusted(QUrl::RemoveFragment);
}

QString framesText(int frames)
{
    return QString::number(frames) +
           QStringLiteral(" Frames - shift-click to open links in new window.");
}

} // namespace

DocumentWindow::DocumentWindow(Reader &reader, BrowserControl *control)
    : brwWebBrowser(control), m_reader(reader)
{
    if (brwWebBrowser)
        brwWebBrowser->setListener(this);
    m_reader.nav.attach(*this);
    m_stallClock.setSingleShot(true);
    QObject::connect(&m_stallClock, &QTimer::timeout, &m_guard, [this] { loadStalled(); });
}

void DocumentWindow::setCountsAsDownload(bool counted)
{
    m_countedDownload = counted;
    if (counted)
        m_stallClock.start(m_reader.ctx.glLoadStallMs);
    else
        m_stallClock.stop();
}

void DocumentWindow::loadProgressed()
{
    if (m_countedDownload)
        m_stallClock.start(m_reader.ctx.glLoadStallMs);
}

void DocumentWindow::loadStalled()
{
    if (!m_countedDownload || mbClosing)
        return;
    // Released first: the stopped load is no document that came and was read.
    m_reader.queue.releaseDownload(*this);
    // A load the reader is in is theirs to wait for or stop; it only leaves the queue's count.
    if (!bActiveForm) {
        if (brwWebBrowser)
            brwWebBrowser->stop();
        const QString url = m_reader.log.field(mdCurrentSessionBookmark, "URL").toString();
        m_reader.report.gcolNavErrors.append(
            SessionReport::NavErrorLine(url.isEmpty() ? msURL : url, NavErrorCode::Timeout));
        // Left unread: Next Window still shows it, and a restart loads it again.
        if (mdCurrentSessionBookmark != 0)
            m_reader.log.update(mdCurrentSessionBookmark, {{"bRead", 0}});
    }
    m_reader.queue.startQueued();
}

DocumentWindow::~DocumentWindow()
{
    m_reader.nav.detach(*this);
    if (brwWebBrowser)
        brwWebBrowser->setListener(nullptr);
    if (m_countedDownload)
        m_reader.queue.releaseDownload(*this);
}

Document *DocumentWindow::DocumentObject() const
{
    return brwWebBrowser ? &brwWebBrowser->document() : nullptr;
}

void DocumentWindow::InitializeForm(int iTag, bool bNext)
{
    AppContext &ctx = m_reader.ctx;
    miTag = iTag;
    msKey = QString::number(iTag) + QLatin1Char('K');
    bActiveForm = (iTag == ctx.giCurrentWindow);
    mbNext = bNext;
    miLargestFrame = -1;
    bNavigateInOtherWindow = false;
    bAllowOpenInNewWindow = false;
    m_reader.pool.setState(iTag, bActiveForm ? kA : (bNext ? kN : kB));
    m_reader.host.windowListChanged();
    m_reader.pool.UpdateWindowCount();
}

void DocumentWindow::LargestFrame_SetFocus()
{
    if (!bActiveForm || m_reader.ctx.gbTextEntry || !brwWebBrowser)
        return;
    // A page with inline frames is read in its own body; a frameset in its largest frame.
    if (miLargestFrame < 0 || intIFrames > 0 || size_t(miLargestFrame) >= mcFrames.size())
        zSetFocus();
    else
        mcFrames[size_t(miLargestFrame)]->zSetFocus();
}

void DocumentWindow::zHighlightDoc()
{
    Document *doc = DocumentObject();
    const HighlightWords words = m_reader.host.highlightWords();
    if (!doc || !words.isOn())
        return;
    doc->highlightTerms(words.terms, words.styles);
    for (const auto &frame : mcFrames)
        frame->HighlightDoc();
}

void DocumentWindow::frameDocumentComplete(const FrameDocumentInfo &frame)
{
    if (mbClosing)
        return;
    ++miLastFrame;
    mcFrames.push_back(std::make_unique<cFrame>(*this, miLastFrame));
    cFrame &handler = *mcFrames.back();
    handler.docHTML(frame, miTag);
    handler.Doc_onreadystatechange();
}

bool DocumentWindow::navigateHere(const QUrl &url, const QString &headers,
                                  const QByteArray &postData)
{
    if (!brwWebBrowser)
        return false;
    const bool before = bNavigateInOtherWindow;
    bNavigateInOtherWindow = false;
    if (brwWebBrowser->navigate(url, headers, postData))
        return true;
    bNavigateInOtherWindow = before;
    return false;
}

void DocumentWindow::navigateHere(HistoryStep step)
{
    if (!brwWebBrowser)
        return;
    bNavigateInOtherWindow = false;
    switch (step) {
    case HistoryStep::Back:
        brwWebBrowser->goBack();
        break;
    case HistoryStep::Forward:
        brwWebBrowser->goForward();
        break;
    case HistoryStep::Reload:
        brwWebBrowser->refresh();
        break;
    }
}

void DocumentWindow::setDocumentZoom(const QString &zoom)
{
    Document *doc = DocumentObject();
    if (!doc)
        return;
    doc->setBodyZoom(zoom);
    for (const auto &frame : mcFrames)
        frame->setZoom(zoom);
}

void DocumentWindow::zClose()
{
    m_reader.pool.unloadWindow(miTag);
}

void DocumentWindow::zSetFocus()
{
    if (!brwWebBrowser)
        return;
    brwWebBrowser->setFocus();
    brwWebBrowser->document().focus(ElementRef());
}

void DocumentWindow::setCaption(const QString &text)
{
    captionChanged(text);
    m_reader.host.setWindowCaption(*this, text);
}

// ---- the form ----

void DocumentWindow::writeProgramPage(const QString &html, const QString &fileName,
                                      const QString &title)
{
    if (!brwWebBrowser)
        return;
    strDocumentTitle = title;
    m_reader.host.setWindowCaption(*this, title);
    mbDontAddToHistory = true;
    (void)brwWebBrowser->pageWriter().writePage(html, fileName);
    mbDocWritten = true;
    m_reader.host.setAddressText(title);
}

void DocumentWindow::Form_Activate()
{
    AppContext &ctx = m_reader.ctx;
    WindowPool &pool = m_reader.pool;
    ReaderHost &host = m_reader.host;

    bActiveForm = true;
    mbNext = false;
    ctx.giCurrentWindow = miTag;
    // A discarded page loads again: the reader's position comes back once it is complete.
    if (brwWebBrowser && brwWebBrowser->isAsleep() && brwWebBrowser->wake() && lngScrollTop > 0) {
        m_scrollAfterWake = lngScrollTop;
        m_urlBeforeWake = msURL;
    }

    Document *doc = DocumentObject();
    if (!mbClosing && intFrames == 0 && doc) {
        if (pool.state(miTag) == kF && lngScrollTop > 0)
            doc->scrollTo(0, lngScrollTop);
    }
    if (mlInitialScrollTop > 0 && doc)
        doc->scrollTo(0, mlInitialScrollTop);
    mlInitialScrollTop = 0;

    pool.setState(miTag, kA);
    pool.ShowWindowState(miTag);
    bNavigateInOtherWindow = true;
    bAllowOpenInNewWindow = true;

    host.setStatusText(2, QString::number(miWindowNumber) + QStringLiteral(" of ") +
                              QString::number(ctx.giWindowsOpen));
    if (intFrames > 0) {
        msStatusText = framesText(intFrames);
        host.setStatusText(3, msStatusText);
    }
    host.setAddressText(msURL);
    host.setToolButton(QStringLiteral("FS"), true, bOpenInSameWindow);
    host.setToolButton(QStringLiteral("MK"), true, bKeep);
    host.setToolButton(QStringLiteral("Back"), mbNavigateBack, false);
    host.setToolButton(QStringLiteral("Forward"), mbNavigateForward, false);
    host.setMenuItem(QStringLiteral("mnuBack"), mbNavigateBack, false);
    host.setMenuItem(QStringLiteral("mnuForward"), mbNavigateForward, false);
    host.setMenuItem(QStringLiteral("mnuOpenInSameWindow"), true, bOpenInSameWindow);
    host.setMenuItem(QStringLiteral("mnuKeepInMemory"), true, bKeep);

    // The moment a document counts as read.
    if (mdCurrentSessionBookmark != 0)
        m_reader.log.update(mdCurrentSessionBookmark, {{"bRead", 1}});
    host.zTopBar();
    (void)RecordHistory(ctx, *this);

    // The reader has taken over a load still under way: the queue moves on without it.
    if (m_countedDownload)
        m_reader.queue.releaseDownload(*this);
    m_reader.queue.startQueued();
    LargestFrame_SetFocus();
}

void DocumentWindow::Form_Deactivate()
{
    AppContext &ctx = m_reader.ctx;
    WindowPool &pool = m_reader.pool;
    if (!mbClosing) {
        if (Document *doc = DocumentObject()) {
            // Marking search words is for the window being read only.
            doc->stopHighlighting();
            const DocumentSnapshot snap = doc->snapshot();
            // Left again before its woken page was back: the old position still holds.
            lngScrollTop = m_scrollAfterWake > 0 ? m_scrollAfterWake : snap.scrollTop;
        }
        bOpenInSameWindow = false;
        mbRead = true;
        msStatusText.clear();
        bActiveForm = false;
        // Read and left while its page still loads: as for one read while it loads, it holds
        // no download (a page that never finishes would hold it for good).
        if (m_countedDownload)
            m_reader.queue.releaseDownload(*this);
        m_reader.nav.pageFieldGone(*this);
        if (pool.state(miTag) != kX)
            pool.setState(miTag, kP);
        pool.ShowWindowState(miTag);

        // The window read before this one is done with, unless the user is going back to it.
        const int previous = ctx.giPreviousWindow;
        if (previous != miTag && previous != pool.activatingSlot() && pool.window(previous)) {
            const QString prevState = pool.state(previous);
            if (prevState == kX) {
                pool.unloadWindow(previous);
            } else if (!prevState.isEmpty()) {
                pool.setState(previous, kF);
                pool.ShowWindowState(previous);
                pool.scheduleSleep(previous);
            }
        }
        ctx.giPreviousWindow = miTag;
        msReadyState = kF;
        // Only while the page is shown: after it was left the switch keeps the headings' value.
        if ((ctx.giHistoryPage == 1 || ctx.giHistoryPage == 2) && ctx.zHistoryDone)
            ctx.zHistoryDone();
    }
    mbAddtoHistory = false;
}

bool DocumentWindow::Form_QueryUnload()
{
    AppContext &ctx = m_reader.ctx;
    if (!ctx.gbExiting && ctx.giWindowsOpen < 2) {
        mbClosing = false;
        (void)navigateHere(ProgramPages::url(QStringLiteral("sklHelp.htm#CW")));
        return true;
    }
    mbClosing = true;
    bAllowOpenInNewWindow = false;
    mbDontAddToHistory = true;
    return false;
}

void DocumentWindow::Form_Unload()
{
    AppContext &ctx = m_reader.ctx;
    if (m_countedDownload)
        m_reader.queue.releaseDownload(*this);
    if (ctx.gbExiting)
        return;
    // No longer held in a window: an unread document becomes eligible for the queue again.
    if (mdCurrentSessionBookmark != 0)
        m_reader.log.update(mdCurrentSessionBookmark, {{"bLoaded", 0}});
    m_reader.pool.setState(miTag, QString());
    // The slot may soon hold another window, which must not be taken for this one.
    if (ctx.giPreviousWindow == miTag)
        ctx.giPreviousWindow = -1;
    m_reader.pool.UpdateWindowCount();
    if (bActiveForm) {
        bActiveForm = false;
        m_reader.pool.mnuNextDoc_Click();
    }
    m_reader.host.windowListChanged();
}

// ---- the control ----

void DocumentWindow::brwWebBrowser_StatusTextChange(const QString &text)
{
    if (bActiveForm)
        m_reader.host.setStatusText(1, text);
}

void DocumentWindow::brwWebBrowser_ProgressChange(int progress, int progressMax)
{
    loadProgressed();
    if (!bActiveForm || progressMax <= 0 || progress > progressMax)
        return;
    m_reader.host.setStatusText(3, QStringLiteral("Progress = ") +
                                       QString::number(double(progress) * 100.0 / progressMax) +
                                       QLatin1Char('%'));
}

void DocumentWindow::brwWebBrowser_CommandStateChange(bool canGoBack, bool canGoForward)
{
    mbNavigateBack = canGoBack;
    mbNavigateForward = canGoForward;
    if (!bActiveForm)
        return;
    ReaderHost &host = m_reader.host;
    host.setToolButton(QStringLiteral("Back"), canGoBack, false);
    host.setToolButton(QStringLiteral("Forward"), canGoForward, false);
    host.setMenuItem(QStringLiteral("mnuBack"), canGoBack, false);
    host.setMenuItem(QStringLiteral("mnuForward"), canGoForward, false);
}

void DocumentWindow::brwWebBrowser_DownloadBegin()
{
    loadProgressed();
    if (mbClosing)
        return;
    msReadyState = kB;
    m_documentArrived = false;
    m_reader.pool.ShowWindowState(miTag);
    if (bActiveForm)
        m_reader.host.setStatusText(3, QString());
}

void DocumentWindow::brwWebBrowser_DownloadComplete()
{
    msNavigatingURL.clear();
    if (mbClosing)
        return;
    if (mbInteractive && mbNavigationError) {
        // An error page has been shown: the document is as complete as it gets.
        CompleteDocument();
        return;
    }
    if (!m_documentArrived && m_countedDownload) {
        // The address gave no document (a file the engine saves, an empty answer): nothing
        // to read, and its download is over, so the queue moves on.
        if (mdCurrentSessionBookmark != 0)
            m_reader.log.update(mdCurrentSessionBookmark, {{"bLoaded", 1}, {"bRead", 1}});
        msReadyState = kF;
        if (!bActiveForm && m_reader.pool.state(miTag) == kB)
            m_reader.pool.setState(miTag, kF);
        m_reader.pool.ShowWindowState(miTag);
        m_reader.queue.releaseDownload(*this);
        m_reader.queue.startQueued();
        return;
    }
    if (msReadyState == kB)
        msReadyState = kI;
    m_reader.pool.ShowWindowState(miTag);
}

void DocumentWindow::brwWebBrowser_TitleChange(const QString &text)
{
    if (mbClosing || text.isEmpty())
        return;
    strDocumentTitle = text;
    setCaption(text);
    // The title often arrives after the document completed.
    if (m_completed && mdCurrentSessionBookmark != 0)
        m_reader.log.update(mdCurrentSessionBookmark, {{"Title", text}});
}

void DocumentWindow::brwWebBrowser_NavigateComplete2(const QUrl &url, bool isTopFrame)
{
    loadProgressed();
    if (mbClosing)
        return;
    // A frame's document gets its handler when it is complete (frameDocumentComplete).
    if (!isTopFrame)
        return;
    m_documentArrived = true;
    AppContext &ctx = m_reader.ctx;
    msNavigatingURL.clear();
    const QUrl location = brwWebBrowser ? brwWebBrowser->locationUrl() : url;
    const QString locationText = (location.isEmpty() ? url : location).toString();
    const QString previousUrl = msURL;
    mURLParts = m_reader.urlParts(locationText);
    msURL = mURLParts.valid && !mURLParts.url.isEmpty() ? mURLParts.url : locationText;
    mbInteractive = false;
    mbNavigationError = false;
    m_completed = false;
    lngScrollTop = 0;
    // Only the woken page itself goes back to where it was read.
    if (m_scrollAfterWake > 0 && msURL != m_urlBeforeWake)
        m_scrollAfterWake = 0;
    const bool written = ProgramPages::isWrittenPage(location.isEmpty() ? url : location);
    // A written page's address means nothing to the user: its writer fills the box.
    if (bActiveForm && !written)
        m_reader.host.setAddressText(locationText);
    if (bActiveForm && !written)
        m_reader.host.setStatusText(3, QString());
    // Another page replaced the history page.
    if (bActiveForm && ctx.giHistoryPage == 2 && ctx.zHistoryDone)
        ctx.zHistoryDone();
    // A field of the old document no longer has the keyboard (a form sent with Enter).
    m_reader.nav.pageFieldGone(*this);
    miLastFrame = -1;
    mcFrames.clear();
    miLargestFrame = -1;
    mlLargestFrameLength = 0;
    // A new document: its address until its title arrives.
    strDocumentTitle = msURL;
    setCaption(strDocumentTitle);
    if (!bActiveForm)
        mbRead = false;
    mdFavBookmark = mfdTempBookMark;
    mfdTempBookMark = 0;

    if (mdFavBookmark != 0 && mbFormSubmit && ctx.stores) {
        // The favorite's form page is here: submit its saved form once, in this window.
        mbFormSubmit = false;
        Recordset fav =
            ctx.stores->rsFavorites.State() ? ctx.stores->rsFavorites.Clone() : Recordset();
        if (fav.State() && fav.SetBookmark(mdFavBookmark) && !fav.isEOF() && brwWebBrowser) {
            brwWebBrowser->stop();
            (void)navigateHere(QUrl(fav.Field(QStringLiteral("URL")).toString()),
                               fav.Field(QStringLiteral("Headers")).toString(),
                               fav.Field(QStringLiteral("PostData")).toByteArray());
        }
    }

    bNavigateInOtherWindow = bActiveForm;
    if (!mbDontAddToHistory) {
        // A new document that no LoadDocument brought (a link followed in place, Back,
        // Forward, a form, a redirect of the page): it gets a record of its own, so the old
        // one keeps its own title and address. The program's pages have none.
        const bool sameRecord = mdOldCurrentSessionBookmark == mdCurrentSessionBookmark;
        if (sameRecord && !sameDocument(QUrl(previousUrl), QUrl(msURL))) {
            if (ProgramPages::isProgramUrl(QUrl(msURL))) {
                if (mdCurrentSessionBookmark != 0)
                    m_reader.log.update(mdCurrentSessionBookmark, {{"bLoaded", 0}, {"bRead", 1}});
                mdCurrentSessionBookmark = mdOldCurrentSessionBookmark = 0;
            } else {
                mdCurrentSessionBookmark = 0;
                m_reader.queue.LogNavigation(mdOldCurrentSessionBookmark, mdCurrentSessionBookmark,
                                             msURL, miTag);
            }
        } else if (!sameRecord) {
            m_reader.queue.LogNavigation(mdOldCurrentSessionBookmark, mdCurrentSessionBookmark,
                                         msURL, miTag);
        }
    }
    mdOldCurrentSessionBookmark = mdCurrentSessionBookmark;
    // It holds for the navigation under way (a refresh, a written page), not for later ones.
    mbDontAddToHistory = mbClosing;
    bAllowOpenInNewWindow = true;
    msStatusText.clear();
    mbDocWritten = written;
    if (!written)
        msWrittenPageStatus.clear();
}

bool DocumentWindow::brwWebBrowser_WindowClosing()
{
    if (m_reader.ctx.giWindowsOpen < 2) {
        (void)navigateHere(ProgramPages::url(QStringLiteral("sklHelp.htm#CW")));
        return true;
    }
    zClose();
    return false;
}

void DocumentWindow::brwWebBrowser_NavigateError(const QUrl &url, qint32 statusCode)
{
    m_reader.report.brwWebBrowser_NavigateError(*this, url, statusCode);
    mbNavigationError = true;
}

void DocumentWindow::HW2_onerror(const QString &description, const QString &url, int line)
{
    msStatusText = QStringLiteral("Script Error: ") + description + QStringLiteral(" Line #: ") +
                   QString::number(line) + QStringLiteral(" URL=") + url;
    if (bActiveForm)
        m_reader.host.setStatusText(3, msStatusText);
}

void DocumentWindow::HW2_onunload()
{
    mbAddtoHistory = false;
    mbNavigationError = false;
}

void DocumentWindow::Doc_onreadystatechange(ReadyState state)
{
    loadProgressed();
    if (mbClosing)
        return;
    WindowPool &pool = m_reader.pool;
    if (state == ReadyState::Interactive) {
        mbInteractive = true;
        mbAddtoHistory = true;
        msReadyState = kI;
        if (bActiveForm) {
            m_reader.host.zTopBar();
            (void)RecordHistory(m_reader.ctx, *this);
        } else {
            const QString s = pool.state(miTag);
            if (s != kX && s != kP && !s.isEmpty())
                pool.setState(miTag, mbNext ? kN : kI);
        }
        pool.ShowWindowState(miTag);
        return;
    }
    if (state != ReadyState::Complete || m_completed)
        return;
    msReadyState = kC;
    const QString s = pool.state(miTag);
    if (!bActiveForm && s != kX && s != kP && !s.isEmpty())
        pool.setState(miTag, kC);
    if (bActiveForm && m_reader.ctx.giHistoryPage == 1)
        m_reader.ctx.giHistoryPage = 2;
    CompleteDocument();
    checkForRawFeed();
}

void DocumentWindow::CompleteDocument()
{
    if (m_completed || mbClosing)
        return;
    m_completed = true;
    AppContext &ctx = m_reader.ctx;
    ReaderHost &host = m_reader.host;
    // The title may have arrived before the document was announced.
    if (brwWebBrowser && !mbNavigationError) {
        const QString title = brwWebBrowser->title();
        if (!title.isEmpty() && title != strDocumentTitle) {
            strDocumentTitle = title;
            setCaption(title);
        }
    }
    if (mdCurrentSessionBookmark != 0) {
        if (bActiveForm)
            m_reader.log.update(mdCurrentSessionBookmark,
                                {{"Title", strDocumentTitle}, {"bLoaded", 1}, {"bRead", 1}});
        else
            m_reader.log.update(mdCurrentSessionBookmark,
                                {{"Title", strDocumentTitle}, {"bLoaded", 1}});
    }
    m_reader.pool.ShowWindowState(miTag);
    // This document's frames, before anything below decides by them: the status text and
    // which frame takes the keyboard must not be the previous document's.
    Document *doc = DocumentObject();
    const DocumentSnapshot snap = doc ? doc->snapshot() : DocumentSnapshot();
    if (doc) {
        intFrames = snap.frameElementCount;
        intIFrames = snap.iframeCount;
        miFrames = snap.frameCount;
    }
    if (intFrames > 0)
        msStatusText = framesText(intFrames);
    if (bActiveForm) {
        bAllowOpenInNewWindow = true;
        bNavigateInOtherWindow = true;
        if (mbDocWritten && !msWrittenPageStatus.isEmpty())
            msStatusText = msWrittenPageStatus;
        host.setStatusText(3, msStatusText);
        // The frames marked their own words as they completed.
        const HighlightWords words = host.highlightWords();
        if (words.isOn() && doc)
            doc->highlightTerms(words.terms, words.styles);
        if (!ctx.gbTextEntry)
            LargestFrame_SetFocus();
        mbRead = false;
    }
    // The download is over: the next queued document may start.
    if (m_countedDownload)
        m_reader.queue.releaseDownload(*this);
    m_reader.queue.startQueued();

    // Starting the next download may have changed what this window holds.
    doc = DocumentObject();
    if (doc) {
        // A frameset has no body to zoom: its frames zoom with the view, as the wheel zooms
        // them. Any other document zooms its body, with the view at its own size again.
        const bool zoomView = snap.isFrameset && ctx.gsngPageZoom != 0;
        if (ctx.gsngPageZoom != 0 && !snap.isFrameset)
            doc->setBodyZoom(zoomText(ctx.gsngPageZoom));
        const double view = zoomView ? double(ctx.gsngPageZoom) : 1.0;
        if (brwWebBrowser && !qFuzzyCompare(brwWebBrowser->zoomFactor(), view))
            brwWebBrowser->setZoomFactor(view);
        if (m_scrollAfterWake > 0 && !snap.isFrameset)
            doc->scrollTo(0, m_scrollAfterWake);
    }
    m_scrollAfterWake = 0;
    if (bActiveForm)
        m_reader.host.activeDocumentCompleted(*this);
    onDocumentCompleted(QUrl(msURL));
}

void DocumentWindow::checkForRawFeed()
{
    // A feed served without a feed extension shows as raw XML: hand it to the feed viewer.
    Document *doc = DocumentObject();
    if (!doc || mURLParts.feed || mbDocWritten || ProgramPages::isProgramUrl(QUrl(msURL)) ||
        !m_reader.host.hasFeedViewer())
        return;
    const quint64 generation = doc->snapshot().generation;
    QPointer<QObject> guard(&m_guard);
    doc->querySelectorAll(QStringLiteral("rss, channel"),
                          [this, guard, generation](const QList<ElementSnapshot> &found) {
                              if (!guard || mbClosing || found.isEmpty())
                                  return;
                              Document *d = DocumentObject();
                              if (!d || d->snapshot().generation != generation)
                                  return;
                              const QString root = found.first().tagName.toUpper();
                              if (root != QLatin1String("RSS") && root != QLatin1String("CHANNEL"))
                                  return;
                              if (mdCurrentSessionBookmark != 0)
                                  m_reader.log.remove(mdCurrentSessionBookmark);
                              mdCurrentSessionBookmark = 0;
                              mdOldCurrentSessionBookmark = 0;
                              m_reader.host.openFeedViewer(msURL, 0);
                              zClose();
                          });
}

// ---- listener ----

void DocumentWindow::navigateComplete(BrowserControl &, const QUrl &url, bool isTopFrame)
{
    brwWebBrowser_NavigateComplete2(url, isTopFrame);
}

void DocumentWindow::downloadBegin(BrowserControl &)
{
    brwWebBrowser_DownloadBegin();
}

void DocumentWindow::downloadComplete(BrowserControl &)
{
    brwWebBrowser_DownloadComplete();
}

void DocumentWindow::readyStateChanged(BrowserControl &, ReadyState state)
{
    Doc_onreadystatechange(state);
}

bool DocumentWindow::navigateError(BrowserControl &, const QUrl &url, qint32 statusCode,
                                   const QString &, bool isTopFrame)
{
    if (isTopFrame)
        brwWebBrowser_NavigateError(url, statusCode);
    return false; // the engine shows its own error page
}

void DocumentWindow::titleChanged(BrowserControl &, const QString &title)
{
    brwWebBrowser_TitleChange(title);
}

void DocumentWindow::statusTextChanged(BrowserControl &, const QString &text)
{
    brwWebBrowser_StatusTextChange(text);
}

void DocumentWindow::progressChanged(BrowserControl &, int progress, int progressMax)
{
    brwWebBrowser_ProgressChange(progress, progressMax);
}

void DocumentWindow::commandStateChanged(BrowserControl &, bool canGoBack, bool canGoForward)
{
    brwWebBrowser_CommandStateChange(canGoBack, canGoForward);
}

bool DocumentWindow::windowClosing(BrowserControl &)
{
    return brwWebBrowser_WindowClosing();
}

void DocumentWindow::scriptError(BrowserControl &, const QString &text, int line,
                                 const QString &sourceUrl)
{
    HW2_onerror(text, sourceUrl, line);
}

// ---- followed links, keys and the mouse: the navigator's ----

bool DocumentWindow::brwWebBrowser_BeforeNavigate2(const BeforeNavigateInfo &info)
{
    return m_reader.nav.brwWebBrowser_BeforeNavigate2(*this, info);
}

BrowserControl *DocumentWindow::brwWebBrowser_NewWindow2(const NewWindowInfo &info)
{
    return m_reader.nav.brwWebBrowser_NewWindow2(*this, info);
}

bool DocumentWindow::Form_KeyDown(const KeyInfo &key)
{
    return !mbClosing && m_reader.nav.Form_KeyDown(*this, key);
}

bool DocumentWindow::Form_KeyUp(const KeyInfo &key)
{
    return !mbClosing && m_reader.nav.Form_KeyUp(*this, key);
}

bool DocumentWindow::beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info)
{
    return brwWebBrowser_BeforeNavigate2(info);
}

BrowserControl *DocumentWindow::newWindowRequested(BrowserControl &, const NewWindowInfo &info)
{
    return brwWebBrowser_NewWindow2(info);
}

bool DocumentWindow::keyPressed(BrowserControl &, const KeyInfo &key)
{
    return Form_KeyDown(key);
}

bool DocumentWindow::keyReleased(BrowserControl &, const KeyInfo &key)
{
    return Form_KeyUp(key);
}

bool DocumentWindow::wheelEvent(BrowserControl &, const WheelInfo &wheel)
{
    return !mbClosing && m_reader.nav.OnMouseWheel(*this, wheel);
}

bool DocumentWindow::mouseButtonPressed(BrowserControl &, const MouseInfo &mouse)
{
    return m_reader.nav.mouseButtonPressed(*this, mouse);
}

bool DocumentWindow::mouseButtonReleased(BrowserControl &, const MouseInfo &mouse)
{
    return m_reader.nav.mouseButtonReleased(*this, mouse);
}

bool DocumentWindow::contextMenuRequested(BrowserControl &, const ContextMenuInfo &info)
{
    return !mbClosing && m_reader.nav.OnContextMenu(*this, info);
}

QString DocumentWindow::downloadRequested(BrowserControl &, const QUrl &url,
                                          const QString &suggestedFileName)
{
    return m_reader.nav.downloadRequested(*this, url, suggestedFileName);
}

void DocumentWindow::downloadFinished(BrowserControl &, const QString &path, bool ok)
{
    m_reader.nav.downloadFinished(*this, path, ok);
}
