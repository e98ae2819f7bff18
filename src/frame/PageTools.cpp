#include "frame/PageTools.h"

#include "frame/MDIForm1.h"
#include "frame/SourceView.h"
#include "platform/BrowserControl.h"
#include "platform/Document.h"
#include "platform/HttpClient.h"
#include "platform/Shell.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "reader/WheelGestures.h"
#include "store/cFile.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QStandardPaths>

#include <QUrl>
#include <memory>

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

void PageTools::mnuView_IncreaseImageSizes_Click()
{
    if (DocumentWindow *w = current(); w && w->DocumentObject())
        w->DocumentObject()->scaleImages(1.1);
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

// ---------------------------------------------------------------------------------------------
// Source views

namespace {

// Lines off the screen are laid out only when scrolled to: a large page has tens of thousands.
const QString kSourceStyle = QStringLiteral(
    "<head><style>*{font-family:Verdana;font-size:xx-small;font-weight:bolder}"
    "body>p,body>div{content-visibility:auto;contain-intrinsic-size:0 1.5em}</style><title>");
const QString kBlock = QStringLiteral("<div style=background-color:blue;color:white;padding:5px>");

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// The head of a program-made source page and the start of its blue block, under one title.
QString sourcePageStart(const QString &title)
{
    return kSourceStyle + esc(title) + QStringLiteral("</title></head><body><b>") + kBlock +
           QStringLiteral("<p>") + esc(title) + QStringLiteral("</p>");
}

QString counts(int links, int images, int forms)
{
    return QStringLiteral("<p>Links: %1<p>Images: %2<p>Forms: %3")
        .arg(links)
        .arg(images)
        .arg(forms);
}

} // namespace

QString PageTools::sourceHeader(const DocumentSnapshot &page, const QString &cookie)
{
    const QString heading = QStringLiteral("HTML Source Code for ") + page.url.toString();
    QString html = sourcePageStart(heading) + QStringLiteral("<H3>Title: ") + esc(page.title) +
                   QStringLiteral("</H3>");
    if (page.frameElementCount > 0)
        html += QStringLiteral("<H4>Frames: %1</H4>").arg(page.frameElementCount);
    if (page.iframeCount > 0)
        html += QStringLiteral("<H4>IFrames: %1</H4>").arg(page.iframeCount);
    const bool secure = page.url.scheme() == QLatin1String("https");
    return html + counts(page.linkCount, page.imageCount, page.formCount) +
           QStringLiteral("<p>Last Modified: ") + esc(page.lastModified) +
           QStringLiteral("<p>Cookie: ") + esc(cookie) + QStringLiteral("<p>Security: ") +
           (secure ? QStringLiteral("encrypted (https)") : QStringLiteral("none")) +
           QStringLiteral("</div>");
}

QString PageTools::frameHeader(int number, const FrameSource &frame)
{
    return kBlock + QStringLiteral("<H2>Frame %1</H2><H3>URL: ").arg(number) +
           esc(frame.url.toString()) + QStringLiteral("</H3>") +
           (frame.readable
                ? QString()
                : QStringLiteral("<H4>A frame of another site: its source as its "
                                 "address gives it%1.</H4>")
                      .arg(frame.html.isEmpty() ? QStringLiteral(" (none came)") : QString())) +
           QStringLiteral("<H4>Title: ") + esc(frame.title) +
           QStringLiteral("</H4><H5>IFrames: %1</H5>").arg(frame.iframeCount) +
           counts(frame.linkCount, frame.imageCount, frame.formCount) + QStringLiteral("</div>");
}

bool PageTools::stillShows(DocumentWindow *w, const Document *doc) const
{
    return m_ctx.reader && m_ctx.reader->pool.current() == w && w->DocumentObject() == doc;
}

void PageTools::showSource(DocumentWindow &w, const QString &title, const QString &header,
                           const QString &source)
{
    // A screenful first, the rest in a few large writes once the page is there: one page of
    // megabytes reaches the window many times slower.
    const QStringList parts =
        SourceView::convertParts(source, 30000, 500000, [this](qsizetype done, qsizetype total) {
            m_frame.SetStatusText(
                1,
                QStringLiteral("Please wait. Processing %1 characters of %2").arg(done).arg(total));
        });
    const QString more = QStringLiteral("SourceMore");
    w.writeProgramPage(
        header + parts.constFirst() +
            (parts.size() > 1 ? QStringLiteral("<div id=%1></div>").arg(more) : QString()),
        QStringLiteral("Source.htm"), title);
    if (Document *doc = w.DocumentObject()) {
        for (qsizetype i = 1; i < parts.size(); ++i)
            doc->insertAdjacentHTML(more, QStringLiteral("beforeBegin"), parts.at(i));
    }
    m_frame.SetStatusText(1, QStringLiteral("Click the back button on the toolbar to return to "
                                            "the document."));
}

void PageTools::mnuViewSource_Click()
{
    DocumentWindow *w = current();
    Document *doc = w ? w->DocumentObject() : nullptr;
    if (!doc)
        return;
    m_frame.SetStatusText(1, QStringLiteral("Please wait while document is being converted."));
    const DocumentSnapshot page = doc->snapshot();
    doc->queryOuterHTML([this, w, doc, page](const QString &html) {
        if (!stillShows(w, doc))
            return;
        doc->queryFrameSources([this, w, doc, page, html](const QList<FrameSource> &found) {
            if (!stillShows(w, doc))
                return;
            auto frames = std::make_shared<QList<FrameSource>>(found);
            const auto show = [this, w, doc, page, html, frames] {
                if (!stillShows(w, doc))
                    return;
                doc->queryCookie([this, w, doc, page, html, frames](const QString &cookie) {
                    if (!stillShows(w, doc))
                        return;
                    // Each frame's block and source first, then the page's own.
                    QString header = sourceHeader(page, cookie);
                    for (int i = 0; i < frames->size(); ++i)
                        header += frameHeader(i + 1, frames->at(i)) +
                                  SourceView::convert(frames->at(i).html);
                    showSource(*w, QStringLiteral("HTML Source Code for ") + page.url.toString(),
                               header, html);
                });
            };
            // The page's script cannot read a frame of another site: its source comes from its
            // address instead.
            auto pending = std::make_shared<int>(1);
            for (int i = 0; i < frames->size(); ++i) {
                const QUrl url = frames->at(i).url;
                if (frames->at(i).readable || !m_ctx.http ||
                    (url.scheme() != QLatin1String("http") &&
                     url.scheme() != QLatin1String("https")))
                    continue;
                ++*pending;
                HttpRequest request;
                request.url = url;
                request.timeoutMs = 15000;
                request.maxBodyBytes = 8 * 1024 * 1024;
                (void)m_ctx.http->request(request,
                                          [frames, i, pending, show](const HttpResponse &r) {
                                              if (r.ok())
                                                  (*frames)[i].html = QString::fromUtf8(r.body);
                                              if (--*pending == 0)
                                                  show();
                                          });
            }
            if (--*pending == 0)
                show();
        });
    });
}

void PageTools::viewSelectionSource()
{
    DocumentWindow *w = current();
    Document *doc = w ? w->DocumentObject() : nullptr;
    if (!doc)
        return;
    doc->querySelectedHTML([this, w, doc](const QString &html) {
        if (!stillShows(w, doc) || html.isEmpty())
            return;
        const QString title = QStringLiteral(
            "Source Code for Selected Text. Does NOT INCLUDE attributes set by stylesheets.");
        showSource(*w, title, sourcePageStart(title) + QStringLiteral("</div>"), html);
    });
}

void PageTools::mnuView_StyleSheets_Click()
{
    DocumentWindow *w = current();
    Document *doc = w ? w->DocumentObject() : nullptr;
    if (!doc)
        return;
    const QString url = doc->snapshot().url.toString();
    doc->queryStyleSheets([this, w, doc, url](const QList<StyleSheetInfo> &sheets) {
        if (!stillShows(w, doc))
            return;
        const QString title = QStringLiteral("Source Code of StyleSheets for ") + url;
        QString html = sourcePageStart(title) + QStringLiteral("</div>");
        for (int i = 0; i < sheets.size(); ++i) {
            const StyleSheetInfo &sheet = sheets.at(i);
            html +=
                QStringLiteral("<h4>") +
                (sheet.href.isEmpty() ? QStringLiteral("Embedded StyleSheet") : esc(sheet.href)) +
                QStringLiteral("</h4><div style=background-color:#") +
                (i % 2 == 0 ? QStringLiteral("FFFFEE") : QStringLiteral("EEFFEE")) +
                QStringLiteral(">") +
                esc(sheet.text).replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
                QStringLiteral("</div>");
        }
        w->writeProgramPage(html, QStringLiteral("StyleSheets.htm"), title);
    });
}

void PageTools::mnuFind_Click()
{
    m_frame.SetStatusText(1, QStringLiteral("To search for text in the document, cancel the "
                                            "dialog box, and press Ctrl-F."));
    // The file-search programs of the common desktops, the first one installed.
    static const char *const kSearchers[] = {"catfish", "gnome-search-tool", "kfind",
                                             "searchmonkey", "fsearch"};
    for (const char *name : kSearchers) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!program.isEmpty() && m_ctx.shell && m_ctx.shell->runProgram(program, {}))
            return;
    }
    if (m_ctx.ui)
        (void)m_ctx.ui->messageBox(
            QStringLiteral("No file search program is installed. Install one of catfish, "
                           "gnome-search-tool or kfind to search for files from here."),
            QStringLiteral("Skimline"));
}

// ---------------------------------------------------------------------------------------------
// The research file

QString PageTools::researchFile() const
{
    return QDir(m_ctx.folders.documents).filePath(QStringLiteral("sklResearch.htm"));
}

QString PageTools::researchEntry(const QString &url, const QString &pageTitle, bool newPage,
                                 const QString &html)
{
    QString entry;
    if (newPage)
        entry = QStringLiteral("<hr><h3><a href=\"") + url.toHtmlEscaped() + QStringLiteral("\">") +
                (pageTitle.isEmpty() ? QStringLiteral("Untitled") : pageTitle.toHtmlEscaped()) +
                QStringLiteral("</a></h3>\n");
    return entry + html + QLatin1Char('\n');
}

bool PageTools::appendResearch(const QString &url, const QString &title, const QString &html)
{
    const QString path = researchFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    const bool created = !f.exists();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QByteArray out;
    // A new file starts as a page a browser opens; later passages only ever add to its body.
    if (created)
        out = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Research</title>"
              "<style>.copied{margin:0 0 1em 0}</style></head><body>\n";
    out += researchEntry(url, title, url != m_researchPage, html).toUtf8();
    if (f.write(out) != out.size())
        return false;
    m_researchPage = url;
    return true;
}

void PageTools::AppendToCurrentResearchFile(bool bAppendNote, const QString &note)
{
    DocumentWindow *w = current();
    const QString url = currentUrl();
    const QString title = w ? w->strDocumentTitle : QString();
    const auto done = [this](bool ok) {
        if (!ok && m_ctx.ui)
            (void)m_ctx.ui->messageBox(QStringLiteral("The research file ") + researchFile() +
                                           QStringLiteral(" could not be written."),
                                       QStringLiteral("Skimline"));
        else
            m_frame.SetStatusText(1, QStringLiteral("Added to the research file."));
    };
    if (bAppendNote) {
        if (note.trimmed().isEmpty())
            return;
        QString text = note.toHtmlEscaped();
        text.replace(QLatin1String("\r\n"), QLatin1String("<p>"));
        text.replace(QLatin1Char('\n'), QLatin1String("<p>"));
        done(appendResearch(
            url, title, QStringLiteral("<div class=copied>") + text + QStringLiteral("</div>")));
        return;
    }
    Document *doc = w ? w->DocumentObject() : nullptr;
    if (!doc)
        return;
    doc->querySelectionForCopy([this, w, doc, url, title, done](const QString &html) {
        if (!stillShows(w, doc) || html.trimmed().isEmpty())
            return;
        done(appendResearch(
            url, title, QStringLiteral("<div class=copied>") + html + QStringLiteral("</div>")));
    });
}
