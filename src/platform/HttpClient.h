#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

#include "platform/BrowserControl.h"

class QNetworkAccessManager;

enum class HttpMethod { Get, Head };

struct HttpRequest
{
    QUrl url;
    HttpMethod method = HttpMethod::Get;
    QList<HeaderLine> headers;
    int timeoutMs = 30000;
    bool followRedirects = true;
    qint64 maxBodyBytes = 64 * 1024 * 1024; // longer bodies fail the request
};

struct HttpResponse
{
    int statusCode = 0; // HTTP status; 0 when no response came
    QUrl finalUrl;      // after redirects
    QUrl redirectTo;    // a redirect not followed: where it points (absolute)
    QByteArray body;
    QByteArray contentType;
    bool timedOut = false;
    bool aborted = false;
    bool tooLarge = false; // the body passed maxBodyBytes: the transfer was cut
    int networkError = 0;  // QNetworkReply::NetworkError
    QString errorText;

    // A 2xx answer that arrived whole: a body cut at the cap or by a time-out is no success.
    bool ok() const
    {
        return statusCode >= 200 && statusCode < 300 && !timedOut && !aborted && !tooLarge &&
               errorText.isEmpty();
    }
};

// Asynchronous requests; callbacks run on the caller's thread from the event loop.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    using Callback = std::function<void(const HttpResponse &)>;
    // Returns an id for abort(). The callback runs exactly once (also after abort) unless the
    // client is destroyed first.
    virtual quint64 request(const HttpRequest &request, Callback done) = 0;
    virtual void abort(quint64 id) = 0;
    virtual int inFlight() const = 0;
};

class QtHttpClient : public QObject, public HttpClient
{
    Q_OBJECT
public:
    explicit QtHttpClient(QObject *parent = nullptr);
    ~QtHttpClient() override;

    quint64 request(const HttpRequest &request, Callback done) override;
    void abort(quint64 id) override;
    int inFlight() const override;

private:
    struct Pending;
    QNetworkAccessManager *m_manager;
    quint64 m_nextId = 1;
    QList<Pending *> m_pending;
    void finish(Pending *pending);
};
