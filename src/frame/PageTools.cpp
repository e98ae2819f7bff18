#include "frame/PageTools.h"

#include "frame/MDIForm1.h"
#include "platform/BrowserControl.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"
#include "store/cFile.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace {

const char *const kPairs[PageTools::kTranslationPairs] = {
    "es%7Cen", "de%7Cen", "fr%7Cen", "it%7Cen", "pt%7Cen", "en%7Ces",
    "en%7Cde", "en%7Cfr", "en%7Cit", "en%7Cpt", "de%7Cfr", "fr%7Cde"};

const QString kTranslator = QStringLiteral("https://translate.google.com");
// The ranking service the menu once named is gone; this one answers per site.
const QString kSiteRanking = QStringLiteral("https://www.similarweb.com");
const QString kArchive = QStringLiteral("https://web.archive.org");
const QString kWhois = QStringLiteral("https://whois.domaintools.com");

const QString kOpenFileFolder = QStringLiteral("PathOpenFile_Last");

bool isWebPage(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

PageTools::PageTools(AppContext &ctx, MDIForm1 &frame) : m_ctx(ctx), m_frame(frame)
{}

QString PageTools::translationUrl(const QString &pageUrl, int pair)
{
    if (pair < 0 || pair >= kTranslationPairs || !isWebPage(QUrl(pageUrl)))
        return QString();
    // The page's address is a query value: its own "&" and "?" must not end it.
    return kTranslator + QStringLiteral("/translate?u=") + encoded(pageUrl) +
           QStringLiteral("&langpair=") + QLatin1String(kPairs[pair]) +
           QStringLiteral("&hl=en&ie=UTF-8&oe=UTF-8&prev=%2Flanguage_tools");
}

QString PageTools::webToolUrl(const QString &pageUrl, int tool)
{
    const QUrl url(pageUrl);
    if (!isWebPage(url))
        return QString();
    const QString host = url.host();
    switch (tool) {
    case 0:
        return kSiteRanking + QStringLiteral("/website/") + host + QLatin1Char('/');
    case 1:
        return kArchive + QStringLiteral("/web/*/http://") + host;
    case 2:
        // A bare domain is looked up directly; a host such as "www.x.org" is searched for.
        if (!host.left(4).contains(QLatin1Char('.')))
            return kWhois + QLatin1Char('/') + host;
        return kWhois + QStringLiteral("/search/?q=") + host +
               QStringLiteral("&application=search_engine&bh=A&pool=C&rows=100&bc=n");
    default:
        return QString();
    }
}

QString PageTools::siteHomeUrl(const QString &pageUrl)
{
    const QUrl url(pageUrl);
    if (!isWebPage(url))
        return QString();
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                        QUrl::RemoveUserInfo)
               .toString() +
           QLatin1Char('/');
}

QString PageTools::linkHtml(const QString &url, const QString &title)
{
    // Quoted and escaped: an address with blanks or a title with markup keeps the link whole.
    return QStringLiteral("<a href=\"") + url.toHtmlEscaped() + QStringLiteral("\">") +
           (title.isEmpty() ? url : title).toHtmlEscaped() + QStringLiteral("</a>");
}

DocumentWindow *PageTools::current() const
{
    return m_ctx.reader ? m_ctx.reader->pool.current() : nullptr;
}

QString PageTools::currentUrl() const
{
    DocumentWindow *w = current();
    if (!w || !w->brwWebBrowser)
        return QString();
    return w->brwWebBrowser->locationUrl().toString();
}

void PageTools::load(const QString &address, const QString &status)
{
    if (address.isEmpty()) {
        m_frame.SetStatusText(1, QStringLiteral("This command needs a web page in the window."));
        return;
    }
    if (m_ctx.reader)
        (void)m_ctx.reader->queue.LoadDocument(address, LoadWhere::Background);
    if (!status.isEmpty())
        m_frame.SetStatusText(1, status);
}

void PageTools::mnuTranslate_Click(int index)
{
    load(translationUrl(currentUrl(), index));
}

void PageTools::mnuTools_Web_Click(int index)
{
    load(webToolUrl(currentUrl(), index),
         index == 1 ? QStringLiteral("Downloading the archive of this site from the WayBack "
                                     "Machine in the background.")
                    : QString());
}

void PageTools::mnuNav_GotoHomePageofThisSite_Click()
{
    load(siteHomeUrl(currentUrl()),
         QStringLiteral("Downloading the home page of this site in the background."));
}

void PageTools::mnuView_EnlargeFonts_Click()
{
    DocumentWindow *w = current();
    if (!w)
        return;
    w->setDocumentZoom(zoomText(m_ctx.gsngTempZoom));
    w->zSetFocus();
}

void PageTools::mnuEdit_CopyLink_Click()
{
    DocumentWindow *w = current();
    const QString url = currentUrl();
    if (!w || url.isEmpty())
        return;
    const QString html = linkHtml(url, w->strDocumentTitle);
    // As text for plain editors and as HTML for those that take links.
    auto *data = new QMimeData;
    data->setText(html);
    data->setHtml(html);
    QGuiApplication::clipboard()->setMimeData(data);
}

void PageTools::mnuOpenLocalFile_Click()
{
    DocumentWindow *w = current();
    if (!w || !w->brwWebBrowser || !m_ctx.ui)
        return;
    const QString folder =
        m_ctx.gFile ? m_ctx.gFile->GetOption(kOpenFileFolder, QString()).toString() : QString();
    const std::optional<QString> path = m_ctx.ui->openFileName(
        QStringLiteral("Open a file on this computer."), folder,
        QStringLiteral("Web Files (*.htm *.html *.mht *.pdf *.chm);;All Files (*)"));
    if (!path)
        return;
    if (m_ctx.gFile)
        (void)m_ctx.gFile->SetOption(kOpenFileFolder, QFileInfo(*path).absolutePath());
    w->bNavigateInOtherWindow = false;
    (void)w->navigateHere(QUrl::fromLocalFile(*path));
}
