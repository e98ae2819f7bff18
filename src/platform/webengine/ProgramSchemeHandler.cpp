#include "ProgramSchemeHandler.h"

#include "platform/PageWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebEngineUrlRequestJob>

bool programInitiator(const QUrl &initiator)
{
    // An empty initiator is the browser itself (the program navigating); "null" is an opaque
    // origin such as a data: page, which is web content.
    if (initiator.isEmpty())
        return true;
    return ProgramPages::isProgramUrl(initiator);
}

ProgramSchemeHandler::ProgramSchemeHandler(QString pagesPath, QObject *parent)
    : QWebEngineUrlSchemeHandler(parent), m_pagesPath(std::move(pagesPath))
{}

QString ProgramSchemeHandler::localPath(const QUrl &url) const
{
    if (!ProgramPages::isProgramUrl(url))
        return QString();
    QString relative = QDir::cleanPath(url.path(QUrl::FullyDecoded));
    QString folder = m_pagesPath;
    static const QString xml = QStringLiteral("/XML/");
    if (!m_xmlPath.isEmpty() && relative.startsWith(xml)) {
        folder = m_xmlPath;
        relative = relative.mid(xml.size() - 1);
    }
    if (folder.isEmpty())
        return QString();
    const QString root = QDir(folder).canonicalPath();
    if (root.isEmpty())
        return QString();
    const QString candidate = QDir::cleanPath(root + QLatin1Char('/') + relative);
    const QString canonical = QFileInfo(candidate).canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(root + QLatin1Char('/')))
        return QString();
    return canonical;
}

void ProgramSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    if (!programInitiator(job->initiator()) || !ProgramPages::isProgramUrl(url)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const auto written = m_pages.constFind(url.path());
    if (written != m_pages.constEnd()) {
        auto *buffer = new QBuffer(job);
        buffer->setData(written->html);
        buffer->open(QIODevice::ReadOnly);
        job->reply("text/html;charset=utf-8", buffer);
        return;
    }
    const QString path = localPath(url);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *file = new QFile(path, job);
    if (!file->open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::RequestFailed);
        return;
    }
    QByteArray type =
        QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8();
    if (type == "text/html" || type == "text/css" || type == "text/plain" ||
        type == "application/javascript")
        type += ";charset=utf-8";
    job->reply(type, file);
}

QUrl ProgramSchemeHandler::addWrittenPage(quintptr owner, const QString &name,
                                          const QByteArray &html)
{
    QString safe;
    for (const QChar c : name) {
        if (c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('_') ||
            c == QLatin1Char('-'))
            safe += c;
    }
    if (safe.isEmpty())
        safe = QStringLiteral("page.htm");
    const QString path = QStringLiteral("/__page%1_%2").arg(m_next++).arg(safe);
    m_pages.insert(path, Written{owner, html});
    QStringList &order = m_order[owner];
    order.append(path);
    while (order.size() > kPagesPerOwner)
        m_pages.remove(order.takeFirst());
    return ProgramPages::url(path.mid(1));
}

void ProgramSchemeHandler::dropOwner(quintptr owner)
{
    const QStringList paths = m_order.take(owner);
    for (const QString &p : paths)
        m_pages.remove(p);
}
