#include "platform/HttpClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

struct QtHttpClient::Pending
{
    quint64 id = 0;
    QNetworkReply *reply = nullptr;
    Callback done;
    QTimer timer;
    qint64 maxBodyBytes = 0;
    bool timedOut = false;
    bool aborted = false;
    bool tooLarge = false;
};

QtHttpClient::QtHttpClient(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{}

QtHttpClient::~QtHttpClient()
{
    const QList<Pending *> pending = m_pending;
    m_pending.clear();
    for (Pending *p : pending) {
        p->reply->disconnect(this);
        p->reply->abort();
        p->reply->deleteLater();
        delete p;
    }
}

quint64 QtHttpClient::request(const HttpRequest &request, Callback done)
{
    auto *p = new Pending;
    p->id = m_nextId++;
    p->done = std::move(done);
    p->maxBodyBytes = request.maxBodyBytes;

    QNetworkRequest req(request.url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                     request.followRedirects ? QNetworkRequest::NoLessSafeRedirectPolicy
                                             : QNetworkRequest::ManualRedirectPolicy);
    for (const HeaderLine &h : request.headers)
        req.setRawHeader(h.name, h.value);
    p->reply = request.method == HttpMethod::Head ? m_manager->head(req) : m_manager->get(req);
    m_pending.append(p);

    connect(p->reply, &QNetworkReply::downloadProgress, this, [p](qint64 received, qint64) {
        if (p->maxBodyBytes > 0 && received > p->maxBodyBytes && !p->tooLarge) {
            p->tooLarge = true;
            p->reply->abort();
        }
    });
    connect(p->reply, &QNetworkReply::finished, this, [this, p] { finish(p); });
    p->timer.setSingleShot(true);
    connect(&p->timer, &QTimer::timeout, this, [p] {
        p->timedOut = true;
        p->reply->abort();
    });
    if (request.timeoutMs > 0)
        p->timer.start(request.timeoutMs);
    return p->id;
}

void QtHttpClient::abort(quint64 id)
{
    for (Pending *p : std::as_const(m_pending)) {
        if (p->id == id) {
            p->aborted = true;
            p->reply->abort();
            return;
        }
    }
}

int QtHttpClient::inFlight() const
{
    return int(m_pending.size());
}

void QtHttpClient::finish(Pending *p)
{
    if (!m_pending.removeOne(p))
        return;
    p->timer.stop();
    QNetworkReply *reply = p->reply;
    HttpResponse r;
    r.statusCode = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.finalUrl = reply->url();
    if (const QUrl to = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        to.isValid())
        r.redirectTo = reply->url().resolved(to);
    r.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    r.timedOut = p->timedOut;
    r.aborted = p->aborted;
    r.tooLarge = p->tooLarge;
    r.networkError = int(reply->error());
    if (p->tooLarge) {
        r.errorText = QStringLiteral("The response is too large.");
    } else if (p->timedOut) {
        r.errorText = QStringLiteral("The request timed out.");
    } else if (reply->error() != QNetworkReply::NoError) {
        r.errorText = reply->errorString();
    }
    if (!p->tooLarge && !p->timedOut && !p->aborted)
        r.body = reply->readAll();
    reply->deleteLater();
    Callback done = std::move(p->done);
    delete p;
    if (done)
        done(r);
}
