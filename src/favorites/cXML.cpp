#include "favorites/cXML.h"

#include "favorites/FeedPage.h"
#include "platform/BrowserControl.h"
#include "platform/HttpClient.h"
#include "platform/PageWriter.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/LoadingQueue.h"
#include "reader/Reader.h"
#include "reader/WindowPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QThreadPool>

namespace {

constexpr qint64 kMaxFeedBytes = 64 * 1024 * 1024;

QString failurePage(const QString &url, const QString &why)
{
    return QStringLiteral("<head><title>Feed</title></head><body><h2>This feed could not be "
                          "read</h2><p>") +
           url.toHtmlEscaped() + QStringLiteral("<p>") + why.toHtmlEscaped() +
           QStringLiteral("</body>");
}

} // namespace

cXML::cXML(AppContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx)
{}

QString cXML::pageAddress(const QString &fileName)
{
    return ProgramPages::url(QStringLiteral("XML/") + fileName).toString();
}

void cXML::StartDownload(const QString &url, int windowIndex, double bookmark)
{
    m_sourceUrl = url;
    m_windowIndex = windowIndex;
    m_bookmark = bookmark;
    if (!m_ctx.http) {
        downloaded({}, QStringLiteral("No network client."));
        return;
    }
    HttpRequest request;
    request.url = QUrl(url);
    request.maxBodyBytes = kMaxFeedBytes;
    QPointer<cXML> self(this);
    (void)m_ctx.http->request(request, [self](const HttpResponse &r) {
        if (!self)
            return;
        QString failure;
        if (!r.ok())
            failure = !r.errorText.isEmpty() ? r.errorText
                      : r.tooLarge           ? QStringLiteral("The feed is too large.")
                                   : QStringLiteral("The server answered %1.").arg(r.statusCode);
        self->downloaded(r.body, failure);
    });
}

void cXML::downloaded(const QByteArray &body, const QString &failure)
{
    if (!failure.isEmpty()) {
        FeedPage page;
        page.error = failure;
        page.html = failurePage(m_sourceUrl, failure);
        converted(page);
        return;
    }
    // Parsed on a worker: the frame keeps answering while a large feed is read.
    QPointer<cXML> self(this);
    const QString url = m_sourceUrl;
    const double bookmark = m_bookmark;
    QThreadPool::globalInstance()->start([self, body, url, bookmark] {
        FeedPage page = BuildFeedPage(body, url, bookmark);
        QMetaObject::invokeMethod(
            qApp,
            [self, page] {
                if (self)
                    self->converted(page);
            },
            Qt::QueuedConnection);
    });
}

void cXML::converted(const FeedPage &page)
{
    const QString folder = m_ctx.folders.xml;
    const QString name = FeedFileName(m_sourceUrl);
    QSaveFile file(QDir(folder).filePath(name));
    const bool written = !folder.isEmpty() && QDir().mkpath(folder) &&
                         file.open(QIODevice::WriteOnly) && file.write(page.html.toUtf8()) >= 0 &&
                         file.commit();
    if (!written) {
        Q_EMIT finished();
        return;
    }
    show(pageAddress(name));
}

void cXML::show(const QString &address)
{
    DocumentWindow *w =
        m_windowIndex >= 0 && m_ctx.reader ? m_ctx.reader->pool.window(m_windowIndex) : nullptr;
    if (w && w->brwWebBrowser)
        (void)w->brwWebBrowser->navigate(QUrl(address));
    else if (m_ctx.LoadDocument)
        m_ctx.LoadDocument(address, LoadWhere::Background);
    Q_EMIT finished();
}

FeedViewers::FeedViewers(AppContext &ctx, QObject *parent) : QObject(parent), m_ctx(ctx)
{}

void FeedViewers::OpenFeedViewer(const QString &url, double bookmark, int windowIndex)
{
    auto *viewer = new cXML(m_ctx, this);
    m_live.append(viewer);
    connect(viewer, &cXML::finished, this, [this, viewer] {
        m_live.removeAll(viewer);
        viewer->deleteLater();
    });
    viewer->StartDownload(url, windowIndex, bookmark);
}
